// log_tracker run in a real terminal: the questions, the report lines on the
// screen, and the KML track it leaves behind, in both the one-pass reading of
// a log and the once-a-minute following of DECODED.TXT.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "pty_session.h"
#include "test_files.h"
#include "track_watch.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr int kMessageColour = 5;
constexpr int kReportColour = 6;
constexpr int kNormal = 7;

constexpr std::string_view kTitle =
    "Generates .KML file for plotting on Google Earth. Read WSJT data from 'ALL.TXT' or in real "
    "time from 'DECODED.TXT'";
constexpr std::string_view kFollowQuestion = "Read incoming data in real time     [Y]/n   ";
constexpr std::string_view kSourceQuestion = "Source file  [ALL.TXT]  ";
constexpr std::string_view kFollowNotice = "Extract decoded data as it arrives via 'DECODED.TXT'";
// The report lines of samples/wsjtx-2.7/ALL.TXT, checked line by line against
// the positions the sample was made from and against PROJ's cs2cs.
const std::string kTodaysReports = std::string(GOLDEN_DIR) + "/wsjtx-2.7-reports.txt";
// The same for samples/ALL.TXT, and the track that both trackers make of it.
const std::string kSampleReports = std::string(GOLDEN_DIR) + "/sample-reports.txt";
const std::string kSampleTrack = std::string(GOLDEN_DIR) + "/sample-track.kml";

// A short log: a band header, ordinary traffic, four position reports, and
// two position-shaped messages that must not count: a latitude over 90
// degrees, and a "/" in the columns 11-15.
//   DECPAA-MBXAAA  51.5    N  1.25 W
//   DFGKAA-AATFAA  52.25   N  0.5  E
//   OCAUAA-JHGCAA  33.875  S 151.2 E
//   DBUAAA-MFNGAA  50.0    N  3.6  W
constexpr std::string_view kSmallLog =
    "2024-05-17 2131  14.074 MHz  FT8\n"
    "2148        -6   0.4  709  ~        DL1ABC JA1XYZ -02\n"
    "2150       -12   0.3 1505  ~        DECPAA-MBXAAA\n"
    "2151        -9   0.1 1510  ~        YAAAAA-AAAAAA\n"
    "2152        -3   0.2 2564  ~        2E0ABC LA9XYZ R-15\n"
    "2153      /  3   0.8 1505  ~        DFGKAA-AATFAA\n"
    "2154         5   0.8 1505  ~        DFGKAA-AATFAA\n"
    "------ 18/05/2024 ------\n"
    "0017       -20   0.1 1507  ~        OCAUAA-JHGCAA\n"
    "0018        -9   0.0 2897  ~        F4ABC EI5GHJ IO63\n"
    "0019         0   0.1 1488  ~        DBUAAA-MFNGAA\n";

// What log_tracker must make of kSmallLog, byte for byte.
const std::string kSmallLogKml = track_kml({"        -1.25000,+51.50000", "        +0.50000,+52.25000",
                                            "      +151.20000,-33.87500", "        -3.60000,+50.00000"});

// The track of kSmallLog's first point alone: what the file holds once that
// point is in.
std::string first_point_kml() {
  std::string kml(kSmallLogKml);
  const std::string_view later_points =
      "        +0.50000,+52.25000\r\n      +151.20000,-33.87500\r\n        -3.60000,+50.00000\r\n";
  kml.erase(kml.find(later_points), later_points.size());
  const std::string_view last = "        -3.60000,+50.00000";
  kml.replace(kml.find(last), last.size(), "        -1.25000,+51.50000");
  return kml;
}

// A log with traffic and rejected position messages only.
constexpr std::string_view kLogWithoutReports =
    "2024-05-17 2131  14.074 MHz  FT8\n"
    "2148        -6   0.4  709  ~        DL1ABC JA1XYZ -02\n"
    "2151        -9   0.1 1510  ~        YAAAAA-AAAAAA\n"
    "2153      /  3   0.8 1505  ~        DFGKAA-AATFAA\n"
    "2152        -3   0.2 2564  ~        2E0ABC LA9XYZ R-15\n";

// The report lines kSmallLog must give, in order, as screen rows read back
// (trailing blanks trimmed); the references from PROJ's cs2cs.
const std::vector<std::string> kSmallLogReports = {
    "2150   DECPAA-MBXAAA  +51.50000   -1.25000  SU52057822  -12.0dB  +1505Hz 2150",
    "2154   DFGKAA-AATFAA  +52.25000   +0.50000  TL70646430   +5.0dB  +1505Hz 2154",
    "0017   OCAUAA-JHGCAA  -33.87500 +151.20000              -20.0dB  +1507Hz 0017",
    "0019   DBUAAA-MFNGAA  +50.00000   -3.60000  SX85351239   +0.0dB  +1488Hz 0019",
};

bool xmllint_accepts(const std::string& path) {
  const std::string command = "xmllint --noout '" + path + "' 2>&1";
  return std::system(command.c_str()) == 0;
}

std::set<std::string> names_in(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    names.insert(fs::relative(entry.path(), dir).string());
  return names;
}

// Exit code, or minus the signal that ended the program; -1000 on timeout.
int exit_code(PtySession& s, milliseconds timeout = kDefaultTimeout) {
  int status = 0;
  if (!s.wait_exit(timeout, &status)) return -1000;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// The colours of the cells of a row's text, a digit a cell.
std::string row_colours(const PtySession& s, int row) {
  return s.row_fg_map(row).substr(0, s.row_text(row).size());
}
std::string all_in(int colour, std::size_t cells) {
  return std::string(cells, static_cast<char>('0' + colour));
}
// Every cell of the row's text is in `colour`.
#define EXPECT_ROW_COLOUR(s, row, colour)                                  \
  EXPECT_EQ(row_colours(s, row), all_in(colour, (s).row_text(row).size())) \
      << "row " << (row) << ": " << (s).row_text(row)

PtyOptions tracker_options(const TempDir& dir, std::vector<std::string> args = {},
                           std::string_view clock = "") {
  PtyOptions options;
  options.argv = {program_path("log_tracker")};
  options.argv.insert(options.argv.end(), args.begin(), args.end());
  options.working_dir = dir.path();
  options.rows = 60;
  options.cols = 140;
  if (!clock.empty()) options.env = fake_clock_env(clock);
  options.env.push_back("TZ=UTC");
  return options;
}

// Waits for a question and checks the cursor sits right after its text,
// trailing blanks included.
void expect_question(PtySession& s, std::string_view question) {
  ASSERT_TRUE(s.wait_for_text(question.substr(0, question.find_last_not_of(' ') + 1))) << s.dump();
  ASSERT_TRUE(s.wait_for_quiet(milliseconds(100)));
  const int row = s.screen().find_row(question.substr(0, 20));
  EXPECT_EQ(s.cursor(), (CursorPos{row, static_cast<int>(question.size())})) << s.dump();
}

// Answers the first question with "n" and the destination with `name`.
void answer_batch(PtySession& s, std::string_view name) {
  ASSERT_TRUE(s.wait_for_text("Read incoming data in real time")) << s.dump();
  s.send("n\r");
  ASSERT_TRUE(s.wait_for_text("Destination (.KML) file")) << s.dump();
  s.send(std::string(name) + "\r");
}

// The key wait at the end: the program is still there after a while, and a
// key ends it.
void expect_key_wait_then_exit(PtySession& s, int code) {
  s.pump(milliseconds(300));
  EXPECT_TRUE(s.running()) << "ended without waiting for a key\n" << s.dump();
  s.send("x");
  EXPECT_EQ(exit_code(s), code) << s.dump();
}

// ---------------------------------------------------------------------------
// One pass over a log

TEST(LogTrackerBatch, SmallLogGivesReportLinesAndExactTrack) {
  TempDir dir;
  write_file(dir.file("small.log"), kSmallLog);
  // A longer track of an earlier run: replaced whole.
  write_file(dir.file("TRACK.KML"), track_kml(std::vector<std::string>(200, "        +0.00000, +0.00000")));
  PtySession s(tracker_options(dir, {"small.log"}, "2023-12-07 05:15:42"));

  expect_question(s, kFollowQuestion);
  EXPECT_EQ(s.row_text(0), "");
  EXPECT_EQ(s.row_text(1), "");
  EXPECT_EQ(s.row_text(2), "");
  EXPECT_EQ(s.row_text(3), kTitle);
  EXPECT_EQ(s.row_text(4), "");
  EXPECT_EQ(s.cursor().row, 5);
  s.send("n\r");

  // The name on the command line is the source: no question for it.
  expect_question(s, "Destination (.KML) file        [231207_0515.KML]     ");
  EXPECT_EQ(s.row_text(5), "Read incoming data in real time     [Y]/n   n");
  EXPECT_EQ(s.row_text(6), "");
  EXPECT_FALSE(s.screen().contains("Source file")) << s.dump();
  s.send("track\r");

  ASSERT_TRUE(s.wait_for_text("TRACK.KML Generated")) << s.dump();
  EXPECT_EQ(s.row_text(8), "Will generate  TRACK.KML");
  EXPECT_ROW_COLOUR(s, 8, kMessageColour);
  const std::vector<std::string>& reports = kSmallLogReports;
  ASSERT_EQ(reports.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(s.row_text(9 + i), reports[i]);
    EXPECT_ROW_COLOUR(s, 9 + i, kReportColour);
  }
  EXPECT_EQ(s.row_text(13), "TRACK.KML Generated");
  EXPECT_ROW_COLOUR(s, 13, kNormal);
  EXPECT_EQ(s.row_text(14), "");
  EXPECT_FALSE(s.screen().contains("Extract decoded data"));

  expect_key_wait_then_exit(s, 0);
  EXPECT_EQ(s.screen().pen_fg(), kNormal);
  EXPECT_EQ(termios_diff(s.termios_at_start(), s.termios_now()), "");
  EXPECT_EQ(read_file(dir.file("TRACK.KML")), kSmallLogKml);
  EXPECT_TRUE(xmllint_accepts(dir.file("TRACK.KML")));
}

TEST(LogTrackerBatch, SourceNameTypedOrDefaultOrFromSeveralArguments) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
    const char* log_name;
    const char* typed;  // nullptr: no source question expected
  };
  const Case cases[] = {
      {"typed, kept in small letters", {}, "small.log", "small.log"},
      {"Enter alone takes ALL.TXT", {}, "ALL.TXT", ""},
      {"arguments joined by a blank", {"my", "log.txt"}, "my log.txt", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write_file(dir.file(c.log_name), kSmallLog);
    PtySession s(tracker_options(dir, c.args));
    ASSERT_TRUE(s.wait_for_text("Read incoming data in real time")) << s.dump();
    s.send("n\r");
    if (c.typed != nullptr) {
      expect_question(s, kSourceQuestion);
      EXPECT_EQ(s.row_text(6), "Source file  [ALL.TXT]");
      s.send(std::string(c.typed) + "\r");
      ASSERT_TRUE(s.wait_for_text("Destination (.KML) file")) << s.dump();
      EXPECT_EQ(s.row_text(7), "");
      EXPECT_EQ(s.row_text(8).substr(0, 23), "Destination (.KML) file");
    } else {
      ASSERT_TRUE(s.wait_for_text("Destination (.KML) file")) << s.dump();
      EXPECT_FALSE(s.screen().contains("Source file"));
    }
    s.send("out\r");
    ASSERT_TRUE(s.wait_for_text("OUT.KML Generated")) << s.dump();
    const std::string shown = s.screen_text();
    for (const std::string& report : kSmallLogReports)
      EXPECT_NE(shown.find(report), std::string::npos) << report << "\n" << s.dump();
    expect_key_wait_then_exit(s, 0);
    EXPECT_EQ(read_file(dir.file("OUT.KML")), kSmallLogKml);
  }
}

TEST(LogTrackerBatch, SampleLogTrackFollowsEveryAcceptedReport) {
  TempDir dir;
  const std::string sample = std::string(SAMPLES_DIR) + "/ALL.TXT";
  std::vector<std::string> expected_reports;
  for (std::string line : lines_of(read_file(kSampleReports)))
    expected_reports.push_back(line.erase(line.find_last_not_of(' ') + 1));
  ASSERT_EQ(expected_reports.size(), 40u);

  PtyOptions options = tracker_options(dir, {sample});
  options.rows = 70;
  PtySession s(options);
  answer_batch(s, "sample");
  ASSERT_TRUE(s.wait_for_text("SAMPLE.KML Generated")) << s.dump();

  std::vector<std::string> shown;
  for (int row = 0; row < s.screen().rows(); ++row) {
    if (s.row_fg_map(row).find(static_cast<char>('0' + kReportColour)) != std::string::npos) {
      EXPECT_ROW_COLOUR(s, row, kReportColour);
      shown.push_back(s.row_text(row));
    }
  }
  EXPECT_EQ(shown, expected_reports);
  expect_key_wait_then_exit(s, 0);

  const std::string kml = read_file(dir.file("SAMPLE.KML"));
  const std::vector<std::string> lines = lines_of(kml);
  ASSERT_EQ(lines.size(), 27u + 40u + 14u);
  EXPECT_EQ(kml.substr(kml.size() - 2), "\r\n");
  std::size_t bare_lf = 0;
  for (std::size_t i = 0; i < kml.size(); ++i)
    if (kml[i] == '\n' && (i == 0 || kml[i - 1] != '\r')) ++bare_lf;
  EXPECT_EQ(bare_lf, 0u);
  // Start at the first report, the path through all 40, End at the last.
  EXPECT_EQ(kml, read_file(kSampleTrack));
  EXPECT_TRUE(xmllint_accepts(dir.file("SAMPLE.KML")));
}

// The geometries that GDAL's ogrinfo reads from a KML file, one a line
// ("POINT (...)", "LINESTRING (...)"); empty when it cannot read the file.
std::vector<std::string> ogr_geometries(const std::string& path) {
  std::vector<std::string> geometries;
  const std::string command = "ogrinfo -ro -al -q '" + path + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return geometries;
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  for (std::string line : lines_of(out)) {
    line.erase(0, line.find_first_not_of(' '));
    if (line.rfind("POINT", 0) == 0 || line.rfind("LINESTRING", 0) == 0) geometries.push_back(line);
  }
  return geometries;
}

// Near the equator the latitude has one whole digit: the coordinate pair
// holds no blank, which KML keeps to part the points of a path, so that
// strict readers see each point once.
TEST(LogTrackerBatch, PointsNearTheEquatorAreOnePairEach) {
  TempDir dir;
  write_file(dir.file("tropics.log"),
             "2150       -12   0.3 1505  ~        AOOUAA-METBAA\n"
             "2151        -9   0.1 1510  ~        MATFAA-AGNFAA\n"
             "2152        -3   0.2 1564  ~        AAAAAA-AAAAAA\n");
  PtySession s(tracker_options(dir, {"tropics.log"}));
  answer_batch(s, "tropics");
  ASSERT_TRUE(s.wait_for_text("TROPICS.KML Generated")) << s.dump();
  expect_key_wait_then_exit(s, 0);
  EXPECT_EQ(
      read_file(dir.file("TROPICS.KML")),
      track_kml({"        -3.10000,+9.50000", "        +4.25000,-0.50000", "        +0.00000,+0.00000"}));
  EXPECT_TRUE(xmllint_accepts(dir.file("TROPICS.KML")));
  // The path as KML's rule reads it: tuples parted by white space, each
  // "longitude,latitude" (GDAL's reader is more forgiving than that).
  const std::string kml = read_file(dir.file("TROPICS.KML"));
  const std::size_t from = kml.find("<coordinates>", kml.find("<LineString>")) + 13;
  std::istringstream path(kml.substr(from, kml.find("</coordinates>", from) - from));
  std::vector<std::string> tuples;
  for (std::string tuple; path >> tuple;) tuples.push_back(tuple);
  EXPECT_EQ(tuples,
            (std::vector<std::string>{"-3.10000,+9.50000", "+4.25000,-0.50000", "+0.00000,+0.00000"}));
}

// ALL.TXT as WSJT-X 2.7 writes it: every report of it on the screen, as the
// golden listing has them, and a track that strict readers open.
TEST(LogTrackerBatch, TodaysLogGivesEveryReportAndAReadableTrack) {
  TempDir dir;
  const std::vector<std::string> expected = lines_of(read_file(kTodaysReports));
  ASSERT_EQ(expected.size(), 31u);
  PtyOptions options = tracker_options(dir, {std::string(SAMPLES_DIR) + "/wsjtx-2.7/ALL.TXT"});
  options.rows = 50;
  PtySession s(options);
  answer_batch(s, "today");
  ASSERT_TRUE(s.wait_for_text("TODAY.KML Generated")) << s.dump();
  std::vector<std::string> shown;
  for (int row = 0; row < s.screen().rows(); ++row)
    if (s.row_fg_map(row).find(static_cast<char>('0' + kReportColour)) != std::string::npos)
      shown.push_back(s.row_text(row) + " ");  // the trailing blank of the mask
  EXPECT_EQ(shown, expected);
  expect_key_wait_then_exit(s, 0);

  EXPECT_TRUE(xmllint_accepts(dir.file("TODAY.KML")));
  const std::vector<std::string> geometries = ogr_geometries(dir.file("TODAY.KML"));
  ASSERT_EQ(geometries.size(), 3u) << "ogrinfo (gdal-bin) could not read the track";
  EXPECT_EQ(geometries[0], "POINT (-4.1 52.42)");  // Start: the first report
  EXPECT_EQ(std::count(geometries[1].begin(), geometries[1].end(), ',') + 1, 31);
  EXPECT_EQ(geometries[2], "POINT (1.1 52.98)");  // End: the last report

  // The same decodes as JTDX writes them: the same track.
  PtySession jtdx(tracker_options(dir, {std::string(SAMPLES_DIR) + "/jtdx-2.2/202503_ALL.TXT"}));
  answer_batch(jtdx, "jtdx");
  ASSERT_TRUE(jtdx.wait_for_text("JTDX.KML Generated")) << jtdx.dump();
  expect_key_wait_then_exit(jtdx, 0);
  EXPECT_EQ(read_file(dir.file("JTDX.KML")), read_file(dir.file("TODAY.KML")));
}

TEST(LogTrackerBatch, LogWithoutReportsGivesEmptyDocument) {
  TempDir dir;
  write_file(dir.file("quiet.log"), kLogWithoutReports);
  PtySession s(tracker_options(dir, {"quiet.log"}));
  answer_batch(s, "quiet");
  ASSERT_TRUE(s.wait_for_text("QUIET.KML Generated")) << s.dump();
  const int generated = s.screen().find_row("QUIET.KML Generated");
  EXPECT_EQ(s.row_text(generated - 1), "Will generate  QUIET.KML");
  expect_key_wait_then_exit(s, 0);
  EXPECT_EQ(read_file(dir.file("QUIET.KML")), empty_kml());
  EXPECT_TRUE(xmllint_accepts(dir.file("QUIET.KML")));
}

// ---------------------------------------------------------------------------
// The questions

TEST(LogTrackerQuestions, AnswersBeginningWithNChooseTheOnePass) {
  struct Case {
    const char* answer;
    bool one_pass;
  };
  const Case cases[] = {{"n", true},  {"N", true}, {"  n", true}, {"n,x", true},
                        {"no", true}, {"", false}, {"y", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("answer \"") + c.answer + "\"");
    TempDir dir;
    write_file(dir.file("small.log"), kSmallLog);
    write_file(dir.file("DECODED.TXT"), "");
    PtySession s(tracker_options(dir, {"small.log"}));
    ASSERT_TRUE(s.wait_for_text("Read incoming data in real time")) << s.dump();
    s.send(std::string(c.answer) + "\r");
    ASSERT_TRUE(s.wait_for_text("Destination (.KML) file")) << s.dump();
    if (c.one_pass) {
      EXPECT_FALSE(s.screen().contains(kFollowNotice)) << s.dump();
      EXPECT_EQ(s.row_text(7).substr(0, 23), "Destination (.KML) file");
    } else {
      EXPECT_EQ(s.row_text(6), kFollowNotice) << s.dump();
      EXPECT_ROW_COLOUR(s, 6, kMessageColour);
      EXPECT_EQ(s.row_text(7), "");
      EXPECT_EQ(s.row_text(8).substr(0, 23), "Destination (.KML) file");
    }
  }
}

TEST(LogTrackerQuestions, DestinationAnswersNameTheTrack) {
  struct Case {
    const char* typed;
    const char* file;
  };
  const Case cases[] = {
      {"track", "TRACK.KML"},  {"my.trk", "MY.TRK"},     {"a,b", "A.KML"},
      {"", "231207_0515.KML"}, {"sub/t1", "sub/T1.KML"}, {"  Mixed  ", "MIXED.KML"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("answer \"") + c.typed + "\"");
    TempDir dir;
    fs::create_directory(dir.file("sub"));
    write_file(dir.file("small.log"), kSmallLog);
    PtySession s(tracker_options(dir, {"small.log"}, "2023-12-07 05:15:42"));
    ASSERT_TRUE(s.wait_for_text("Read incoming data in real time")) << s.dump();
    s.send("n\r");
    expect_question(s, "Destination (.KML) file        [231207_0515.KML]     ");
    s.send(std::string(c.typed) + "\r");
    ASSERT_TRUE(s.wait_for_text(std::string(c.file) + " Generated")) << s.dump();
    EXPECT_TRUE(s.screen().contains("Will generate  " + std::string(c.file))) << s.dump();
    expect_key_wait_then_exit(s, 0);
    EXPECT_EQ(read_file(dir.file(c.file)), kSmallLogKml);
    std::set<std::string> expected = {"small.log", "sub", c.file};
    EXPECT_EQ(names_in(dir.path()), expected);
  }
}

TEST(LogTrackerQuestions, DestinationThatCannotBeCreatedEndsAfterAKey) {
  TempDir dir;
  write_file(dir.file("small.log"), kSmallLog);
  PtySession s(tracker_options(dir, {"small.log"}));
  answer_batch(s, "nofolder/x");
  ASSERT_TRUE(s.wait_for_text("Cannot be created")) << s.dump();
  s.pump(milliseconds(300));
  EXPECT_TRUE(s.running());  // the closing wait
  s.send("x");
  EXPECT_EQ(exit_code(s), 1) << s.dump();
  EXPECT_TRUE(s.screen().contains("Will generate  nofolder/X.KML")) << s.dump();
  const int row = s.screen().find_row("Cannot be created");
  ASSERT_GE(row, 0) << s.dump();
  EXPECT_EQ(s.row_text(row), "nofolder/X.KML Cannot be created");
  EXPECT_FALSE(s.screen().contains("Generated"));
  EXPECT_FALSE(s.screen().contains(kSmallLogReports[0]));
  EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"small.log"});
  EXPECT_EQ(termios_diff(s.termios_at_start(), s.termios_now()), "");
}

// The line stays readable: the program ends after a key, with status 1.
TEST(LogTrackerQuestions, MissingSourceEndsWithoutTrack) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
    const char* typed;
    const char* shown;
  };
  const Case cases[] = {
      {"named on the command line", {"NOTHERE.TXT"}, nullptr, "NOTHERE.TXT Does not exist"},
      {"typed", {}, "nothere.txt", "nothere.txt Does not exist"},
      {"default", {}, "", "ALL.TXT Does not exist"},
      {"a folder", {"sub"}, nullptr, "sub Is not a file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    fs::create_directory(dir.file("sub"));
    PtySession s(tracker_options(dir, c.args));
    ASSERT_TRUE(s.wait_for_text("Read incoming data in real time")) << s.dump();
    s.send("n\r");
    if (c.typed != nullptr) {
      ASSERT_TRUE(s.wait_for_text("Source file")) << s.dump();
      s.send(std::string(c.typed) + "\r");
    }
    ASSERT_TRUE(s.wait_for_text(c.shown)) << s.dump();
    s.pump(milliseconds(300));
    EXPECT_TRUE(s.running());
    s.send("x");
    EXPECT_EQ(exit_code(s), 1) << s.dump();
    const int row = s.screen().find_row(c.shown);
    ASSERT_GE(row, 0) << s.dump();
    EXPECT_EQ(s.row_text(row), c.shown);
    EXPECT_EQ(s.row_text(row + 1), "");
    EXPECT_FALSE(s.screen().contains("Destination")) << s.dump();
    EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"sub"});
    EXPECT_EQ(termios_diff(s.termios_at_start(), s.termios_now()), "");
  }
}

// A destination that is the log read, by its name, through a link, or
// DECODED.TXT in follow mode: refused in one line, the log untouched,
// status 1 after the closing wait.
TEST(LogTrackerQuestions, DestinationThatIsTheSourceIsRefused) {
  struct Case {
    const char* what;
    const char* log;  // the file read
    bool follow;
    const char* answer;
    const char* shown;
  };
  const Case cases[] = {
      {"same name", "ALL.TXT", false, "all.txt", "ALL.TXT Is the source file and cannot be the destination"},
      {"a link", "all.txt", false, "link.txt", "LINK.TXT Is the source file and cannot be the destination"},
      {"follow mode", "DECODED.TXT", true, "decoded.txt",
       "DECODED.TXT Is the source file and cannot be the destination"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write_file(dir.file(c.log), kSmallLog);
    fs::create_symlink(c.log, dir.file("LINK.TXT"));
    PtySession s(
        tracker_options(dir, c.follow ? std::vector<std::string>{} : std::vector<std::string>{c.log}));
    ASSERT_TRUE(s.wait_for_text("Read incoming data in real time")) << s.dump();
    s.send(c.follow ? "\r" : "n\r");
    ASSERT_TRUE(s.wait_for_text("Destination (.KML) file")) << s.dump();
    s.send(std::string(c.answer) + "\r");
    ASSERT_TRUE(s.wait_for_text(c.shown)) << s.dump();
    expect_key_wait_then_exit(s, 1);
    EXPECT_EQ(read_file(dir.file(c.log)), kSmallLog);
    EXPECT_FALSE(s.screen().contains("Press [esc]")) << s.dump();
  }
}

// ---------------------------------------------------------------------------
// Following DECODED.TXT

constexpr std::string_view kDecodedReport = "0512         4   0.6 1522  ~        DECPAA-MBXAAA";

// Starts following with the destination `name`; returns once the program
// announces the Esc key.
void start_following(PtySession& s, std::string_view name) {
  ASSERT_TRUE(s.wait_for_text("Read incoming data in real time")) << s.dump();
  s.send("\r");
  ASSERT_TRUE(s.wait_for_text("Destination (.KML) file")) << s.dump();
  s.send(std::string(name) + "\r");
  ASSERT_TRUE(s.wait_for_text("Press [esc] to finish")) << s.dump();
}

int count_rows(const PtySession& s, std::string_view text) {
  int n = 0;
  for (int row = 0; row < s.screen().rows(); ++row) n += s.row_text(row) == text;
  return n;
}

bool only_dots(const std::string& text) {
  return !text.empty() && text.find_first_not_of('.') == std::string::npos;
}

// DECODED.TXT, when it is there, is followed rather than ALL.TXT.
TEST(LogTrackerFollow, ChecksAtSecond59AndOnEsc) {
  TempDir dir;
  write_file(dir.file("DECODED.TXT"), std::string(kDecodedReport) + "\r\n" +
                                          "0512        -9   0.0 2897  ~        F4ABC EI5GHJ IO63\r\n");
  write_file(dir.file("ALL.TXT"), "");
  PtySession s(tracker_options(dir, {}, "2023-12-07 05:15:55"));
  start_following(s, "live");
  EXPECT_TRUE(s.screen().contains(kFollowNotice)) << s.dump();
  write_file(dir.file("ALL.TXT"), "230614_051530    14.074 Rx FT8    -10  0.3 1234 DFGKAA-AATFAA\n");
  const auto following_since = std::chrono::steady_clock::now();
  const int press_row = s.screen().find_row("Press [esc] to finish");
  EXPECT_EQ(s.row_text(press_row - 1), "");
  EXPECT_EQ(s.row_text(press_row - 2), "Will generate  LIVE.KML");
  EXPECT_ROW_COLOUR(s, press_row - 2, kMessageColour);
  EXPECT_EQ(s.row_text(press_row + 1), "");
  // Created with the empty document: nothing has been accepted yet.
  EXPECT_EQ(read_file(dir.file("LIVE.KML")), empty_kml());

  const std::string report = "0512   DECPAA-MBXAAA  +51.50000   -1.25000  SU52057822   +4.0dB  +1522Hz 0512";
  ASSERT_TRUE(s.wait_for_text(report, milliseconds(7000))) << s.dump();
  const auto waited = std::chrono::steady_clock::now() - following_since;
  // The clock started at second 55: no check before it reads 59.
  EXPECT_GE(waited, milliseconds(2500)) << s.dump();
  const int first = s.screen().find_row(report);
  EXPECT_EQ(first, press_row + 3) << s.dump();
  const std::string dots = s.row_text(first - 1);
  EXPECT_TRUE(only_dots(dots)) << s.dump();
  EXPECT_GE(dots.size(), 3u) << s.dump();
  EXPECT_LE(dots.size(), 6u) << s.dump();
  EXPECT_ROW_COLOUR(s, first, kReportColour);
  // A point written is in the file at once, a whole track, before the run
  // ends.
  EXPECT_EQ(read_file(dir.file("LIVE.KML")), first_point_kml());

  // Dots go on, one a step, with no further check before Esc.
  s.pump(milliseconds(1200));
  ASSERT_TRUE(s.wait_for([&] { return only_dots(s.row_text(s.cursor().row)); }, milliseconds(2000)))
      << s.dump();
  EXPECT_EQ(s.cursor().col, static_cast<int>(s.row_text(s.cursor().row).size()));
  // Two steps 950 ms apart may both fall in second 59, and Esc checks once
  // more: the same first line is the same decode, one point.
  EXPECT_EQ(count_rows(s, report), 1);
  s.send("\x1b");
  ASSERT_TRUE(s.wait_for_text("LIVE.KML Generated", milliseconds(3000))) << s.dump();
  const int checks = count_rows(s, report);
  EXPECT_EQ(checks, 1) << s.dump();
  const int generated = s.screen().find_row("LIVE.KML Generated");
  EXPECT_TRUE(only_dots(s.row_text(generated - 1))) << s.dump();
  EXPECT_ROW_COLOUR(s, generated, kNormal);
  EXPECT_FALSE(s.screen().contains("DFGKAA-AATFAA")) << s.dump();

  // Esc ended the following; the last wait needs a key of its own.
  expect_key_wait_then_exit(s, 0);
  EXPECT_EQ(termios_diff(s.termios_at_start(), s.termios_now()), "");

  // The small log's track with its first point as every point and the end.
  const std::string point = "        -1.25000,+51.50000";
  const std::vector<std::string> golden = lines_of(kSmallLogKml);
  std::string expected;
  for (int i = 0; i < 27; ++i) expected += golden[i] + "\r\n";
  for (int i = 0; i < checks; ++i) expected += point + "\r\n";
  for (int i = 31; i < 45; ++i) expected += (i == 39 ? point : golden[i]) + "\r\n";
  EXPECT_EQ(read_file(dir.file("LIVE.KML")), expected);
  EXPECT_TRUE(xmllint_accepts(dir.file("LIVE.KML")));
}

TEST(LogTrackerFollow, EscWithoutUsableDecodeGivesEmptyDocument) {
  struct Case {
    const char* what;
    std::optional<std::string> decoded;
  };
  const Case cases[] = {
      {"no DECODED.TXT", std::nullopt},
      {"empty DECODED.TXT", std::string()},
      {"report only on the second line",
       "0512        -9   0.0 2897  ~        F4ABC EI5GHJ IO63\r\n" + std::string(kDecodedReport) + "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    if (c.decoded) write_file(dir.file("DECODED.TXT"), *c.decoded);
    PtySession s(tracker_options(dir, {}, "2023-12-07 05:15:10"));
    start_following(s, "none");
    ASSERT_TRUE(s.wait_for_text(".", milliseconds(2000))) << s.dump();
    s.send("\x1b");
    ASSERT_TRUE(s.wait_for_text("NONE.KML Generated", milliseconds(3000))) << s.dump();
    const int generated = s.screen().find_row("NONE.KML Generated");
    EXPECT_TRUE(only_dots(s.row_text(generated - 1))) << s.dump();
    EXPECT_EQ(s.row_text(generated - 2), "") << s.dump();
    EXPECT_EQ(s.row_text(generated - 3), "Press [esc] to finish");
    expect_key_wait_then_exit(s, 0);
    EXPECT_EQ(read_file(dir.file("NONE.KML")), empty_kml());
    if (c.decoded) {
      EXPECT_EQ(read_file(dir.file("DECODED.TXT")), *c.decoded);
    }
  }
}

// A DECODED.TXT that is no ordinary file counts as missing: a pipe that
// no program writes does not hold the check, a device that never ends does
// not keep it reading; Esc ends the run within a step.
TEST(LogTrackerFollow, DecodedThatIsNoFileCountsAsMissing) {
  for (const bool pipe : {true, false}) {
    SCOPED_TRACE(pipe ? "a pipe" : "a link to /dev/zero");
    TempDir dir;
    if (pipe)
      ASSERT_EQ(mkfifo(dir.file("DECODED.TXT").c_str(), 0600), 0);
    else
      fs::create_symlink("/dev/zero", dir.file("DECODED.TXT"));
    PtySession s(tracker_options(dir, {}, "2023-12-07 05:15:10"));
    start_following(s, "none");
    ASSERT_TRUE(s.wait_for_text(".", milliseconds(2000))) << s.dump();
    s.send("\x1b");
    ASSERT_TRUE(s.wait_for_text("NONE.KML Generated", milliseconds(3000))) << s.dump();
    expect_key_wait_then_exit(s, 0);
    EXPECT_EQ(read_file(dir.file("NONE.KML")), empty_kml());
  }
}

// ---------------------------------------------------------------------------
// Following ALL.TXT as WSJT-X appends to it

// A line of ALL.TXT as WSJT-X 2.x writes it: `message` decoded at hh:mm:15.
std::string all_txt_line(std::string_view hhmm, std::string_view message) {
  return "230614_" + std::string(hhmm) + "15    14.074 Rx FT8    -10  0.3 1234 " + std::string(message) +
         "\n";
}

void append_file(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

// The coordinate lines of a track, without their leading blanks.
std::vector<std::string> path_points(const std::string& kml) {
  std::vector<std::string> points;
  const std::vector<std::string> lines = lines_of(kml);
  for (std::size_t i = 27; i < lines.size() && lines[i] != "        </coordinates>"; ++i)
    points.push_back(lines[i].substr(lines[i].find_first_not_of(' ')));
  return points;
}

TEST(LogTrackerFollow, FollowsAllTxtAsWsjtxWritesIt) {
  TempDir dir;
  const std::string log = dir.file("ALL.TXT");
  write_file(log, all_txt_line("0500", "DECPAA-MBXAAA"));  // there before: not reported
  PtySession s(tracker_options(dir, {}, "2023-12-07 05:15:10"));
  start_following(s, "grow");
  EXPECT_TRUE(s.screen().contains("Extract decoded data as it arrives via 'ALL.TXT'")) << s.dump();
  TrackWatch viewer(dir.file("GROW.KML"));  // refreshes the track all along

  // Within two steps.
  append_file(log, all_txt_line("0516", "DFGKAA-AATFAA"));
  ASSERT_TRUE(s.wait_for_text("0516   DFGKAA-AATFAA", milliseconds(2500))) << s.dump();
  // A line written in two pieces with a step between them: taken once, whole.
  const std::string two_pieces = all_txt_line("0517", "DBUAAA-MFNGAA");
  append_file(log, two_pieces.substr(0, 52));
  s.pump(milliseconds(1500));
  append_file(log, two_pieces.substr(52));
  ASSERT_TRUE(s.wait_for_text("0517   DBUAAA-MFNGAA", milliseconds(2500))) << s.dump();
  // Erased, then created anew: its lines from its start.
  fs::remove(log);
  s.pump(milliseconds(1200));
  write_file(log, all_txt_line("0518", "OCAUAA-JHGCAA"));
  ASSERT_TRUE(s.wait_for_text("0518   OCAUAA-JHGCAA", milliseconds(2500))) << s.dump();
  // Emptied, then written anew past where it had been read, within one step.
  write_file(log, all_txt_line("0519", "DECPAA-MBXAAA") + std::string(200, '\n'));
  ASSERT_TRUE(s.wait_for_text("0519   DECPAA-MBXAAA", milliseconds(2500))) << s.dump();
  // Emptied, and a step later written again.
  write_file(log, "");
  s.pump(milliseconds(1200));
  append_file(log, all_txt_line("0520", "DFGKAA-AATFAA"));
  ASSERT_TRUE(s.wait_for_text("0520   DFGKAA-AATFAA", milliseconds(2500))) << s.dump();

  s.send("\x1b");
  ASSERT_TRUE(s.wait_for_text("GROW.KML Generated", milliseconds(3000))) << s.dump();
  for (const char* shown :
       {"0516   DFGKAA", "0517   DBUAAA", "0518   OCAUAA", "0519   DECPAA", "0520   DFGKAA"}) {
    int rows = 0;
    for (int row = 0; row < s.screen().rows(); ++row) rows += s.row_text(row).rfind(shown, 0) == 0;
    EXPECT_EQ(rows, 1) << shown << "\n" << s.dump();
  }
  EXPECT_FALSE(s.screen().contains("0500")) << s.dump();
  expect_key_wait_then_exit(s, 0);
  const std::string kml = read_file(dir.file("GROW.KML"));
  EXPECT_EQ(path_points(kml),
            (std::vector<std::string>{"+0.50000,+52.25000", "-3.60000,+50.00000", "+151.20000,-33.87500",
                                      "-1.25000,+51.50000", "+0.50000,+52.25000"}));
  EXPECT_TRUE(xmllint_accepts(dir.file("GROW.KML")));
  // The viewer saw the empty document, then each point come, each time a
  // whole document.
  const std::vector<std::string>& seen = viewer.stop();
  EXPECT_EQ(growing_track_fault(seen, track_points(kml)), "");
  EXPECT_GE(seen.size(), 6u);
}

// The monthly logs of WSJT-X 2.6 and later, and those of JTDX (its line has
// the date before the time and one blank after the mode symbol): the one
// written now is followed, and the next one from its start when the month
// turns.
TEST(LogTrackerFollow, FollowsMonthlyLogsIntoTheNextMonth) {
  const auto jtdx_line = [](std::string_view date, std::string_view hhmm, std::string_view message) {
    return std::string(date) + "_" + std::string(hhmm) + "45 -11  0.3 1234 ~ " + std::string(message) +
           "             .\n";
  };
  struct Months {
    std::string march, april, before, last, first;
  };
  const Months wsjtx = {"2025-03-ALL.TXT", "2025-04-ALL.TXT", all_txt_line("2358", "DECPAA-MBXAAA"),
                        all_txt_line("2359", "DFGKAA-AATFAA"), all_txt_line("0000", "DBUAAA-MFNGAA")};
  const Months jtdx = {"202503_ALL.TXT", "202504_ALL.TXT", "20250301_000014  14.074 MHz  FT8\n",
                       jtdx_line("20250331", "2359", "DFGKAA-AATFAA"),
                       jtdx_line("20250401", "0000", "DBUAAA-MFNGAA")};
  for (const Months& m : {wsjtx, jtdx}) {
    SCOPED_TRACE(m.march);
    TempDir dir;
    write_file(dir.file(m.march), m.before);
    PtySession s(tracker_options(dir, {}, "2025-03-31 23:59:10"));
    start_following(s, "month");
    EXPECT_TRUE(s.screen().contains("Extract decoded data as it arrives via '" + m.march + "'")) << s.dump();
    append_file(dir.file(m.march), m.last);
    ASSERT_TRUE(s.wait_for_text("2359   DFGKAA-AATFAA", milliseconds(2500))) << s.dump();
    write_file(dir.file(m.april), m.first);
    ASSERT_TRUE(s.wait_for_text("0000   DBUAAA-MFNGAA", milliseconds(2500))) << s.dump();
    s.send("\x1b");
    ASSERT_TRUE(s.wait_for_text("MONTH.KML Generated", milliseconds(3000))) << s.dump();
    expect_key_wait_then_exit(s, 0);
    EXPECT_EQ(path_points(read_file(dir.file("MONTH.KML"))),
              (std::vector<std::string>{"+0.50000,+52.25000", "-3.60000,+50.00000"}));
  }
}

// Each report shown once, whatever happens to the logs around the one
// followed: an older split log touched (as backup programs do), ALL.TXT
// renamed just after lines were added to it and a new one begun within one
// step.
TEST(LogTrackerFollow, EachLineOnceWhenLogsAreTouchedOrRenamed) {
  TempDir dir;
  write_file(dir.file("2024-05-ALL.TXT"), all_txt_line("2358", "DECPAA-MBXAAA"));
  write_file(dir.file("2024-06-ALL.TXT"), all_txt_line("0000", "DBUAAA-MFNGAA"));
  PtySession s(tracker_options(dir, {}, "2024-06-01 00:01:10"));
  start_following(s, "split");
  EXPECT_TRUE(s.screen().contains("via '2024-05-ALL.TXT' and '2024-06-ALL.TXT'")) << s.dump();
  fs::last_write_time(dir.file("2024-05-ALL.TXT"), fs::file_time_type::clock::now() + std::chrono::hours(1));
  append_file(dir.file("2024-06-ALL.TXT"), all_txt_line("0002", "DFGKAA-AATFAA"));
  ASSERT_TRUE(s.wait_for_text("0002   DFGKAA-AATFAA", milliseconds(2500))) << s.dump();
  s.pump(milliseconds(2000));  // two more steps
  s.send("\x1b");
  ASSERT_TRUE(s.wait_for_text("SPLIT.KML Generated", milliseconds(3000))) << s.dump();
  expect_key_wait_then_exit(s, 0);
  EXPECT_EQ(path_points(read_file(dir.file("SPLIT.KML"))), (std::vector<std::string>{"+0.50000,+52.25000"}));

  TempDir dir2;
  write_file(dir2.file("ALL.TXT"), "");
  PtySession r(tracker_options(dir2, {}, "2023-12-07 05:15:10"));
  start_following(r, "renamed");
  append_file(dir2.file("ALL.TXT"), all_txt_line("0516", "DFGKAA-AATFAA"));
  ASSERT_TRUE(r.wait_for_text("0516   DFGKAA-AATFAA", milliseconds(2500))) << r.dump();
  r.pump(milliseconds(100));
  // Two lines, then at once the log renamed and a new one begun.
  append_file(dir2.file("ALL.TXT"),
              all_txt_line("0517", "DBUAAA-MFNGAA") + all_txt_line("0518", "OCAUAA-JHGCAA"));
  fs::rename(dir2.file("ALL.TXT"), dir2.file("ALL.TXT.1"));
  write_file(dir2.file("ALL.TXT"), all_txt_line("0519", "DECPAA-MBXAAA"));
  ASSERT_TRUE(r.wait_for_text("0519   DECPAA-MBXAAA", milliseconds(2500))) << r.dump();
  r.send("\x1b");
  ASSERT_TRUE(r.wait_for_text("RENAMED.KML Generated", milliseconds(3000))) << r.dump();
  expect_key_wait_then_exit(r, 0);
  EXPECT_EQ(path_points(read_file(dir2.file("RENAMED.KML"))),
            (std::vector<std::string>{"+0.50000,+52.25000", "-3.60000,+50.00000", "+151.20000,-33.87500",
                                      "-1.25000,+51.50000"}));
}

// A read that fails while following (a failing disk, a share gone) is told
// at the end, with status 1; the track holds what was read.
// Every decode log of the folder is followed side by side: a log removed
// is not replaced by an older one's whole content, and the log that WSJT-X
// writes beside an old ALL.TXT is read.
TEST(LogTrackerFollow, EveryLogOfTheFolderOnce) {
  for (const char* older : {"2025-ALL.TXT", "202612_ALL.TXT"}) {
    SCOPED_TRACE(older);
    TempDir dir;
    std::string old_reports;
    for (const char* time : {"0001", "0002", "0003", "0004", "0005", "0006"})
      old_reports += all_txt_line(time, "OCAUAA-JHGCAA");
    write_file(dir.file(older), old_reports);
    write_file(dir.file("ALL.TXT"), "");
    PtySession s(tracker_options(dir, {}, "2026-12-07 05:15:10"));
    start_following(s, "removed");
    EXPECT_TRUE(s.screen().contains("via '" + std::string(older) + "' and 'ALL.TXT'")) << s.dump();
    append_file(dir.file("ALL.TXT"), all_txt_line("0516", "DFGKAA-AATFAA"));
    ASSERT_TRUE(s.wait_for_text("0516   DFGKAA-AATFAA", milliseconds(2500))) << s.dump();
    fs::remove(dir.file("ALL.TXT"));
    s.pump(milliseconds(1500));
    write_file(dir.file("ALL.TXT"), all_txt_line("0517", "DBUAAA-MFNGAA"));
    ASSERT_TRUE(s.wait_for_text("0517   DBUAAA-MFNGAA", milliseconds(2500))) << s.dump();
    s.pump(milliseconds(1000));
    s.send("\x1b");
    ASSERT_TRUE(s.wait_for_text("REMOVED.KML Generated", milliseconds(3000))) << s.dump();
    expect_key_wait_then_exit(s, 0);
    EXPECT_EQ(path_points(read_file(dir.file("REMOVED.KML"))),
              (std::vector<std::string>{"+0.50000,+52.25000", "-3.60000,+50.00000"}));
  }

  TempDir dir;
  write_file(dir.file("ALL.TXT"), all_txt_line("0500", "OCAUAA-JHGCAA"));
  write_file(dir.file("2026-12-ALL.TXT"), "");
  PtySession s(tracker_options(dir, {}, "2026-12-07 05:15:10"));
  start_following(s, "split");
  EXPECT_TRUE(s.screen().contains("via '2026-12-ALL.TXT' and 'ALL.TXT'")) << s.dump();
  append_file(dir.file("2026-12-ALL.TXT"), all_txt_line("0516", "DFGKAA-AATFAA") +
                                               all_txt_line("0517", "DBUAAA-MFNGAA") +
                                               all_txt_line("0518", "DECPAA-MBXAAA"));
  ASSERT_TRUE(s.wait_for_text("0518   DECPAA-MBXAAA", milliseconds(2500))) << s.dump();
  s.send("\x1b");
  ASSERT_TRUE(s.wait_for_text("SPLIT.KML Generated", milliseconds(3000))) << s.dump();
  expect_key_wait_then_exit(s, 0);
  EXPECT_EQ(path_points(read_file(dir.file("SPLIT.KML"))),
            (std::vector<std::string>{"+0.50000,+52.25000", "-3.60000,+50.00000", "-1.25000,+51.50000"}));
}

TEST(LogTrackerFollow, ReadErrorIsTold) {
  TempDir dir;
  write_file(dir.file("ALL.TXT"), "");
  PtyOptions options = tracker_options(dir, {}, "2023-12-07 05:15:10");
  const std::string first = all_txt_line("0516", "DFGKAA-AATFAA");
  options.env.push_back("LD_PRELOAD=" + program_path("read_fault.so"));
  options.env.push_back("READ_FAILS_AFTER=" + std::to_string(first.size()));
  PtySession s(options);
  start_following(s, "failing");
  append_file(dir.file("ALL.TXT"), first);
  ASSERT_TRUE(s.wait_for_text("0516   DFGKAA-AATFAA", milliseconds(2500))) << s.dump();
  append_file(dir.file("ALL.TXT"), all_txt_line("0517", "DBUAAA-MFNGAA"));
  // Told at once, not only at the end; the dots go on.
  ASSERT_TRUE(s.wait_for_text("ALL.TXT Cannot be read now", milliseconds(5000))) << s.dump();
  s.pump(milliseconds(1000));
  EXPECT_EQ(count_rows(s, "ALL.TXT Cannot be read now"), 1) << s.dump();
  s.send("\x1b");
  ASSERT_TRUE(s.wait_for_text("ALL.TXT Was not completely read", milliseconds(3000))) << s.dump();
  EXPECT_TRUE(s.screen().contains("FAILING.KML Generated")) << s.dump();
  expect_key_wait_then_exit(s, 1);
  EXPECT_EQ(path_points(read_file(dir.file("FAILING.KML"))),
            (std::vector<std::string>{"+0.50000,+52.25000"}));
}

// The position message of longitude -(1.25 + i / 6000) degrees, latitude 51.5.
std::string burst_message(int i) {
  int units = 750000 + 100 * i;
  std::string letters(6, 'A');
  for (int k = 5; k >= 0; --k, units /= 25) letters[k] = static_cast<char>('A' + units % 25);
  letters[0] = static_cast<char>(letters[0] + 12);  // west
  return "DECPAA-" + letters;
}

// Esc in the middle of a large addition ends the run within a step; every
// report shown is in the track, each once and in order.
TEST(LogTrackerFollow, EscDuringALargeAdditionEndsWithinAStep) {
  TempDir dir;
  write_file(dir.file("ALL.TXT"), "");
  PtySession s(tracker_options(dir, {}, "2023-12-07 05:15:10"));
  start_following(s, "burst");
  std::string burst;
  for (int i = 0; i < 100000; ++i) burst += all_txt_line("0516", burst_message(i));
  append_file(dir.file("ALL.TXT"), burst);
  ASSERT_TRUE(s.wait_for_text("+51.50000", milliseconds(2500))) << s.dump();  // the reports have begun
  s.send("\x1b");
  ASSERT_TRUE(s.wait_for_text("BURST.KML Generated", milliseconds(3000))) << s.dump();
  expect_key_wait_then_exit(s, 0);

  const std::vector<std::string> points = path_points(read_file(dir.file("BURST.KML")));
  ASSERT_FALSE(points.empty());
  for (std::size_t i = 0; i < points.size(); ++i) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%+.5f,+51.50000", -(1.25 + i / 6000.0));
    ASSERT_EQ(points[i], expected) << "point " << i;
  }
  // The last report shown is the last point.
  const int generated = s.screen().find_row("BURST.KML Generated");
  int last_shown = generated - 1;
  while (last_shown > 0 && s.row_text(last_shown).find("Hz") == std::string::npos) --last_shown;
  EXPECT_NE(s.row_text(last_shown).find(burst_message(static_cast<int>(points.size()) - 1)),
            std::string::npos)
      << s.dump();
  EXPECT_TRUE(xmllint_accepts(dir.file("BURST.KML")));
}

// Ctrl+C ends a run at any moment, as a POSIX program ends: at a question
// at once with nothing created; while following, and in the middle of a
// pass over a huge log (a sparse file, read for minutes otherwise), within
// a moment, the track whole, the end told, no closing wait; status 130.
// Esc ends such a pass too, and the closing line says so.
TEST(LogTrackerCtrlC, EndsTheRunAtAnyMoment) {
  {
    TempDir dir;
    PtySession s(tracker_options(dir));
    ASSERT_TRUE(s.wait_for_text("Read incoming data in real time")) << s.dump();
    s.send("\x03");
    EXPECT_EQ(exit_code(s), 130) << s.dump();
    EXPECT_TRUE(names_in(dir.path()).empty());
    EXPECT_EQ(termios_diff(s.termios_at_start(), s.termios_now()), "");
  }
  {
    TempDir dir;
    write_file(dir.file("ALL.TXT"), "");
    PtySession s(tracker_options(dir, {}, "2023-12-07 05:15:10"));
    start_following(s, "ctrl");
    append_file(dir.file("ALL.TXT"), all_txt_line("0516", "DFGKAA-AATFAA"));
    ASSERT_TRUE(s.wait_for_text("0516   DFGKAA-AATFAA", milliseconds(2500))) << s.dump();
    s.send("\x03");
    EXPECT_EQ(exit_code(s), 130) << s.dump();
    EXPECT_TRUE(s.screen().contains("CTRL.KML Generated")) << s.dump();
    EXPECT_EQ(path_points(read_file(dir.file("CTRL.KML"))), (std::vector<std::string>{"+0.50000,+52.25000"}));
    EXPECT_EQ(termios_diff(s.termios_at_start(), s.termios_now()), "");
  }
  for (const char* key : {"\x03", "\x1b"}) {
    TempDir dir;
    {
      std::ofstream huge(dir.file("huge.log"), std::ios::binary);
      huge << kSmallLog;
    }
    fs::resize_file(dir.file("huge.log"), std::uintmax_t{64} << 30);  // 64 GiB of NUL after it
    PtySession s(tracker_options(dir, {"huge.log"}));
    answer_batch(s, "huge");
    ASSERT_TRUE(s.wait_for_text("Will generate  HUGE.KML")) << s.dump();
    s.pump(milliseconds(500));
    ASSERT_TRUE(s.running());
    const auto pressed = std::chrono::steady_clock::now();
    s.send(key);
    ASSERT_TRUE(s.wait_for_text("huge.log Was not read to its end", milliseconds(3000))) << s.dump();
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, milliseconds(1500));
    EXPECT_TRUE(s.screen().contains("HUGE.KML Generated")) << s.dump();
    // What was read before the key is on the console and in the track.
    EXPECT_TRUE(s.screen().contains(kSmallLogReports.back())) << s.dump();
    if (key[0] == '\x03') {
      EXPECT_EQ(exit_code(s), 130) << s.dump();
    } else {
      expect_key_wait_then_exit(s, 0);
    }
    EXPECT_EQ(read_file(dir.file("HUGE.KML")), kSmallLogKml);
  }
}

// ---------------------------------------------------------------------------
// Failures and the terminal

// A destination that is not a track of ours is left as it is: a link (to
// anything), a file of another program (WSJT-X's log under another name
// included), a folder; a decode log's name or no file name at all is
// refused before anything is opened. One line says why; status 1.
TEST(LogTrackerEnd, DestinationsThatAreNoTrackAreLeftAlone) {
  const std::string decodes = all_txt_line("0516", "DFGKAA-AATFAA");
  struct Case {
    const char* answer;
    const char* line;
  } cases[] = {
      {"linked", "LINKED.KML Is a link and cannot be the destination"},
      {"notes.txt", "NOTES.TXT Exists and was not made by this program: it is left as it is"},
      {"folder.kml", "FOLDER.KML Is not a file"},
      {"all.txt", "ALL.TXT Is the name of a decode log and cannot be the destination"},
      {"2024-06-all.txt", "2024-06-ALL.TXT Is the name of a decode log and cannot be the destination"},
      {"decoded.txt", "DECODED.TXT Is the name of a decode log and cannot be the destination"},
      {"/", "/.KML Is not a file name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    TempDir dir;
    write_file(dir.file("small.log"), kSmallLog);
    write_file(dir.file("passwd"), "root:x:0:0\n");
    fs::create_symlink("passwd", dir.file("LINKED.KML"));
    write_file(dir.file("NOTES.TXT"), decodes);
    fs::create_directory(dir.file("FOLDER.KML"));
    const std::set<std::string> before = names_in(dir.path());
    PtySession s(tracker_options(dir, {"small.log"}));
    answer_batch(s, c.answer);
    ASSERT_TRUE(s.wait_for_text(c.line)) << s.dump();
    EXPECT_FALSE(s.screen().contains("DECPAA")) << s.dump();  // no report: the run ended
    expect_key_wait_then_exit(s, 1);
    EXPECT_EQ(names_in(dir.path()), before);
    EXPECT_EQ(read_file(dir.file("passwd")), "root:x:0:0\n");
    EXPECT_EQ(read_file(dir.file("NOTES.TXT")), decodes);
  }
}

// A disk that fills in the middle of a pass (here a file size limit): the
// track is cut back to the last point that went in whole, a valid
// document, and the run tells it with status 1.
TEST(LogTrackerEnd, FullDiskInThePassLeavesAWholeTrack) {
  TempDir dir;
  std::string log;
  for (int i = 0; i < 100; ++i) log += kSmallLog;  // 400 points
  write_file(dir.file("big.log"), log);
  PtyOptions options = tracker_options(dir);
  // 8 KiB: about 250 points.
  options.argv = {"/bin/sh", "-c", "ulimit -f 16; exec \"$0\" big.log", program_path("log_tracker")};
  PtySession s(options);
  answer_batch(s, "full");
  ASSERT_TRUE(s.wait_for_text("FULL.KML Was not completely written", milliseconds(10000))) << s.dump();
  expect_key_wait_then_exit(s, 1);
  const std::string kml = read_file(dir.file("FULL.KML"));
  EXPECT_LE(kml.size(), 8192u);
  const std::vector<std::string> points = track_points(kml);
  ASSERT_GT(points.size(), 100u);
  ASSERT_LT(points.size(), 400u);
  const std::vector<std::string> all = track_points(std::string(kSmallLogKml));
  for (std::size_t i = 0; i < points.size(); ++i) ASSERT_EQ(points[i], all[i % all.size()]) << i;
  EXPECT_EQ(kml, track_kml(points));
  EXPECT_TRUE(xmllint_accepts(dir.file("FULL.KML")));
}

TEST(LogTrackerEnd, TerminalRestoredAfterSigtermInLastWait) {
  TempDir dir;
  write_file(dir.file("small.log"), kSmallLog);
  PtySession s(tracker_options(dir, {"small.log"}));
  answer_batch(s, "track");
  ASSERT_TRUE(s.wait_for_text("TRACK.KML Generated")) << s.dump();
  s.pump(milliseconds(100));
  ASSERT_TRUE(s.running());
  s.signal(SIGTERM);
  EXPECT_EQ(exit_code(s), -SIGTERM) << s.dump();
  EXPECT_EQ(termios_diff(s.termios_at_start(), s.termios_now()), "");
  EXPECT_EQ(read_file(dir.file("TRACK.KML")), kSmallLogKml);
}

// ---------------------------------------------------------------------------
// Redirection and pipes

// What log_tracker writes of kSmallLog after the destination answer.
constexpr std::string_view kSmallLogTranscriptEnd =
    "2150   DECPAA-MBXAAA  +51.50000   -1.25000  SU52057822  -12.0dB  +1505Hz 2150 \n"
    "2154   DFGKAA-AATFAA  +52.25000   +0.50000  TL70646430   +5.0dB  +1505Hz 2154 \n"
    "0017   OCAUAA-JHGCAA  -33.87500 +151.20000              -20.0dB  +1507Hz 0017 \n"
    "0019   DBUAAA-MFNGAA  +50.00000   -3.60000  SX85351239   +0.0dB  +1488Hz 0019 \n";

std::string transcript_up_to_destination(std::string_view destination_answer) {
  return "\n\n\n" + std::string(kTitle) + "\n\n" + std::string(kFollowQuestion) + "n\n\n" +
         "Destination (.KML) file        [240517_2131.KML]     " + std::string(destination_answer) + "\n";
}

// `log_tracker small.log > out.txt` at a terminal: the file gets the whole
// dialogue as plain text, answers as they were taken; the terminal shows
// the questions, what is typed at them, and the last wait.
TEST(LogTrackerRedirected, TranscriptInTheFileQuestionsOnTheTerminal) {
  TempDir dir;
  write_file(dir.file("small.log"), kSmallLog);
  PtyOptions options = tracker_options(dir, {"small.log"}, "2024-05-17 21:31:00");
  options.stdout_file = dir.file("out.txt");
  PtySession s(options);
  expect_question(s, kFollowQuestion);
  s.send("n\r");
  ASSERT_TRUE(s.wait_for_text("Destination (.KML) file")) << s.dump();
  s.send(
      "trx\x7f"
      "ack\r");
  ASSERT_TRUE(s.wait_for_text("Any key to close this window...")) << s.dump();
  EXPECT_EQ(s.screen_text(), std::string(kFollowQuestion) + "n\n" +
                                 "Destination (.KML) file        [240517_2131.KML]     track\n" +
                                 "Any key to close this window...");
  expect_key_wait_then_exit(s, 0);
  EXPECT_EQ(read_file(dir.file("out.txt")),
            transcript_up_to_destination("track") + "Will generate  TRACK.KML\n" +
                std::string(kSmallLogTranscriptEnd) + "TRACK.KML Generated\n");
  EXPECT_EQ(read_file(dir.file("TRACK.KML")), kSmallLogKml);
  EXPECT_EQ(termios_diff(s.termios_at_start(), s.termios_now()), "");
}

// `printf 'n\n\n' | setsid log_tracker ALL.TXT`: with no terminal at all the
// answers come from stdin and the transcript goes to stdout; nothing reaches
// the terminal the shell was started from. A stdout that cannot be written
// (a full disk) does not stop the run: the track is whole, the status 1.
TEST(LogTrackerRedirected, NoTerminalAtAll) {
  const struct {
    const char* stdout_to;
    int status;
  } cases[] = {{"out.txt", 0}, {"/dev/full", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stdout_to);
    TempDir dir;
    write_file(dir.file("ALL.TXT"), kSmallLog);
    PtyOptions options = tracker_options(dir, {}, "2024-05-17 21:31:00");
    options.argv = {"sh", "-c", "printf 'n\\n\\n' | setsid \"$0\" ALL.TXT > \"$1\"; echo \"status $?\"",
                    program_path("log_tracker"), c.stdout_to};
    PtySession s(options);
    EXPECT_EQ(exit_code(s), 0) << s.dump();
    EXPECT_EQ(s.screen_text(), "status " + std::to_string(c.status));
    EXPECT_EQ(read_file(dir.file("240517_2131.KML")), kSmallLogKml);
    if (c.status == 0) {
      EXPECT_EQ(read_file(dir.file("out.txt")),
                transcript_up_to_destination("") + "Will generate  240517_2131.KML\n" +
                    std::string(kSmallLogTranscriptEnd) + "240517_2131.KML Generated\n");
    }
  }
}

// The reader of the pipe goes after the first report line (`| grep -m 1`,
// as `| head -1` does): log_tracker ends at once, killed by SIGPIPE, with
// the terminal restored and the track of the points so far whole.
TEST(LogTrackerRedirected, PipeClosedByItsReaderEndsTheRunAtOnce) {
  constexpr int kReports = 20000;
  constexpr std::string_view kPoint = "        -1.25000,+51.50000\r\n";
  TempDir dir;
  std::string log;
  for (int i = 0; i < kReports; ++i) log += "2150       -12   0.3 1505  ~        DECPAA-MBXAAA\n";
  write_file(dir.file("big.log"), log);
  PtyOptions options = tracker_options(dir);
  options.argv = {"bash", "-c", "\"$0\" big.log | grep -m 1 Hz; echo \"status ${PIPESTATUS[0]}\"",
                  program_path("log_tracker")};
  PtySession s(options);
  expect_question(s, kFollowQuestion);
  s.send("n\r");
  ASSERT_TRUE(s.wait_for_text("Destination (.KML) file")) << s.dump();
  s.send("track\r");
  ASSERT_TRUE(s.wait_for_text("status ")) << s.dump();
  const int row = s.screen().find_row("status ");
  EXPECT_EQ(s.row_text(row), "status 141");
  EXPECT_EQ(s.row_text(row - 1),
            "2150   DECPAA-MBXAAA  +51.50000   -1.25000  SU52057822  -12.0dB  +1505Hz 2150");
  EXPECT_EQ(exit_code(s), 0);
  EXPECT_EQ(termios_diff(s.termios_at_start(), s.termios_now()), "");

  const std::string kml = read_file(dir.file("TRACK.KML"));
  const std::string_view track_start =
      "    <LineString>\r\n"
      "    <altitudeMode>clampToGround</altitudeMode>\r\n"
      "     <coordinates>\r\n";
  const std::size_t head = kSmallLogKml.find(track_start) + track_start.size();
  ASSERT_EQ(kml.substr(0, head), kSmallLogKml.substr(0, head));  // the same first point
  // Every point the same: the closing part is the one of the first point's track.
  const std::string one_point = first_point_kml();
  const std::string_view closing = std::string_view(one_point).substr(head + kPoint.size());
  ASSERT_GE(kml.size(), head + closing.size());
  const std::string points = kml.substr(head, kml.size() - head - closing.size());
  EXPECT_EQ(kml.substr(kml.size() - closing.size()), closing);
  const std::size_t count = points.size() / kPoint.size();
  EXPECT_GE(count, 1u);
  EXPECT_LT(count, static_cast<std::size_t>(kReports)) << "the run went on";
  std::string whole;
  for (std::size_t i = 0; i < count; ++i) whole += kPoint;
  EXPECT_EQ(points, whole);
}

}  // namespace
}  // namespace e2e
