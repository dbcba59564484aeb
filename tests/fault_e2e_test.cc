// Hostile input and abrupt ends, run as a user would meet them: whatever
// arrives, no crash, no hang, no point lost that was shown, and the terminal
// left as it was.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include "pty_session.h"
#include "test_files.h"
#include "track_watch.h"
#include "wsjtx/datagram_writer.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr int kPort = 16004;

// Peak resident memory of a running process, in KiB.
[[maybe_unused]] long peak_memory_kib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// Memory stays small however large the input. A sanitized build keeps its
// own shadow memory and quarantine, so the figure says nothing there.
void expect_peak_below_mib(pid_t pid, long mib) {
#ifdef SANITIZED_BUILD
  (void)pid;
  (void)mib;
#else
  EXPECT_LT(peak_memory_kib(pid), mib * 1024);
#endif
}

// Every escape sequence the program sent is one of its own: a colour, or the
// cursor moves of line editing. None came from the input.
void expect_only_own_escapes(const std::string& output) {
  static const std::regex own("^\x1b\\[[0-9]*[mAG]");
  for (std::size_t at = output.find('\x1b'); at != std::string::npos; at = output.find('\x1b', at + 1)) {
    const std::string next = output.substr(at, 8);
    EXPECT_TRUE(std::regex_search(next, own)) << "foreign escape at " << at;
  }
}

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class UdpSender {
 public:
  UdpSender() : fd_(socket(AF_INET, SOCK_DGRAM, 0)) {
    to_.sin_family = AF_INET;
    to_.sin_port = htons(kPort);
    to_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  }
  ~UdpSender() { close(fd_); }
  void send(const std::string& bytes) {
    sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to_), sizeof to_);
  }
  // The same datagram `count` times, many to a system call.
  void send_many(const std::string& bytes, int count) {
    constexpr int kBatch = 256;
    iovec part{const_cast<char*>(bytes.data()), bytes.size()};
    mmsghdr batch[kBatch] = {};
    for (mmsghdr& m : batch) {
      m.msg_hdr.msg_name = &to_;
      m.msg_hdr.msg_namelen = sizeof to_;
      m.msg_hdr.msg_iov = &part;
      m.msg_hdr.msg_iovlen = 1;
    }
    for (int left = count; left > 0;) {
      const int n = sendmmsg(fd_, batch, static_cast<unsigned>(std::min(left, kBatch)), 0);
      if (n <= 0) break;
      left -= n;
    }
  }

 private:
  int fd_;
  sockaddr_in to_{};
};

std::string decode(const std::string& message, int minute) {
  DecodeFields f;
  f.time_ms = (12 * 60 + minute) * 60000;
  f.snr_db = -10;
  f.dt_s = 0.2;
  f.audio_offset_hz = 1500;
  f.message = message;
  return encode_decode_datagram(f);
}

// A log reader over `log`: it must reach its closing wait (or its end)
// without crash or hang, in bounded memory, showing no foreign escape.
void read_hostile_log(const std::string& program, const std::string& log, const std::string& answers) {
  e2e::TempDir dir;
  e2e::write_file(dir.file("LOG.TXT"), log);
  e2e::PtyOptions o;
  o.argv = {e2e::program_path(program), "LOG.TXT"};
  o.working_dir = dir.path();
  e2e::PtySession s(o);
  if (!answers.empty()) {
    ASSERT_TRUE(s.wait_for_text("[Y]/n")) << s.dump();
    s.send(answers);
  }
  ASSERT_TRUE(s.wait_for_quiet(milliseconds(1500), seconds(60))) << s.dump();
  ASSERT_TRUE(s.running()) << s.dump();  // waiting for the closing key
  expect_peak_below_mib(s.pid(), 16);
  s.send("q");
  int status = 0;
  ASSERT_TRUE(s.wait_exit(seconds(10), &status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  expect_only_own_escapes(s.raw_output());
  EXPECT_EQ(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "");
}

std::string garbage(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

const std::string kReport = "1234       -15   0.3 1512  ~        DECPAA-MBXAAA\r\n";
// The coordinate line of kReport's position in a KML track.
const std::string kPoint = "        -1.25000,+51.50000\r\n";

// Whether a KML track is complete, with its End placemark at kPoint.
bool ends_at_kpoint(const std::string& kml) {
  const std::string one_point = e2e::track_kml({kPoint.substr(0, kPoint.size() - 2)});
  const std::string end = one_point.substr(one_point.rfind(kPoint));
  return kml.size() >= end.size() && kml.compare(kml.size() - end.size(), end.size(), end) == 0;
}

TEST(HostileLogs, BinaryGarbage) {
  const std::string log = garbage(8 << 20, 1) + kReport;
  read_hostile_log("log_lister", log, "");
  read_hostile_log("log_tracker", log, "n\rT\r");
}

TEST(HostileLogs, NulBytesAndControlsInEveryColumn) {
  std::string log;
  for (int i = 0; i < 2000; ++i) {
    std::string line = kReport;
    line[static_cast<std::size_t>(i) % 49] = i % 2 ? '\0' : '\x1b';
    log += line;
  }
  log += std::string(1000, '\0') + "\r\n" + kReport;
  read_hostile_log("log_lister", log, "");
}

TEST(HostileLogs, OneLineOf100Megabytes) {
  // A report in front, 100 MB without a line end, then a report after it.
  std::string log = kReport + std::string(100 << 20, 'x') + "\r" + kReport;
  e2e::TempDir dir;
  e2e::write_file(dir.file("LOG.TXT"), log);
  log.clear();
  log.shrink_to_fit();
  e2e::PtySession s({e2e::program_path("log_lister"), "LOG.TXT"}, dir.path());
  ASSERT_TRUE(s.wait_for_quiet(milliseconds(1500), seconds(60))) << s.dump();
  EXPECT_EQ(count(s.screen_text(), "DECPAA-MBXAAA"), 2) << s.dump();
  expect_peak_below_mib(s.pid(), 16);
  s.send("q");
  ASSERT_TRUE(s.wait_exit(seconds(10)));
}

// A log that cannot be read to its end (a failing disk, a share gone): the
// reports read up to there are shown and kept in a valid, closed track; the
// closing line says the log was not read completely, and the status is 1.
TEST(ReadErrors, LogThatFailsPartWayIsToldNotCompletelyRead) {
  const std::string other = "1234       -15   0.3 1512  ~        CQ G4ABC IO91\r\n";
  ASSERT_EQ(other.size(), kReport.size());
  std::string log;
  for (int i = 0; i < 40000; ++i) log += i % 100 == 99 ? kReport : other;  // 2 MB
  const std::size_t lines_read = 30000;                                    // past the first block read
  for (const char* program : {"log_lister", "log_tracker"}) {
    SCOPED_TRACE(program);
    e2e::TempDir dir;
    e2e::write_file(dir.file("LOG.TXT"), log);
    e2e::PtyOptions o;
    o.argv = {e2e::program_path(program), "LOG.TXT"};
    o.working_dir = dir.path();
    o.env = {"LD_PRELOAD=" + e2e::program_path("read_fault.so"),
             "READ_FAILS_AFTER=" + std::to_string(lines_read * kReport.size())};
    e2e::PtySession s(o);
    const bool tracker = std::string(program) == "log_tracker";
    if (tracker) {
      ASSERT_TRUE(s.wait_for_text("[Y]/n")) << s.dump();
      s.send("n\r");
      ASSERT_TRUE(s.wait_for_text("Destination")) << s.dump();
      s.send("cut\r");
    }
    ASSERT_TRUE(s.wait_for_text("LOG.TXT Was not completely read", seconds(30))) << s.dump();
    s.pump(milliseconds(300));
    EXPECT_TRUE(s.running()) << "no closing wait";
    s.send("q");
    int status = 0;
    ASSERT_TRUE(s.wait_exit(seconds(10), &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    if (tracker) {
      const int row = s.screen().find_row("LOG.TXT Was not completely read");
      EXPECT_EQ(s.row_text(row - 1), "CUT.KML Generated") << s.dump();
      const std::string kml = e2e::read_file(dir.file("CUT.KML"));
      EXPECT_EQ(count(kml, kPoint), 1 + 300 + 1);  // Start, the path, End
      EXPECT_TRUE(ends_at_kpoint(kml));
    }
  }
}

// live_tracker answered with `name`, waiting for datagrams.
struct LiveRun {
  e2e::TempDir dir;
  std::unique_ptr<e2e::PtySession> session;

  // `on_full_disk`: a file whose every write fails, as on a full disk.
  explicit LiveRun(int rows = 60, const char* on_full_disk = nullptr) {
    e2e::PtyOptions o;
    o.argv = {e2e::program_path("live_tracker")};
    o.working_dir = dir.path();
    if (on_full_disk)
      o.env = {"LD_PRELOAD=" + e2e::program_path("write_fault.so"),
               std::string("WRITE_FAILS_FOR=/") + on_full_disk};
    o.rows = rows;
    o.cols = 100;
    session = std::make_unique<e2e::PtySession>(o);
    EXPECT_TRUE(session->wait_for_text("Destination (.KML) file")) << session->dump();
    session->send("run\r");
    EXPECT_TRUE(session->wait_for_text("Press [esc] to finish")) << session->dump();
  }
};

TEST(HostileDatagrams, FloodOfRandomDatagramsThenOneGoodReport) {
  SKIP_UNLESS_OWN_NETWORK();
  LiveRun run(24);
  e2e::PtySession& s = *run.session;
  std::thread flood([] {
    UdpSender sender;
    std::mt19937 random(7);
    for (int i = 0; i < 100000; ++i) {
      std::string d = garbage(random() % 300, static_cast<unsigned>(i));
      if (i % 2 == 0 && d.size() > 12) d.replace(8, 4, std::string("\0\0\0\x02", 4));  // a "Decode"
      sender.send(d);
      if (i % 1000 == 999) std::this_thread::sleep_for(milliseconds(5));
    }
    std::this_thread::sleep_for(milliseconds(200));
    sender.send(decode("DECPAA-MBXAAA", 34));
  });
  const bool seen = s.wait_for_text("12:34  DECPAA-MBXAAA   +51.50000   -1.25000  SU521782", seconds(120));
  flood.join();
  ASSERT_TRUE(seen) << s.dump();
  expect_peak_below_mib(s.pid(), 64);
  s.send("\x1b");
  ASSERT_TRUE(s.wait_for_text("Any key to close this window...", seconds(10))) << s.dump();
  s.send("q");
  ASSERT_TRUE(s.wait_exit(seconds(10)));
  expect_only_own_escapes(s.raw_output());
  const std::string csv = e2e::read_file(run.dir.file("RUN.CSV"));
  EXPECT_NE(csv.find("12:34 , +0051.50000, +000-1.25000\r\n"), std::string::npos);
  EXPECT_EQ(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "");
}

// A flood of small decodes, faster than the screen shows them: what waits in
// the program's queue is counted at what it costs in memory, so the program
// stays within the queue's limit (64 MiB) and a little more.
TEST(HostileDatagrams, FloodOfSmallDecodesStaysWithinTheQueueLimit) {
  SKIP_UNLESS_OWN_NETWORK();
#ifdef SANITIZED_BUILD
  GTEST_SKIP() << "memory figures say nothing in a sanitized build";
#endif
  LiveRun run(24);
  e2e::PtySession& s = *run.session;
  std::atomic<bool> sent{false};
  std::thread flood([&] {
    UdpSender sender;
    sender.send_many(decode("a", 0), 2500000);
    sent = true;
  });
  while (!sent) s.pump(milliseconds(50));
  flood.join();
  expect_peak_below_mib(s.pid(), 64 + 8);
  s.send("\x1b");
  ASSERT_TRUE(s.wait_for_text("Any key to close this window...", seconds(60))) << s.dump();
  s.send("q");
  ASSERT_TRUE(s.wait_exit(seconds(10)));
}

// A flood of ordinary decodes fills the memory of those already handled;
// a replay of a position report that came before it (GridTracker asks for
// one when it starts) is still passed over: a point is tracked once a run.
TEST(HostileDatagrams, ReplayAfterAFloodIsNotTrackedTwice) {
  SKIP_UNLESS_OWN_NETWORK();
  LiveRun run(24);
  e2e::PtySession& s = *run.session;
  UdpSender sender;
  const std::string report = decode("DECPAA-MBXAAA", 34);
  sender.send(report);
  ASSERT_TRUE(s.wait_for_text("12:34  DECPAA-MBXAAA")) << s.dump();
  // 140 distinct decodes of 32,000 characters: more than the 4 MiB kept
  // of ordinary decodes.
  for (int i = 0; i < 140; ++i) {
    sender.send(decode(std::string(32000, static_cast<char>('A' + i % 26)) + std::to_string(i), 0));
    if (i % 10 == 9) s.pump(milliseconds(20));
  }
  sender.send(report);
  sender.send(decode("DFGKAA-AATFAA", 35));
  ASSERT_TRUE(s.wait_for_text("12:35  DFGKAA-AATFAA", seconds(60))) << s.dump();
  s.send("\x1b");
  ASSERT_TRUE(s.wait_for_text("Any key to close this window...", seconds(10))) << s.dump();
  s.send("q");
  ASSERT_TRUE(s.wait_exit(seconds(10)));
  EXPECT_EQ(e2e::read_file(run.dir.file("RUN.CSV")),
            "Time, Lat , Long\r\n12:34 , +0051.50000, +000-1.25000\r\n12:35 , +0052.25000, +000.50000\r\n");
}

// Destinations that are not tracks of ours are left as they are: WSJT-X's
// log asked for by its name, and a track of an earlier run when its table
// cannot be made (both files are checked before either is changed).
TEST(Destinations, LiveTrackerLeavesWhatIsNotItsOwnAlone) {
  SKIP_UNLESS_OWN_NETWORK();
  const std::string decodes = "230614_051615    14.074 Rx FT8    -10  0.3 1234 DFGKAA-AATFAA\n";
  const std::string earlier = e2e::track_kml({kPoint.substr(0, kPoint.size() - 2)});
  struct Case {
    const char* answer;
    const char* line;
  } cases[] = {
      {"all.txt", "ALL.TXT Is the name of a decode log and cannot be the destination"},
      {"earlier", "EARLIER.CSV Is not a file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    e2e::TempDir dir;
    e2e::write_file(dir.file("ALL.TXT"), decodes);
    e2e::write_file(dir.file("EARLIER.KML"), earlier);
    std::filesystem::create_directory(dir.file("EARLIER.CSV"));
    e2e::PtyOptions o;
    o.argv = {e2e::program_path("live_tracker")};
    o.working_dir = dir.path();
    e2e::PtySession s(o);
    ASSERT_TRUE(s.wait_for_text("Destination (.KML) file")) << s.dump();
    s.send(std::string(c.answer) + "\r");
    ASSERT_TRUE(s.wait_for_text(c.line)) << s.dump();
    s.pump(milliseconds(200));
    s.send("q");
    int status = 0;
    ASSERT_TRUE(s.wait_exit(seconds(5), &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(e2e::read_file(dir.file("ALL.TXT")), decodes);
    EXPECT_EQ(e2e::read_file(dir.file("EARLIER.KML")), earlier);
    EXPECT_FALSE(std::filesystem::exists(dir.file("ALL.CSV")));
  }
}

// A disk that takes no byte for one of the files: the reports are still
// shown, the other file is complete, and the end names the file that is
// not, with status 1.
TEST(FullDisk, LiveTrackerNamesTheIncompleteFile) {
  SKIP_UNLESS_OWN_NETWORK();
  for (const char* full : {"RUN.KML", "RUN.CSV"}) {
    LiveRun run(60, full);
    e2e::PtySession& s = *run.session;
    UdpSender sender;
    for (int minute = 0; minute < 3; ++minute) sender.send(decode("DECPAA-MBXAAA", minute));
    ASSERT_TRUE(s.wait_for_text("12:02  DECPAA-MBXAAA")) << s.dump();
    s.send("\x1b");
    ASSERT_TRUE(s.wait_for_text("Any key to close this window...", seconds(10))) << s.dump();
    const bool kml_full = std::string(full) == "RUN.KML";
    EXPECT_TRUE(s.screen().contains(kml_full ? "RUN.KML Was not completely written"
                                             : "RUN.CSV Was not completely written"))
        << s.dump();
    EXPECT_TRUE(s.screen().contains(kml_full ? "RUN.CSV Has been generated" : "RUN.KML Has been generated"))
        << s.dump();
    s.send("q");
    int status = 0;
    ASSERT_TRUE(s.wait_exit(seconds(10), &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    const std::string complete = e2e::read_file(run.dir.file(kml_full ? "RUN.CSV" : "RUN.KML"));
    EXPECT_EQ(count(complete, kml_full ? "12:0" : "        -1.25000,+51.50000\r\n"),
              kml_full ? 3 : 1 + 3 + 1);  // Start, the path, End
    EXPECT_EQ(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "");
  }
}

// Started with descriptors 0, 1 and 2 closed and no terminal at all: the
// console text goes nowhere (not into the files), and the socket is not
// read as the keyboard (its datagrams name no file); with no keys, the
// default name is taken.
TEST(ClosedDescriptors, LiveTrackerKeepsItsFilesAndKeysApart) {
  SKIP_UNLESS_OWN_NETWORK();
  e2e::TempDir dir;
  const std::string program = e2e::program_path("live_tracker");
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setsid();  // no controlling terminal
    if (chdir(dir.path().c_str()) != 0) _exit(127);
    for (int fd = 0; fd < 1024; ++fd) close(fd);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const auto files = [&] {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  UdpSender sender;
  const auto deadline = std::chrono::steady_clock::now() + seconds(5);
  while (files().size() < 2 && std::chrono::steady_clock::now() < deadline) {
    sender.send("stolen\r\n");
    std::this_thread::sleep_for(milliseconds(50));
  }
  std::this_thread::sleep_for(milliseconds(200));
  kill(pid, SIGTERM);
  int status = 0;
  bool ended = false;
  for (int i = 0; i < 100 && !ended; ++i) {
    ended = waitpid(pid, &status, WNOHANG) == pid;
    if (!ended) std::this_thread::sleep_for(milliseconds(50));
  }
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  EXPECT_TRUE(ended && WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  const std::vector<std::string> names = files();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_TRUE(std::regex_match(names[0], std::regex("[0-9]{6}_[0-9]{4}\\.CSV"))) << names[0];
  EXPECT_EQ(names[1], names[0].substr(0, 11) + ".KML");
  EXPECT_EQ(e2e::read_file(dir.file(names[0])), "Time, Lat , Long\r\n");
  EXPECT_EQ(e2e::read_file(dir.file(names[1])), e2e::empty_kml());
}

// Ended from outside in the middle of a run, by any signal, SIGKILL too:
// every report shown is in both files, the KML is a whole document with
// its End placemark, the CSV has a whole row a point, and the terminal,
// where it still exists and the program could restore it, is as it was.
TEST(AbruptEnds, LiveTrackerKeepsEveryShownPoint) {
  SKIP_UNLESS_OWN_NETWORK();
  for (int how : {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGKILL, 0 /* the terminal closed */}) {
    LiveRun run;
    e2e::PtySession& s = *run.session;
    UdpSender sender;
    for (int minute = 0; minute < 5; ++minute) sender.send(decode("DECPAA-MBXAAA", minute));
    ASSERT_TRUE(s.wait_for_text("12:04  DECPAA-MBXAAA")) << s.dump();
    const termios before = s.termios_at_start();
    if (how == 0) {
      s.close_master();
    } else {
      s.signal(how);
    }
    int status = 0;
    ASSERT_TRUE(s.wait_exit(seconds(10), &status)) << how;
    EXPECT_TRUE(WIFSIGNALED(status)) << how;
    if (how != 0 && how != SIGKILL) {
      EXPECT_EQ(e2e::termios_diff(before, s.termios_now()), "") << how;
    }
    const std::string csv = e2e::read_file(run.dir.file("RUN.CSV"));
    const std::string kml = e2e::read_file(run.dir.file("RUN.KML"));
    std::string rows = "Time, Lat , Long\r\n";
    for (int minute = 0; minute < 5; ++minute)
      rows += "12:0" + std::to_string(minute) + " , +0051.50000, +000-1.25000\r\n";
    EXPECT_EQ(csv, rows) << how;
    EXPECT_EQ(kml, e2e::track_kml(std::vector<std::string>(5, kPoint.substr(0, kPoint.size() - 2)))) << how;
  }
}

// Ends the program by `how` while its terminal takes no output (stopped
// with stop_output before, as Ctrl-S does), giving it `within` to end; the
// terminal takes output again afterwards. Its wait status, or -1 when it
// ended only once the terminal took output again.
int signal_while_stalled(e2e::PtySession& s, int how, milliseconds within) {
  s.pump(milliseconds(300));
  s.signal(how);
  int status = 0;
  const bool ended = s.wait_exit(within, &status);
  s.start_output();
  if (ended) return status;
  EXPECT_TRUE(s.wait_exit(seconds(10))) << how;
  return -1;
}

// Ended while nobody reads the terminal (its output stopped): the program
// still ends at once by the signal, its terminal modes restored, the track
// complete.
TEST(AbruptEnds, EndedWhileTheTerminalIsStalled) {
  SKIP_UNLESS_OWN_NETWORK();
  for (int how : {SIGTERM, SIGHUP}) {
    LiveRun run;
    e2e::PtySession& s = *run.session;
    UdpSender sender;
    sender.send(decode("CQ G4ABC IO91", 0));  // its colour stays in force
    ASSERT_TRUE(s.wait_for_text("CQ G4ABC IO91")) << s.dump();
    s.stop_output();
    // Each a decode of its own (a copy would be passed over): the program
    // waits to show them.
    for (int i = 0; i < 1000; ++i) sender.send(decode("CQ G4ABC IO91", 1 + i));
    const int status = signal_while_stalled(s, how, seconds(5));
    EXPECT_NE(status, -1) << how << ": ended only once the terminal took output again";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == how) << status;
    EXPECT_EQ(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "") << how;
    EXPECT_EQ(e2e::read_file(run.dir.file("RUN.KML")).substr(0, 5), "<?xml") << how;
  }
}

// A hang-up while a question waits for its answer takes no answer: no file
// is created, whether the program gets SIGHUP or only finds its terminal
// gone (started by a shell that dies of the hang-up without passing it on).
TEST(AbruptEnds, HangUpAtTheQuestionCreatesNoFile) {
  SKIP_UNLESS_OWN_NETWORK();
  for (const bool under_shell : {false, true}) {
    e2e::TempDir dir;
    e2e::PtyOptions o;
    o.argv = {e2e::program_path("live_tracker")};
    if (under_shell) o.argv = {"/bin/sh", "-c", "\"$0\"; true", o.argv[0]};
    o.working_dir = dir.path();
    e2e::PtySession s(o);
    ASSERT_TRUE(s.wait_for_text("Destination (.KML) file")) << s.dump();
    if (under_shell) {
      s.close_master();
      ASSERT_TRUE(s.wait_exit(seconds(5)));  // the shell
      std::this_thread::sleep_for(milliseconds(500));
    } else {
      s.signal(SIGHUP);
      int status = 0;
      ASSERT_TRUE(s.wait_exit(seconds(5), &status));
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGHUP) << status;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << under_shell;
  }
}

TEST(AbruptEnds, LogTrackerFollowModeKeepsEveryShownPoint) {
  for (int how : {SIGHUP, SIGKILL}) {
    e2e::TempDir dir;
    e2e::write_file(dir.file("DECODED.TXT"), kReport);
    e2e::PtyOptions o;
    o.argv = {e2e::program_path("log_tracker")};
    o.working_dir = dir.path();
    o.env = e2e::fake_clock_env("2023-12-07 05:15:57");
    o.env.push_back("TZ=UTC");
    e2e::PtySession s(o);
    ASSERT_TRUE(s.wait_for_text("[Y]/n")) << s.dump();
    s.send("\r");
    ASSERT_TRUE(s.wait_for_text("Destination")) << s.dump();
    s.send("follow\r");
    ASSERT_TRUE(s.wait_for_text("DECPAA-MBXAAA", seconds(10))) << s.dump();
    s.signal(how);
    ASSERT_TRUE(s.wait_exit(seconds(10)));
    if (how != SIGKILL) {
      EXPECT_EQ(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "");
    }
    const std::string kml = e2e::read_file(dir.file("FOLLOW.KML"));
    EXPECT_EQ(kml, e2e::track_kml({kPoint.substr(0, kPoint.size() - 2)})) << how;
  }
}

// Answers log_tracker's questions for a pass over ALL.TXT into BATCH.KML.
void start_batch_pass(e2e::PtySession& s) {
  EXPECT_TRUE(s.wait_for_text("[Y]/n")) << s.dump();
  s.send("n\r\r");
  EXPECT_TRUE(s.wait_for_text("Destination")) << s.dump();
  s.send("batch\r");
}

// Starts that pass, waits until the track holds `points` points (20 s at
// most), then ends the program by `how`; its wait status.
int signal_batch_pass(e2e::PtySession& s, const e2e::TempDir& dir, int points, int how) {
  start_batch_pass(s);
  const auto points_so_far = [&] {
    return std::filesystem::exists(dir.file("BATCH.KML"))
               ? count(e2e::read_file(dir.file("BATCH.KML")), kPoint)
               : 0;
  };
  const auto deadline = std::chrono::steady_clock::now() + seconds(20);
  while (points_so_far() < points && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  s.signal(how);
  int status = -1;
  EXPECT_TRUE(s.wait_exit(seconds(10), &status)) << how;
  return status;
}

// Ended in the middle of a batch pass, while its second thread reads ahead:
// the program ends by the signal, the terminal is as it was, and the track
// holds the points up to where it stopped, closed at the last of them.
TEST(AbruptEnds, LogTrackerBatchPassEndsWithItsReadingThread) {
  for (int how : {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGKILL}) {
    e2e::TempDir dir;
    std::string log;
    for (int i = 0; i < 100000; ++i) log += kReport;  // 5 MB, five blocks
    e2e::write_file(dir.file("ALL.TXT"), log);
    e2e::PtyOptions o;
    o.argv = {e2e::program_path("log_tracker")};
    o.working_dir = dir.path();
    e2e::PtySession s(o);
    // Nothing reads the terminal from here on: the program stops in the
    // middle of the pass once the terminal's queue is full.
    const int status = signal_batch_pass(s, dir, 100, how);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == how) << status;
    if (how != SIGKILL) {
      EXPECT_EQ(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "") << how;
    }
    const std::string kml = e2e::read_file(dir.file("BATCH.KML"));
    EXPECT_GE(count(kml, kPoint), 100) << how;
    EXPECT_LT(count(kml, kPoint), 1 + 100000 + 1) << how << ": the pass had ended";
    EXPECT_TRUE(ends_at_kpoint(kml)) << how;
    // Its last state moved in place: no working copy left but by kill -9.
    EXPECT_EQ(std::filesystem::exists(dir.file(".~BATCH.KML")), how == SIGKILL) << how;
  }
}

// Ended in the middle of a batch pass while its terminal takes no output
// (Ctrl-S, a frozen session): the end waits for the terminal no longer than
// the 2 s it gives a stalled pipe, and says by its status 1 that a report
// line could not be shown; the track is whole.
TEST(AbruptEnds, BatchPassEndedWhileTheTerminalIsStalled) {
  for (int how : {SIGTERM, SIGHUP}) {
    e2e::TempDir dir;
    std::string log;
    for (int i = 0; i < 300000; ++i) log += kReport;
    e2e::write_file(dir.file("ALL.TXT"), log);
    e2e::PtyOptions o;
    o.argv = {e2e::program_path("log_tracker")};
    o.working_dir = dir.path();
    e2e::PtySession s(o);
    start_batch_pass(s);
    ASSERT_TRUE(s.wait_for_text("DECPAA-MBXAAA")) << s.dump();
    s.stop_output();
    const int status = signal_while_stalled(s, how, seconds(4));
    EXPECT_NE(status, -1) << how << ": ended only once the terminal took output again";
    EXPECT_TRUE((WIFEXITED(status) && WEXITSTATUS(status) == 1) ||
                (WIFSIGNALED(status) && WTERMSIG(status) == how))
        << how << ": " << status;
    EXPECT_EQ(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "") << how;
    const std::string kml = e2e::read_file(dir.file("BATCH.KML"));
    EXPECT_LT(count(kml, kPoint), 300000) << how << ": the pass had ended";
    EXPECT_TRUE(ends_at_kpoint(kml)) << how;
  }
}

// Ended in the middle of a pass whose transcript goes to a file: every
// report line whose point is in the track is in the transcript too, though
// the console writes the file in blocks.
TEST(AbruptEnds, TranscriptKeepsStepWithTheTrack) {
  for (int how : {SIGTERM, SIGINT}) {
    e2e::TempDir dir;
    std::string log;
    for (int i = 0; i < 400000; ++i) log += kReport;  // 20 MB
    e2e::write_file(dir.file("ALL.TXT"), log);
    e2e::PtyOptions o;
    o.argv = {e2e::program_path("log_tracker")};
    o.working_dir = dir.path();
    o.stdout_file = dir.file("transcript.txt");
    e2e::PtySession s(o);
    const int status = signal_batch_pass(s, dir, 20000, how);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == how) << status;
    const std::string kml = e2e::read_file(dir.file("BATCH.KML"));
    const int points = count(kml, kPoint) - 2;  // less Start and End
    ASSERT_LT(points, 400000) << how << ": the pass had ended";
    EXPECT_EQ(count(e2e::read_file(dir.file("transcript.txt")), "DECPAA-MBXAAA"), points) << how;
  }
}

}  // namespace
