// Our programs beside WSJT-X's own: position messages and ordinary traffic
// sent as real FT8 transmissions (ft8sim), decoded by WSJT-X's decoder (jt9)
// and by WSJT-X itself and JTDX running headless, then listed, tracked,
// followed and received live. What each report must show comes from their
// own lines (time, SNR, DT, audio offset) and from the golden files (each
// message's position, worked out apart from our code). When WSJT-X or JTDX
// did not decode what was sent, the test skips, saying so: the fault is not
// ours.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "pty_session.h"
#include "test_files.h"
#include "track_watch.h"
#include "wsjtx_station.h"

namespace e2e {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// The report rows and the track of samples/ALL.TXT, whose messages the
// transmissions below take, and the same rows as live_tracker shows them.
const std::string kListed = std::string(GOLDEN_DIR) + "/sample-reports.txt";
const std::string kShownLive = std::string(GOLDEN_DIR) + "/sample-live-reports.txt";
const std::string kTrack = std::string(GOLDEN_DIR) + "/sample-track.kml";
const std::string kTable = std::string(GOLDEN_DIR) + "/sample-live.csv";

// Three FT8 periods: four position reports (one without a grid reference,
// one whose reference is "Not valid", one east of Greenwich) among ordinary
// traffic, at several offsets and DTs.
struct Period {
  std::string wav;  // its name gives WSJT-X the decode's time
  std::vector<Transmission> sent;
};
const std::vector<Period> kPeriods = {
    {"261209_101500.wav",
     {{"DCWQFA-MFKNUA", 1500, 0.0}, {"CQ K1ABC FN42", 800, 0.3}, {"DBEHGP-MCSUOG", 2100, -0.4}}},
    {"261209_101530.wav", {{"DDADBO-ABIHIA", 1200, 0.2}, {"K1ABC W9XYZ -11", 600, 0.1}}},
    {"261209_101600.wav", {{"PA3XYZ K1ABC RR73", 1000, -0.2}, {"DEWOFA-AGPDAA", 2600, 0.5}}},
};

bool is_position(const std::string& message) { return message.size() == 13 && message[6] == '-'; }

// What the golden files hold for one message: the middle of its report rows
// (from the message through the grid reference), its track point and its
// table row after the time.
struct Golden {
  std::string listed_middle;
  std::string live_middle;
  std::string point;
  std::string table_rest;
};

std::map<std::string, Golden> golden_positions() {
  const std::vector<std::string> listed = lines_of(read_file(kListed));
  const std::vector<std::string> live = lines_of(read_file(kShownLive));
  const std::vector<std::string> points = track_points(read_file(kTrack));
  const std::vector<std::string> table = lines_of(read_file(kTable));
  std::map<std::string, Golden> golden;
  for (std::size_t i = 0; i < listed.size(); ++i)
    golden[listed[i].substr(7, 13)] = {listed[i].substr(4, 50), live.at(i).substr(5, 50), points.at(i),
                                       table.at(i + 1).substr(5)};
  return golden;
}

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

// A number with its unit after it ("-8.0dB", "+1500Hz", "-.40s"), or
// nothing when the text is not that.
std::optional<double> with_unit(const std::string& text, const std::string& unit) {
  if (text.size() <= unit.size() || text.compare(text.size() - unit.size(), unit.size(), unit) != 0)
    return std::nullopt;
  try {
    std::size_t used = 0;
    const std::string number = text.substr(0, text.size() - unit.size());
    const double value = std::stod(number, &used);
    if (used == number.size()) return value;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

// The rows of a screen that hold a report of one of `messages`, in order.
std::vector<std::string> report_rows(const PtySession& s, const std::vector<Decode>& positions,
                                     std::size_t message_column) {
  std::vector<std::string> rows;
  for (int row = 0; row < s.screen().rows(); ++row) {
    const std::string text = s.row_text(row);
    for (const Decode& d : positions)
      if (text.size() > message_column + 13 && text.compare(message_column, 13, d.message) == 0) {
        rows.push_back(text);
        break;
      }
  }
  return rows;
}

// The report rows of log_lister and log_tracker: "hhmm", the golden middle,
// then the SNR, the audio offset and the time again.
void expect_listed(const std::vector<std::string>& rows, const std::vector<Decode>& positions) {
  static const std::map<std::string, Golden> golden = golden_positions();
  ASSERT_EQ(rows.size(), positions.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Decode& d = positions[i];
    SCOPED_TRACE(rows[i]);
    EXPECT_EQ(rows[i].substr(0, 4), d.hhmm);
    EXPECT_EQ(rows[i].substr(4, 50), golden.at(d.message).listed_middle);
    const std::vector<std::string> rest = words(rows[i].substr(54));
    ASSERT_EQ(rest.size(), 3u);
    EXPECT_EQ(with_unit(rest[0], "dB"), d.snr);
    EXPECT_EQ(with_unit(rest[1], "Hz"), d.audio_hz);
    EXPECT_EQ(rest[2], d.hhmm);
  }
}

// The report rows of live_tracker: "hh:mm", the golden middle, then the
// SNR, DT and the audio offset.
void expect_shown_live(const std::vector<std::string>& rows, const std::vector<Decode>& positions) {
  static const std::map<std::string, Golden> golden = golden_positions();
  ASSERT_EQ(rows.size(), positions.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Decode& d = positions[i];
    SCOPED_TRACE(rows[i]);
    EXPECT_EQ(rows[i].substr(0, 5), d.hhmm.substr(0, 2) + ":" + d.hhmm.substr(2));
    EXPECT_EQ(rows[i].substr(5, 50), golden.at(d.message).live_middle);
    const std::vector<std::string> rest = words(rows[i].substr(55));
    ASSERT_EQ(rest.size(), 3u);
    EXPECT_EQ(with_unit(rest[0], "dB"), d.snr);
    const std::optional<double> dt = with_unit(rest[1], "s");
    ASSERT_TRUE(dt);
    EXPECT_NEAR(*dt, d.dt_s, 0.005);
    EXPECT_EQ(with_unit(rest[2], "Hz"), d.audio_hz);
  }
}

std::vector<std::string> golden_points(const std::vector<Decode>& positions) {
  static const std::map<std::string, Golden> golden = golden_positions();
  std::vector<std::string> points;
  for (const Decode& d : positions) points.push_back(golden.at(d.message).point);
  return points;
}

// The decodes of `lines` (read by `read`) whose message is a position.
template <typename Read>
std::vector<Decode> positions_in(const std::vector<std::string>& lines, Read read) {
  std::vector<Decode> positions;
  for (const std::string& line : lines)
    if (const std::optional<Decode> d = read(line); d && is_position(d->message)) positions.push_back(*d);
  return positions;
}

// Each position that was sent in `periods` among `decodes`; else what is missing.
std::string missing_positions(const std::vector<Decode>& decodes) {
  std::string missing;
  for (const Period& period : kPeriods)
    for (const Transmission& t : period.sent) {
      bool found = !is_position(t.message);
      for (const Decode& d : decodes) found = found || d.message == t.message;
      if (!found) missing += " \"" + t.message + "\"";
    }
  return missing;
}

// Makes the WAVs of kPeriods in `folder`; "" or what failed.
std::string make_wavs(const std::string& folder) {
  for (std::size_t i = 0; i < kPeriods.size(); ++i)
    if (std::string problem =
            make_ft8_wav(folder + "/" + kPeriods[i].wav, kPeriods[i].sent, static_cast<unsigned>(i + 1));
        !problem.empty())
      return problem;
  return {};
}

PtyOptions program(const std::string& name, const std::string& folder, std::vector<std::string> args = {}) {
  PtyOptions o;
  o.argv = {program_path(name)};
  o.argv.insert(o.argv.end(), args.begin(), args.end());
  o.working_dir = folder;
  o.rows = 60;
  o.cols = 100;
  return o;
}

int exit_code(PtySession& s) {
  int status = -1;
  EXPECT_TRUE(s.wait_exit(seconds(5), &status)) << s.dump();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// log_lister on `log` (in `folder`; "" for the name it proposes): the
// report rows, once it waits for its key.
std::vector<std::string> listed(const std::string& folder, const std::string& log,
                                const std::vector<Decode>& positions) {
  PtySession s(program("log_lister", folder,
                       log.empty() ? std::vector<std::string>{} : std::vector<std::string>{log}));
  if (log.empty()) {
    EXPECT_TRUE(s.wait_for_text("Source file")) << s.dump();
    s.send("\r");
  }
  EXPECT_TRUE(s.wait_for_text(positions.empty() ? "" : positions.back().message)) << s.dump();
  EXPECT_TRUE(s.wait_for_quiet(milliseconds(300)));
  std::vector<std::string> rows = report_rows(s, positions, 7);
  s.send("x");
  EXPECT_EQ(exit_code(s), 0) << s.dump();
  return rows;
}

// The one pass of log_tracker over `log` into `track`.KML: its report rows.
std::vector<std::string> tracked(const std::string& folder, const std::string& log, const std::string& track,
                                 const std::vector<Decode>& positions) {
  PtySession s(program("log_tracker", folder, {log}));
  EXPECT_TRUE(s.wait_for_text("Read incoming data in real time")) << s.dump();
  s.send("n\r");
  EXPECT_TRUE(s.wait_for_text("Destination (.KML) file")) << s.dump();
  s.send(track + "\r");
  EXPECT_TRUE(s.wait_for_text("Generated")) << s.dump();
  std::vector<std::string> rows = report_rows(s, positions, 7);
  s.send("x");
  EXPECT_EQ(exit_code(s), 0) << s.dump();
  return rows;
}

// ---------------------------------------------------------------------------
// WSJT-X's decoder

TEST(RealDecoder, PositionsThatJt9DecodesAreListedAndTracked) {
  for (const char* needed : {"ft8sim", "jt9"})
    if (on_path(needed).empty())
      GTEST_SKIP() << "skipped: " << needed << " is not installed (tools/install_deps.sh)";
  TempDir dir;
  ASSERT_EQ(make_wavs(dir.path()), "");
  // What jt9 printed (WSJT-X 1.8's FT8 layout of ALL.TXT), and its
  // decoded.txt (WSJT-X 2.x), each gathered over the three periods.
  std::string printed, decoded;
  std::vector<Decode> decodes;
  for (const Period& period : kPeriods) {
    const CommandResult run = run_command({"jt9", "-8", "-p", "15", period.wav}, dir.path());
    ASSERT_EQ(run.status, 0) << run.out;
    for (const std::string& line : lines_of(run.out))
      if (const std::optional<Decode> d = read_jt9_line(line)) {
        printed += line + "\n";
        decodes.push_back(*d);
      }
    decoded += read_file(dir.file("decoded.txt"));
  }
  if (const std::string missing = missing_positions(decodes); !missing.empty())
    GTEST_SKIP() << "skipped: jt9 did not decode" << missing << "; its lines:\n" << printed;
  write_file(dir.file("jt9.txt"), printed);
  write_file(dir.file("decoded.txt"), decoded);

  const std::vector<Decode> positions = positions_in(lines_of(printed), read_jt9_line);
  // decoded.txt holds the same decodes, in its own order.
  std::vector<Decode> in_decoded;
  for (const std::string& line : lines_of(decoded))
    for (const Decode& d : positions)
      if (line.find(" " + d.message) != std::string::npos) in_decoded.push_back(d);

  expect_listed(listed(dir.path(), "jt9.txt", positions), positions);
  expect_listed(tracked(dir.path(), "jt9.txt", "printed", positions), positions);
  EXPECT_EQ(track_points(read_file(dir.file("PRINTED.KML"))), golden_points(positions));

  expect_listed(listed(dir.path(), "decoded.txt", in_decoded), in_decoded);
  expect_listed(tracked(dir.path(), "decoded.txt", "decoded", in_decoded), in_decoded);
  EXPECT_EQ(track_points(read_file(dir.file("DECODED.KML"))), golden_points(in_decoded));
}

// ---------------------------------------------------------------------------
// WSJT-X itself, and JTDX

#define SKIP_UNLESS_STATION(gui) \
  if (!(gui).problem().empty()) GTEST_SKIP() << "skipped: " << (gui).problem()

class RealStation : public testing::TestWithParam<const DecoderKind*> {
 protected:
  const DecoderKind& kind() const { return *GetParam(); }
  // The decodes among `lines` of its log whose message is a position.
  std::vector<Decode> positions(const std::vector<std::string>& lines) const {
    return positions_in(lines, kind().read_line);
  }
};

// WSJT-X (JTDX) sends to its multicast group, where WSJT-X's own listener,
// udp_daemon, takes the datagrams too.
TEST_P(RealStation, LiveTrackerShowsAndTracksEveryPositionItSends) {
  if (!in_own_station()) GTEST_SKIP() << kNoOwnStation;
  TempDir dir;
  ASSERT_EQ(make_wavs(dir.path()), "");
  Child daemon;
  if (!on_path("udp_daemon").empty())
    daemon = start_program({"udp_daemon", "-p", "16004", "-g", "224.0.0.1", "-i", "lo"}, dir.path(),
                           dir.file("daemon.out"));
  PtySession tracker(program("live_tracker", dir.path()));
  ASSERT_TRUE(tracker.wait_for_text("Destination (.KML) file")) << tracker.dump();
  tracker.send("live\r");
  ASSERT_TRUE(tracker.wait_for_text("Press [esc] to finish")) << tracker.dump();

  DecoderGui gui(kind(), dir.file("home"), "224.0.0.1");
  SKIP_UNLESS_STATION(gui);
  std::vector<std::string> written;
  for (const Period& period : kPeriods) {
    for (const std::string& line : gui.decode(dir.path() + "/" + period.wav, period.sent))
      written.push_back(line);
    SKIP_UNLESS_STATION(gui);
  }
  const std::vector<Decode> sent = positions(written);
  ASSERT_TRUE(tracker.wait_for_text(sent.back().message, seconds(5))) << tracker.dump();
  ASSERT_TRUE(tracker.wait_for_quiet(milliseconds(500)));
  const std::vector<std::string> rows = report_rows(tracker, sent, 7);
  tracker.send("\x1b");
  ASSERT_TRUE(tracker.wait_for_text("Any key to close this window")) << tracker.dump();
  tracker.send("x");
  EXPECT_EQ(exit_code(tracker), 0) << tracker.dump();

  expect_shown_live(rows, sent);
  EXPECT_EQ(track_points(read_file(dir.file("LIVE.KML"))), golden_points(sent));
  static const std::map<std::string, Golden> golden = golden_positions();
  std::string table = "Time, Lat , Long\r\n";
  for (const Decode& d : sent)
    table += d.hhmm.substr(0, 2) + ":" + d.hhmm.substr(2) + golden.at(d.message).table_rest + "\r\n";
  EXPECT_EQ(read_file(dir.file("LIVE.CSV")), table);
  if (!on_path("udp_daemon").empty()) {
    EXPECT_TRUE(daemon.running());
    const std::string heard = read_file(dir.file("daemon.out"));
    for (const Decode& d : sent) EXPECT_NE(heard.find(d.message), std::string::npos) << heard;
  }
}

TEST_P(RealStation, ItsLogIsFollowedAsWrittenThenListedAndTrackedWhole) {
  if (!in_own_station()) GTEST_SKIP() << kNoOwnStation;
  TempDir dir;
  ASSERT_EQ(make_wavs(dir.path()), "");
  DecoderGui gui(kind(), dir.file("home"));
  SKIP_UNLESS_STATION(gui);
  const std::string data = gui.data_folder();

  // Following, started in the data folder before the decodes are written
  // (JTDX makes its month's log when it starts, WSJT-X ALL.TXT when it
  // first writes).
  const std::string at_start = kind().makes_log_at_start ? gui.wait_for_log(seconds(20)) : "ALL.TXT";
  PtySession follower(program("log_tracker", data));
  ASSERT_TRUE(follower.wait_for_text("Read incoming data in real time")) << follower.dump();
  follower.send("\r");
  ASSERT_TRUE(follower.wait_for_text("Destination (.KML) file")) << follower.dump();
  follower.send("followed\r");
  ASSERT_TRUE(follower.wait_for_text("Press [esc] to finish")) << follower.dump();
  EXPECT_TRUE(follower.screen().contains("via '" + at_start + "'")) << follower.dump();

  std::vector<std::string> written;
  for (const Period& period : kPeriods) {
    for (const std::string& line : gui.decode(dir.path() + "/" + period.wav, period.sent))
      written.push_back(line);
    SKIP_UNLESS_STATION(gui);
    // Each report shows within a step or two of its line being written.
    for (const Decode& d : positions(written))
      EXPECT_TRUE(follower.wait_for_text(d.hhmm + "   " + d.message, seconds(3))) << follower.dump();
  }
  const std::vector<Decode> sent = positions(written);
  follower.pump(milliseconds(1500));
  const std::vector<std::string> rows = report_rows(follower, sent, 7);
  follower.send("\x1b");
  ASSERT_TRUE(follower.wait_for_text("FOLLOWED.KML Generated")) << follower.dump();
  follower.send("x");
  EXPECT_EQ(exit_code(follower), 0) << follower.dump();
  expect_listed(rows, sent);  // each once
  EXPECT_EQ(track_points(read_file(data + "/FOLLOWED.KML")), golden_points(sent));

  // The whole of it: by the name the programs propose, and by its own.
  expect_listed(listed(data, "", sent), sent);
  expect_listed(tracked(data, gui.log_name(), "whole", sent), sent);
  EXPECT_EQ(track_points(read_file(data + "/WHOLE.KML")), golden_points(sent));
}

INSTANTIATE_TEST_SUITE_P(WsjtxAndJtdx, RealStation, testing::Values(&kWsjtx, &kJtdx),
                         [](const testing::TestParamInfo<const DecoderKind*>& info) {
                           return std::string(info.param->program);
                         });

}  // namespace
}  // namespace e2e
