// live_tracker run as a user runs it: in a terminal beside WSJT-X, with
// Decode datagrams arriving on UDP port 16004 (sent by decode_sender or by
// the test itself), the screen and the KML and CSV files read back.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "pty_session.h"
#include "test_files.h"
#include "track_watch.h"
#include "wsjtx/datagram_writer.h"

extern char** environ;

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

const std::string kSample = std::string(SAMPLES_DIR) + "/ALL.TXT";
// What a replay of kSample must give: the report rows (trailing blanks
// trimmed), the table and the track, checked line by line against the
// datagrams sent, the positions of the messages and PROJ's cs2cs.
const std::string kSampleReports = std::string(GOLDEN_DIR) + "/sample-live-reports.txt";
const std::string kSampleTable = std::string(GOLDEN_DIR) + "/sample-live.csv";
const std::string kSampleTrack = std::string(GOLDEN_DIR) + "/sample-track.kml";
constexpr int kPort = 16004;
constexpr std::uint32_t kGroup = 0xE0000001;  // 224.0.0.1
constexpr const char* kPrompt = "Destination (.KML) file        [231207_0515.KML]     ";
constexpr const char* kPressEsc = "Press [esc] to finish";
constexpr const char* kTerminated = "KML and .CSV File generation terminated";
constexpr const char* kAnyKey = "Any key to close this window...";
constexpr const char* kCsvHeader = "Time, Lat , Long\r\n";

std::string rtrim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::vector<std::string> split_crlf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "text after the last CR LF";
  return lines;
}

// Datagrams to the tracker from a socket of the test's own: to this
// computer, or to WSJT-X's multicast group on loopback as WSJT-X sends them.
class Sender {
 public:
  explicit Sender(bool to_group = false) : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
    to_.sin_family = AF_INET;
    to_.sin_port = htons(kPort);
    to_.sin_addr.s_addr = htonl(to_group ? kGroup : INADDR_LOOPBACK);
    if (to_group) {
      const in_addr loopback{htonl(INADDR_LOOPBACK)};
      EXPECT_EQ(::setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &loopback, sizeof loopback), 0);
    }
  }
  ~Sender() { ::close(fd_); }
  void send(const std::string& bytes) {
    ASSERT_EQ(::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to_), sizeof to_),
              static_cast<ssize_t>(bytes.size()));
  }

 private:
  int fd_;
  sockaddr_in to_{};
};

std::string decode(const std::string& message, std::int32_t time_ms = 0, std::int32_t snr = 0, double dt = 0,
                   std::int32_t offset = 0) {
  DecodeFields f;
  f.time_ms = time_ms;
  f.snr_db = snr;
  f.dt_s = dt;
  f.audio_offset_hz = offset;
  f.message = message;
  return encode_decode_datagram(f);
}

constexpr std::int32_t at(int h, int m, int s = 0) { return ((h * 60 + m) * 60 + s) * 1000; }

// A tracker started in a scratch folder under a fixed local clock.
struct Tracker {
  explicit Tracker(int rows = 60, int cols = 100) : session(options(rows, cols)) {}

  e2e::PtyOptions options(int rows, int cols) {
    e2e::PtyOptions o;
    o.argv = {e2e::program_path("live_tracker")};
    o.working_dir = dir.path();
    o.rows = rows;
    o.cols = cols;
    o.env = e2e::fake_clock_env("2023-12-07 05:15:42");
    o.env.push_back("TZ=UTC");
    return o;
  }

  // Answers the destination prompt and waits for the receiving to start.
  void start(const std::string& answer = "") {
    ASSERT_TRUE(session.wait_for_text(rtrim(kPrompt))) << session.dump();
    session.send(answer + "\r");
    ASSERT_TRUE(session.wait_for_text(kPressEsc)) << session.dump();
    first_loop_row = session.screen().find_row(kPressEsc) + 2;
  }

  // The first `count` rows below "Press [esc] to finish" and its empty line.
  std::vector<std::string> loop_rows(int count) const {
    std::vector<std::string> rows;
    for (int i = 0; i < count; ++i) rows.push_back(session.row_text(first_loop_row + i));
    return rows;
  }

  // Esc (unless already typed), then the closing lines, then a key;
  // returns the row of the "terminated" line.
  int finish(bool type_esc = true) {
    if (type_esc) session.send("\x1b");
    EXPECT_TRUE(session.wait_for_text(kAnyKey)) << session.dump();
    const int row = session.screen().find_row(kTerminated);
    session.pump(milliseconds(100));
    EXPECT_TRUE(session.running()) << "ended without a key";
    session.send("k");
    int status = -1;
    EXPECT_TRUE(session.wait_exit(milliseconds(5000), &status)) << session.dump();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(e2e::termios_diff(session.termios_at_start(), session.termios_now()), "");
    return row;
  }

  std::string file(const std::string& name) const { return e2e::read_file(dir.file(name)); }

  e2e::TempDir dir;
  e2e::PtySession session;
  int first_loop_row = -1;
};

// The closing lines from the "terminated" one on.
void expect_closing(const Tracker& run, int row, const std::string& kml, const std::string& csv,
                    int terminated_colour) {
  const e2e::PtySession& s = run.session;
  ASSERT_GE(row, 0) << s.dump();
  const std::string rows[] = {
      kTerminated,
      kml + " Has been generated in the WSJT folder.",
      "",
      "Use  'Open With Google Earth' to view",
      "",
      "",
      csv + " Has been generated in the WSJT folder.",
      "",
      kAnyKey,
      "",
  };
  for (int i = 0; i < 10; ++i) EXPECT_EQ(s.row_text(row + i), rows[i]) << i << "\n" << s.dump();
  EXPECT_EQ(s.cell_fg(row, 0), terminated_colour);
  for (int i : {1, 3, 6}) EXPECT_EQ(s.cell_fg(row + i, 0), 11) << i;
  EXPECT_EQ(s.cell_fg(row + 8, 0), 7);
  EXPECT_NE(s.raw_output().find(csv + " Has been generated in the WSJT folder. "), std::string::npos);
}

// Keeps reading the screen until pred() holds; false if it never does.
bool eventually(e2e::PtySession& s, const std::function<bool()>& pred,
                milliseconds timeout = milliseconds(3000)) {
  const auto end = Clock::now() + timeout;
  while (!pred()) {
    if (Clock::now() > end) return false;
    s.pump(milliseconds(20));
  }
  return true;
}

// decode_sender as WSJT-X, or another program given by its path, running
// beside the session; its stdout and stderr go to `out_file`.
class SenderProcess {
 public:
  SenderProcess(std::vector<std::string> args, const std::string& out_file,
                const std::string& program = e2e::program_path("decode_sender")) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int fault = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(fault, 0);
    if (fault != 0) pid_ = -1;
  }
  ~SenderProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  // Keeps the session reading while the sender runs; its wait status.
  int wait(e2e::PtySession& s, milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    int status = -1;
    while (pid_ > 0 && Clock::now() < end) {
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return status;
      }
      s.pump(milliseconds(20));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
};

// Every test here takes UDP port 16004: in a network of its own, or not at
// all.
class LiveTracker : public ::testing::Test {
 protected:
  void SetUp() override { SKIP_UNLESS_OWN_NETWORK(); }
};

// ---------------------------------------------------------------------------

TEST_F(LiveTracker, ReplayOfTheSampleLogGivesEveryReportTrackAndTable) {
  const std::vector<std::string> expected_lines = e2e::lines_of(e2e::read_file(kSampleReports));
  ASSERT_EQ(expected_lines.size(), 40u);
  const std::string expected_csv = e2e::read_file(kSampleTable);
  Tracker run(700, 100);
  ASSERT_NO_FATAL_FAILURE(run.start("flight"));
  // A viewer that refreshes the track all along.
  e2e::TrackWatch viewer(run.dir.file("FLIGHT.KML"));

  SenderProcess sender({"--log", kSample, "--interval", "2", "--heartbeats"}, run.dir.file("sender.out"));
  const int status = sender.wait(run.session, milliseconds(8000));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::string said = run.file("sender.out");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(said, m, std::regex("(\\d+) datagrams sent"))) << said;
  const int datagrams = std::stoi(m[1]);
  const int decodes = (datagrams + 1) / 2;  // a Heartbeat between each two
  ASSERT_GT(decodes, 400);

  // One row per decode, the rejected "YDKQWB-CHPANE" shown as a plain one.
  const int rows = decodes;
  ASSERT_TRUE(run.session.wait_for_text("LU5XYZ EA8QRT R-09")) << run.session.dump();
  ASSERT_TRUE(run.session.wait_for_quiet());
  e2e::PtySession& s = run.session;
  EXPECT_EQ(s.row_text(run.first_loop_row + rows - 1), "LU5XYZ EA8QRT R-09");
  EXPECT_EQ(s.row_text(run.first_loop_row + rows), "");

  std::vector<std::string> shown_reports;
  int plain = 0;
  for (int r = run.first_loop_row; r < run.first_loop_row + rows; ++r) {
    const std::string text = s.row_text(r);
    ASSERT_FALSE(text.empty()) << r << "\n" << s.dump();
    const int fg = s.cell_fg(r, 0);
    if (fg == 6) {
      shown_reports.push_back(text);
      EXPECT_EQ(s.row_fg_map(r).substr(0, text.size()), std::string(text.size(), '6')) << r;
    } else {
      EXPECT_EQ(fg, 3) << r << ": " << text;
      EXPECT_EQ(s.row_fg_map(r).substr(0, text.size()), std::string(text.size(), '3')) << r;
      ++plain;
    }
  }
  EXPECT_EQ(shown_reports, expected_lines);
  EXPECT_EQ(plain, rows - 40);
  EXPECT_EQ(s.row_text(run.first_loop_row), "DL1ABC JA1XYZ -02");  // the log's first decode
  EXPECT_TRUE(s.screen().contains("YDKQWB-CHPANE"));
  // The datagram's time of day shows as hh:mm.
  ASSERT_FALSE(shown_reports.empty());
  EXPECT_EQ(shown_reports.front().substr(0, 22), "09:04  DCWQFA-MFKNUA  ");

  // Files are written as the reports come, before the end.
  EXPECT_TRUE(eventually(s, [&] { return run.file("FLIGHT.CSV") == expected_csv; }))
      << run.file("FLIGHT.CSV");

  const int closing = run.finish();
  expect_closing(run, closing, "FLIGHT.KML", "FLIGHT.CSV", 3);
  EXPECT_EQ(closing, run.first_loop_row + rows);
  const std::string kml = run.file("FLIGHT.KML");
  EXPECT_EQ(kml, e2e::read_file(kSampleTrack));
  // Every look of the viewer found a whole document, growing point by point.
  const std::vector<std::string>& seen = viewer.stop();
  EXPECT_EQ(e2e::growing_track_fault(seen, e2e::track_points(kml)), "");
  EXPECT_GT(seen.size(), 10u);
  EXPECT_EQ(seen.back(), kml);
  EXPECT_EQ(split_crlf(kml).size(), 27u + 40u + 14u);
  EXPECT_EQ(run.file("FLIGHT.CSV"), expected_csv);
}

// Whatever else comes on the port: other message types, datagrams cut
// short, a null Mode text, control bytes and "-" in the place of a position
// message whose latitude is impossible (shown as ordinary decodes). None of
// them touches the files; the positions that follow do.
TEST_F(LiveTracker, DatagramsOtherThanPlainDecodes) {
  Tracker run;
  ASSERT_NO_FATAL_FAILURE(run.start("rules"));
  e2e::PtySession& s = run.session;
  Sender udp;
  const int bells = s.screen().bell_count();

  // The Mode text's length field of a Decode built with an empty Mode.
  constexpr std::size_t kModeLengthAt = 12 + 4 + 6 + 1 + 4 + 4 + 8 + 4;
  auto null_mode = [&](std::string datagram) {
    EXPECT_EQ(datagram.substr(kModeLengthAt, 4), std::string(4, '\0'));
    datagram.replace(kModeLengthAt, 4, "\xff\xff\xff\xff");
    return datagram;
  };
  auto with_empty_mode = [](const std::string& message, std::int32_t time_ms, int snr, double dt,
                            int offset) {
    DecodeFields f;
    f.time_ms = time_ms;
    f.snr_db = snr;
    f.dt_s = dt;
    f.audio_offset_hz = offset;
    f.mode = "";
    f.message = message;
    return encode_decode_datagram(f);
  };
  const std::string cut_message = decode("PA0QRM 2E0ABC +00");
  std::string logged = decode("NOT A DECODE");
  logged[11] = 5;  // a Logged QSO datagram with a Decode's layout

  udp.send(encode_heartbeat());
  udp.send(decode("CQ DX G4ABC IO91"));
  udp.send(logged);
  udp.send(cut_message.substr(0, cut_message.size() - 2 - 4));  // flags and " +00" cut off
  udp.send(decode("HIDDEN BY THE CUT").substr(0, 25));          // cut inside the time
  udp.send(null_mode(with_empty_mode("CQ K1ABC FN42", at(12, 0), -3, 0.1, 800)));
  udp.send(encode_heartbeat());
  udp.send(decode("\x1b[2J\x1b]0;T\x07"));
  udp.send(
      decode("\xc2\x9b"
             "2J \x7f \xff \xc3\xa9t\xc3\xa9"));  // C1 CSI, DEL, no UTF-8
  udp.send(decode("YAAAAA-AAAAAA"));
  udp.send(decode("K1ABC -12"));
  udp.send(decode("EI5GHJ F4ABC RR73"));
  ASSERT_TRUE(s.wait_for_text("EI5GHJ F4ABC RR73")) << s.dump();
  ASSERT_TRUE(s.wait_for_quiet());

  const std::vector<std::string> plain_rows = {
      "CQ DX G4ABC IO91",
      "PA0QRM 2E0ABC",
      "",
      "",
      "\u241B[2J\u241B]0;T\u2407",
      "\uFFFD\uFFFD2J \u2421 \uFFFD \u00e9t\u00e9",
      "YAAAAA-AAAAAA",
      "K1ABC -12",
      "EI5GHJ F4ABC RR73",
      "",
  };
  EXPECT_EQ(run.loop_rows(10), plain_rows) << s.dump();
  for (int i : {0, 1, 4, 5, 6, 7, 8}) EXPECT_EQ(s.cell_fg(run.first_loop_row + i, 0), 3) << i;
  EXPECT_EQ(s.screen().pen_fg(), 3);
  EXPECT_EQ(s.screen().bell_count(), bells);
  EXPECT_EQ(s.raw_output().find("\x1b[2J"), std::string::npos);
  EXPECT_EQ(s.raw_output().find("\x1b]0;"), std::string::npos);
  EXPECT_EQ(s.raw_output().find('\x07'), std::string::npos);
  EXPECT_EQ(s.raw_output().find("\xc2\x9b"), std::string::npos);
  EXPECT_EQ(run.file("RULES.CSV"), kCsvHeader);
  EXPECT_EQ(run.file("RULES.KML"), e2e::empty_kml());

  // A key other than Esc wakes the wait but does not end it.
  s.send("x");
  s.pump(milliseconds(200));
  EXPECT_TRUE(s.running());
  EXPECT_FALSE(s.screen().contains(kTerminated));

  // Positions: the time of day rounds to the second; with a null Mode the
  // message's length is read one byte early; a message cut short loses its
  // last letter.
  std::string shifted = with_empty_mode("", at(13, 25), -8, 0.5, 1461);
  shifted = null_mode(shifted.substr(0, kModeLengthAt + 4));
  shifted += std::string("\x00\x00\x0d", 3) + "DDADBO-ABIHIA" + std::string(2, '\0');
  const std::string cut_position = decode("DEWOFA-AGPDAA", at(15, 42), -24, 0.2, 1488);
  udp.send(decode("DCWQFA-MFKNUA", at(9, 4, 59) + 600, 5, 0.8, 1505));
  udp.send(shifted);
  udp.send(cut_position.substr(0, cut_position.size() - 3));
  // The cut message has lost its 13th letter: an ordinary message.
  const std::string reports[] = {
      "09:05  DCWQFA-MFKNUA   +50.72000   -3.53000  SX920923       5dB 0.80s  1505Hz",
      "13:25  DDADBO-ABIHIA   +50.78444   +0.86700  TR021023      -8dB 0.50s  1461Hz",
  };
  const std::string csv =
      "Time, Lat , Long\r\n"
      "09:05 , +0050.72000, +000-3.53000\r\n"
      "13:25 , +0050.78444, +000.86700\r\n";
  ASSERT_TRUE(s.wait_for_text("DEWOFA-AGPDA")) << s.dump();
  ASSERT_TRUE(s.wait_for_quiet());
  for (int i = 0; i < 2; ++i) {
    const int row = run.first_loop_row + 9 + i;
    EXPECT_EQ(s.row_text(row), reports[i]) << s.dump();
    EXPECT_EQ(s.row_fg_map(row).substr(0, reports[i].size()), std::string(reports[i].size(), '6'));
  }
  EXPECT_EQ(s.row_text(run.first_loop_row + 11), "DEWOFA-AGPDA");
  EXPECT_EQ(s.cell_fg(run.first_loop_row + 11, 0), 3);
  EXPECT_EQ(s.screen().pen_fg(), 3);
  // The table line follows the report on the screen.
  EXPECT_TRUE(eventually(s, [&] { return run.file("RULES.CSV") == csv; })) << run.file("RULES.CSV");

  const int closing = run.finish();
  EXPECT_EQ(closing, run.first_loop_row + 12);
  expect_closing(run, closing, "RULES.KML", "RULES.CSV", 3);
  EXPECT_EQ(run.file("RULES.KML"),
            e2e::track_kml({"        -3.53000,+50.72000", "        +0.86700,+50.78444"}));
  EXPECT_EQ(run.file("RULES.CSV"), csv);
}

// Another program holds the port: a beep, a line that says so and, after the
// closing wait, the end with status 1, before any question.
TEST_F(LiveTracker, PortInUseIsToldWithABeep) {
  const int held = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(kPort);
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  const int bound = ::bind(held, reinterpret_cast<sockaddr*>(&address), sizeof address);
  if (bound != 0) ::close(held);
  ASSERT_EQ(bound, 0) << "port " << kPort << " is already in use";

  Tracker run;
  e2e::PtySession& s = run.session;
  const bool told = s.wait_for_text("UDP port 16004 Is in use by another program");
  s.pump(milliseconds(300));
  const bool waiting = s.running();
  if (waiting) s.send("x");
  int status = -1;
  const bool ended = s.wait_exit(milliseconds(5000), &status);
  ::close(held);
  ASSERT_TRUE(told) << s.dump();
  EXPECT_TRUE(waiting);
  ASSERT_TRUE(ended) << s.dump();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  EXPECT_EQ(s.screen().bell_count(), 1);
  EXPECT_TRUE(s.screen().contains("Host name")) << s.dump();
  EXPECT_FALSE(s.screen().contains("Listening")) << s.dump();
  EXPECT_FALSE(s.screen().contains("Destination")) << s.dump();
  EXPECT_TRUE(std::filesystem::is_empty(run.dir.path()));
  EXPECT_EQ(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "");
}

// A quiet band: the opening screen, then Esc ends the wait at once and
// leaves an empty track and a table with its header only.
TEST_F(LiveTracker, EscOnAQuietBandEndsAtOnce) {
  Tracker run;
  e2e::PtySession& s = run.session;
  ASSERT_TRUE(s.wait_for_text(rtrim(kPrompt))) << s.dump();
  char host[256] = {};
  ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
  for (int row : {0, 1, 2, 5, 6, 8, 10}) EXPECT_EQ(s.row_text(row), "") << row << "\n" << s.dump();
  EXPECT_EQ(s.row_text(3), "Generates .KML and .CSV files for plotting on Google Earth.");
  EXPECT_EQ(s.row_text(4), "Reads UDP Mesages sent from WSJT-X in real time");
  EXPECT_EQ(s.cell_fg(3, 0), 7);
  EXPECT_EQ(s.row_text(7), std::string("Host name ") + host);
  EXPECT_TRUE(std::regex_match(s.row_text(9), std::regex("Listening for broadcasts to "
                                                         "\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\."
                                                         "\\d{1,3}:16004\\.\\.\\.")))
      << s.row_text(9);
  EXPECT_EQ(s.row_fg_map(7).substr(0, 10), "8888888888");
  EXPECT_EQ(s.cell_fg(9, 0), 8);
  EXPECT_EQ(s.row_text(11), rtrim(kPrompt));
  EXPECT_EQ(s.cell_fg(11, 0), 7);
  const e2e::CursorPos after_prompt{11, static_cast<int>(std::string(kPrompt).size())};
  EXPECT_TRUE(s.wait_for([&] { return s.cursor() == after_prompt; })) << s.dump();

  s.send("\r");
  ASSERT_TRUE(s.wait_for_text(kPressEsc)) << s.dump();
  EXPECT_EQ(s.row_text(12), "Will generate  231207_0515.KML And  231207_0515.CSV");
  EXPECT_EQ(s.cell_fg(12, 0), 5);
  EXPECT_EQ(s.row_text(13), "");
  EXPECT_EQ(s.row_text(14), kPressEsc);
  EXPECT_EQ(s.cell_fg(14, 0), 7);
  EXPECT_EQ(s.row_text(15), "");
  EXPECT_TRUE(s.wait_for([&] { return s.cursor() == e2e::CursorPos{16, 0}; })) << s.dump();
  EXPECT_EQ(run.file("231207_0515.CSV"), kCsvHeader);

  s.pump(milliseconds(500));
  ASSERT_TRUE(s.running());
  const auto esc = Clock::now();
  s.send("\x1b");
  ASSERT_TRUE(s.wait_for_text(kAnyKey, milliseconds(5000))) << s.dump();
  EXPECT_LT(Clock::now() - esc, milliseconds(800));

  const int closing = run.finish(false);
  EXPECT_EQ(closing, 16);
  expect_closing(run, closing, "231207_0515.KML", "231207_0515.CSV", 7);
  const std::string kml = run.file("231207_0515.KML");
  EXPECT_EQ(kml, e2e::empty_kml());
  EXPECT_EQ(split_crlf(kml).size(), 13u);
  EXPECT_EQ(run.file("231207_0515.CSV"), kCsvHeader);
}

// How the answer names the two files.
TEST_F(LiveTracker, DestinationAnswers) {
  const struct {
    std::string answer, kml, csv;
  } cases[] = {
      {"", "231207_0515.KML", "231207_0515.CSV"},   {"my.track.kml", "MY.TRACK.KML", "MY.CSV"},
      {"track", "TRACK.KML", "TRACK.CSV"},          {"leg2.kml,other.kml", "LEG2.KML", "LEG2.CSV"},
      {"sub/leg3", "sub/LEG3.KML", "sub/LEG3.CSV"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    Tracker run(30, 80);
    std::filesystem::create_directory(run.dir.file("sub"));
    ASSERT_NO_FATAL_FAILURE(run.start(c.answer));
    e2e::PtySession& s = run.session;
    const int row = s.screen().find_row("Will generate");
    EXPECT_EQ(s.row_text(row), "Will generate  " + c.kml + " And  " + c.csv) << s.dump();
    EXPECT_EQ(s.cell_fg(row, 0), 5);
    EXPECT_EQ(run.file(c.csv), kCsvHeader);
    EXPECT_TRUE(std::filesystem::exists(run.dir.file(c.kml)));
    expect_closing(run, run.finish(), c.kml, c.csv, 7);
    EXPECT_EQ(run.file(c.kml), e2e::empty_kml());
    // Only the two files.
    std::size_t files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(run.dir.path()))
      files += e.is_regular_file();
    EXPECT_EQ(files, 2u);
  }
}

TEST_F(LiveTracker, TrackThatCannotBeCreatedEndsWithStatusOne) {
  Tracker run;
  e2e::PtySession& s = run.session;
  ASSERT_TRUE(s.wait_for_text(rtrim(kPrompt))) << s.dump();
  s.send("nofolder/x\r");
  ASSERT_TRUE(s.wait_for_text("Cannot be created")) << s.dump();
  s.send("x");  // after the closing wait
  int status = -1;
  ASSERT_TRUE(s.wait_exit(milliseconds(5000), &status)) << s.dump();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  const int row = s.screen().find_row("Will generate");
  EXPECT_EQ(s.row_text(row), "Will generate  nofolder/X.KML And  nofolder/X.CSV") << s.dump();
  EXPECT_EQ(s.row_text(row + 1), "nofolder/X.KML Cannot be created");
  EXPECT_FALSE(s.screen().contains(kPressEsc));
  EXPECT_TRUE(std::filesystem::is_empty(run.dir.path()));
  EXPECT_EQ(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "");
}

// Names that reach one file, spelled alike or through a link: said in one
// line, nothing created or changed, status 1.
TEST_F(LiveTracker, KmlAndCsvThatAreOneFileAreRefused) {
  for (const bool through_link : {false, true}) {
    SCOPED_TRACE(through_link);
    Tracker run;
    e2e::PtySession& s = run.session;
    if (through_link) {
      e2e::write_file(run.dir.file("RUN.KML"), "kept");
      std::filesystem::create_symlink("RUN.KML", run.dir.file("RUN.CSV"));
    }
    ASSERT_TRUE(s.wait_for_text(rtrim(kPrompt))) << s.dump();
    s.send(through_link ? "run\r" : "track.csv\r");
    const std::string line = through_link ? "RUN.CSV Cannot be both the .KML file and the .CSV file"
                                          : "TRACK.CSV Cannot be both the .KML file and the .CSV file";
    ASSERT_TRUE(s.wait_for_text(line)) << s.dump();
    s.send("x");  // after the closing wait
    int status = -1;
    ASSERT_TRUE(s.wait_exit(milliseconds(5000), &status)) << s.dump();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_FALSE(s.screen().contains(kPressEsc));
    if (through_link)
      EXPECT_EQ(run.file("RUN.KML"), "kept");
    else
      EXPECT_TRUE(std::filesystem::is_empty(run.dir.path()));
  }
}

// Closing the window or ending the program from outside: the terminal is
// left as it was, and what was received is already in the table.
TEST_F(LiveTracker, EndedFromOutsideKeepsTheTerminalAndTheTable) {
  for (int sig : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(sig);
    Tracker run;
    ASSERT_NO_FATAL_FAILURE(run.start("cut"));
    e2e::PtySession& s = run.session;
    Sender udp;
    udp.send(decode("DCWQFA-MFKNUA", at(9, 4), 5, 0.8, 1505));
    udp.send(decode("CQ G4ABC IO91"));  // shown once the report has been recorded
    const std::string report =
        "09:04  DCWQFA-MFKNUA   +50.72000   -3.53000  SX920923       5dB 0.80s  1505Hz";
    ASSERT_TRUE(s.wait_for_text("CQ G4ABC IO91")) << s.dump();
    EXPECT_TRUE(s.screen().contains(report)) << s.dump();
    EXPECT_NE(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "");
    s.signal(sig);
    int status = 0;
    ASSERT_TRUE(s.wait_exit(milliseconds(5000), &status));
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
    EXPECT_EQ(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "");
    EXPECT_EQ(run.file("CUT.CSV"), std::string(kCsvHeader) + "09:04 , +0050.72000, +000-3.53000\r\n");
  }
}

}  // namespace

namespace {

// How many sockets are bound to UDP port 16004 (in the test's own network).
int sockets_on_port() {
  std::ifstream table("/proc/net/udp");
  std::string line;
  int count = 0;
  // "  sl  local_address ...": the local address is the second field.
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local;
    fields >> slot >> local;
    count += local.size() > 5 && local.substr(local.size() - 5) == ":3E84";
  }
  return count;
}

const std::string kFirstReport =
    "09:04  DCWQFA-MFKNUA   +50.72000   -3.53000  SX920923       5dB 0.80s  1505Hz";
const std::string kSecondReport =
    "13:25  DDADBO-ABIHIA   +50.78444   +0.86700  TR021023      -8dB 0.50s  1461Hz";
const std::string kTwoReportsCsv = std::string(kCsvHeader) +
                                   "09:04 , +0050.72000, +000-3.53000\r\n"
                                   "13:25 , +0050.78444, +000.86700\r\n";
const std::vector<std::string> kTwoReportsPoints = {"        -3.53000,+50.72000",
                                                    "        +0.86700,+50.78444"};

// WSJT-X's own listener (udp_daemon, of Debian's wsjtx) and live_tracker
// both take WSJT-X's multicast group, started in either order, two trackers
// in the second: every datagram that decode_sender sends to the group
// reaches each of them, and each tracker shows and tracks every report.
TEST_F(LiveTracker, SharesTheGroupWithWsjtxsListenerInEitherOrder) {
  const std::string daemon = e2e::on_path("udp_daemon");
  if (daemon.empty())
    GTEST_SKIP() << "skipped: udp_daemon (Debian's wsjtx package) is not installed; "
                    "tools/install_deps.sh installs it";
  for (const bool daemon_first : {true, false}) {
    SCOPED_TRACE(daemon_first ? "udp_daemon first" : "live_tracker first");
    e2e::TempDir scratch;
    std::unique_ptr<SenderProcess> listener;
    const auto start_daemon = [&] {
      const int before = sockets_on_port();
      listener = std::make_unique<SenderProcess>(
          std::vector<std::string>{"-p", "16004", "-g", "224.0.0.1", "-i", "lo"}, scratch.file("daemon.out"),
          daemon);
      const auto end = Clock::now() + milliseconds(5000);
      while (sockets_on_port() == before && Clock::now() < end) std::this_thread::sleep_for(milliseconds(20));
      ASSERT_GT(sockets_on_port(), before) << "udp_daemon did not bind the port";
      std::this_thread::sleep_for(milliseconds(200));  // and join the group
    };
    if (daemon_first) {
      ASSERT_NO_FATAL_FAILURE(start_daemon());
    }
    std::vector<std::unique_ptr<Tracker>> runs;
    for (int k = 0; k < (daemon_first ? 1 : 2); ++k) {
      runs.push_back(std::make_unique<Tracker>(30, 100));
      ASSERT_NO_FATAL_FAILURE(runs.back()->start("share"));
    }
    if (!daemon_first) {
      // The trackers alone in the group get its datagrams too. (Linux keeps
      // every interface in 224.0.0.1, all hosts, and gives its datagrams to
      // every socket bound to the port, so the trackers' own joining shows
      // only on systems that do not.)
      SenderProcess alone({"--message", "CQ ALONE", "--host", "224.0.0.1"}, scratch.file("sender.out"));
      const int status = alone.wait(runs.front()->session, milliseconds(5000));
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
      for (const auto& run : runs) ASSERT_TRUE(run->session.wait_for_text("CQ ALONE")) << run->session.dump();
      ASSERT_NO_FATAL_FAILURE(start_daemon());
    }

    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--message", "DCWQFA-MFKNUA", "--message", "CQ G4ABC IO91", "--time", "09:04", "--snr", "5",
              "--dt", "0.8", "--freq", "1505"},
             {"--message", "DDADBO-ABIHIA", "--time", "13:25", "--snr", "-8", "--dt", "0.5", "--freq",
              "1461"}}) {
      std::vector<std::string> to_group = args;
      to_group.insert(to_group.end(), {"--host", "224.0.0.1"});
      SenderProcess sender(to_group, scratch.file("sender.out"));
      const int status = sender.wait(runs.front()->session, milliseconds(5000));
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
          << e2e::read_file(scratch.file("sender.out"));
    }
    for (const auto& run : runs) {
      e2e::PtySession& s = run->session;
      ASSERT_TRUE(s.wait_for_text(kSecondReport)) << s.dump();
      std::vector<std::string> rows = {kFirstReport, "CQ G4ABC IO91", kSecondReport, ""};
      if (!daemon_first) rows.insert(rows.begin(), "CQ ALONE");
      EXPECT_EQ(run->loop_rows(static_cast<int>(rows.size())), rows) << s.dump();
      run->finish();
      EXPECT_EQ(run->file("SHARE.CSV"), kTwoReportsCsv);
      EXPECT_EQ(run->file("SHARE.KML"), e2e::track_kml(kTwoReportsPoints));
    }
    const auto heard = [&] {
      const std::string out = e2e::read_file(scratch.file("daemon.out"));
      return out.find("Decoded DCWQFA-MFKNUA") != std::string::npos &&
             out.find("Decoded CQ G4ABC IO91") != std::string::npos &&
             out.find("Decoded DDADBO-ABIHIA") != std::string::npos;
    };
    const auto end = Clock::now() + milliseconds(3000);
    while (!heard() && Clock::now() < end) std::this_thread::sleep_for(milliseconds(50));
    EXPECT_TRUE(heard()) << e2e::read_file(scratch.file("daemon.out"));
  }
}

// What a shared stream brings that a lone listener never saw: the same
// datagram twice (once per interface), WSJT-X's replays of what it decoded
// (New false, after another program asked for them), and a replay of a
// decode from before the start. Each decode is shown and tracked once; the
// one from before the start counts as new.
TEST_F(LiveTracker, EachDecodeOnceWhateverCopiesArrive) {
  Tracker run;
  ASSERT_NO_FATAL_FAILURE(run.start("once"));
  e2e::PtySession& s = run.session;
  Sender group(true);
  const auto replay = [](std::string datagram) {
    datagram[12 + 4 + 6] = 0;  // the New flag after the Id "WSJT-X"
    return datagram;
  };
  const std::string first = decode("DCWQFA-MFKNUA", at(9, 4), 5, 0.8, 1505);
  const std::string plain = decode("CQ G4ABC IO91", at(9, 4), -12, 0.1, 700);
  const std::string before_start = replay(decode("DDADBO-ABIHIA", at(13, 25), -8, 0.5, 1461));
  for (const std::string& d :
       {first, first, plain, plain, replay(first), replay(plain), before_start, before_start, first})
    group.send(d);
  group.send(decode("CQ END"));
  ASSERT_TRUE(s.wait_for_text("CQ END")) << s.dump();
  ASSERT_TRUE(s.wait_for_quiet());
  EXPECT_EQ(run.loop_rows(5),
            (std::vector<std::string>{kFirstReport, "CQ G4ABC IO91", kSecondReport, "CQ END", ""}))
      << s.dump();
  run.finish();
  EXPECT_EQ(run.file("ONCE.CSV"), kTwoReportsCsv);
  EXPECT_EQ(run.file("ONCE.KML"), e2e::track_kml(kTwoReportsPoints));
}

}  // namespace
