// log_lister run as a user runs it: in a terminal, the screen read back.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "pty_session.h"
#include "test_files.h"

namespace {

using std::chrono::milliseconds;

const std::string kSample = std::string(SAMPLES_DIR) + "/ALL.TXT";

// The report lines of samples/ALL.TXT, checked line by line against the
// positions the sample was made from and PROJ's cs2cs.
const std::string kSampleReports = std::string(GOLDEN_DIR) + "/sample-reports.txt";

// A decode line in the log's column layout.
std::string log_line(const std::string& message) {
  return "1234       -15   0.3 1512  ~        " + message + "\r\n";
}

std::string rtrim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

e2e::PtyOptions options(std::vector<std::string> args, const e2e::TempDir& dir, int rows = 24,
                        int cols = 80) {
  e2e::PtyOptions o;
  o.argv = {e2e::program_path("log_lister")};
  o.argv.insert(o.argv.end(), args.begin(), args.end());
  o.working_dir = dir.path();
  o.rows = rows;
  o.cols = cols;
  return o;
}

// Whether a user without rights of its own can reach and run `path`.
bool others_can_run(const std::filesystem::path& path) {
  struct stat st {};
  for (std::filesystem::path p = path; p != p.root_path(); p = p.parent_path())
    if (stat(p.c_str(), &st) != 0 || !(st.st_mode & S_IXOTH)) return false;
  return true;
}

int exit_code(e2e::PtySession& s) {
  int status = -1;
  EXPECT_TRUE(s.wait_exit(milliseconds(5000), &status)) << s.dump();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(LogLister, ListsEveryReportOfTheSampleThenWaitsForAKey) {
  e2e::TempDir dir;
  const std::vector<std::string> reports = e2e::lines_of(e2e::read_file(kSampleReports));
  ASSERT_EQ(reports.size(), 40u);
  e2e::PtySession s(options({kSample}, dir, 50, 100));
  ASSERT_TRUE(s.wait_for_text(rtrim(reports.back()))) << s.dump();
  for (std::size_t i = 0; i < reports.size(); ++i) {
    EXPECT_EQ(s.row_text(static_cast<int>(i)), rtrim(reports[i]));
    EXPECT_EQ(s.row_fg_map(static_cast<int>(i)).find_first_not_of('7'), std::string::npos);
  }
  EXPECT_EQ(s.row_text(40), "");
  // The closing wait: no prompt, no end without a key.
  s.pump(milliseconds(300));
  EXPECT_TRUE(s.running());
  s.send("x");
  EXPECT_EQ(exit_code(s), 0);
  EXPECT_EQ(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "");
}

// ALL.TXT as WSJT-X 2.7 writes it, LF line ends: the golden listing, checked
// line by line against the positions the sample was made from and PROJ's
// cs2cs. The same decodes as JTDX writes them give the same listing.
TEST(LogLister, ListsEveryReportOfTodaysLog) {
  e2e::TempDir dir;
  std::vector<std::string> expected;
  std::istringstream golden(e2e::read_file(std::string(GOLDEN_DIR) + "/wsjtx-2.7-reports.txt"));
  for (std::string line; std::getline(golden, line);) expected.push_back(rtrim(line));
  ASSERT_EQ(expected.size(), 31u);
  for (const char* sample : {"/wsjtx-2.7/ALL.TXT", "/jtdx-2.2/202503_ALL.TXT"}) {
    SCOPED_TRACE(sample);
    e2e::PtySession s(options({std::string(SAMPLES_DIR) + sample}, dir, 40, 100));
    ASSERT_TRUE(s.wait_for_text(expected.back())) << s.dump();
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(s.row_text(static_cast<int>(i)), expected[i]);
    EXPECT_EQ(s.row_text(31), "");
    s.send("x");
    EXPECT_EQ(exit_code(s), 0);
  }
}

TEST(LogLister, AsksForTheNameAndTakesTheDefault) {
  e2e::TempDir dir;
  e2e::write_file(dir.file("ALL.TXT"), e2e::read_file(kSample));
  e2e::PtySession s(options({}, dir));
  ASSERT_TRUE(s.wait_for_text("Source file  [ALL.TXT]")) << s.dump();
  EXPECT_EQ(s.cursor().col, 24);
  s.send("\r");
  ASSERT_TRUE(s.wait_for_text("1542   DEWOFA-AGPDAA")) << s.dump();
  s.send(" ");
  EXPECT_EQ(exit_code(s), 0);
}

// Without ALL.TXT, the newest of the logs that WSJT-X 2.6 and later split
// it into is proposed, and Enter reads it; without those either, the newest
// of JTDX's monthly logs.
TEST(LogLister, ProposesTheNewestSplitLogWhenAllTxtIsMissing) {
  e2e::TempDir dir;
  e2e::write_file(dir.file("202612_ALL.TXT"),
                  "20261208_225734  14.074 MHz  FT8 JTDX v2.2.159000000\n"
                  "20261208_101500 -11  0.3 1234 ~ DDQCAA-ABYXAA             .\n");
  e2e::write_file(dir.file("202611_ALL.TXT"), log_line("DECPAA-MBXAAA"));
  std::filesystem::last_write_time(dir.file("202611_ALL.TXT"), std::filesystem::file_time_type::clock::now());
  {
    e2e::PtySession s(options({}, dir));
    ASSERT_TRUE(s.wait_for_text("Source file  [202612_ALL.TXT]")) << s.dump();
    s.send("\r");
    ASSERT_TRUE(s.wait_for_text("1015   DDQCAA-ABYXAA  +51.20000   +1.30000")) << s.dump();
    s.send("x");
    EXPECT_EQ(exit_code(s), 0);
  }
  e2e::write_file(dir.file("2024-ALL.TXT"), log_line("DECPAA-MBXAAA"));
  e2e::write_file(dir.file("2025-03-ALL.TXT"),
                  "250301_121500    14.074 Rx FT8    -10  0.3 1234 DFGKAA-AATFAA\n");
  e2e::write_file(dir.file("2025-02-ALL.TXT"), log_line("DECPAA-MBXAAA"));
  // Written in that order: the yearly file last of all but one.
  const auto now = std::filesystem::file_time_type::clock::now();
  std::filesystem::last_write_time(dir.file("2025-02-ALL.TXT"), now - std::chrono::hours(48));
  std::filesystem::last_write_time(dir.file("2024-ALL.TXT"), now - std::chrono::hours(24));
  e2e::PtySession s(options({}, dir));
  ASSERT_TRUE(s.wait_for_text("Source file  [2025-03-ALL.TXT]")) << s.dump();
  s.send("\r");
  ASSERT_TRUE(s.wait_for_text("1215   DFGKAA-AATFAA  +52.25000   +0.50000")) << s.dump();
  s.send("x");
  EXPECT_EQ(exit_code(s), 0);
  // With ALL.TXT there, nothing changes.
  e2e::write_file(dir.file("ALL.TXT"), log_line("DECPAA-MBXAAA"));
  e2e::PtySession again(options({}, dir));
  ASSERT_TRUE(again.wait_for_text("Source file  [ALL.TXT]")) << again.dump();
  again.send("\rx");
  EXPECT_EQ(exit_code(again), 0);
}

// Esc ends a pass over a huge log (a sparse file) within a moment, and the
// closing line says where; Ctrl+C at the closing wait ends the program as an
// interrupted one.
TEST(LogLister, EscEndsThePassAndCtrlCTheWait) {
  e2e::TempDir dir;
  e2e::write_file(dir.file("huge.log"), "1234       -15   0.3 1512  ~        DECPAA-MBXAAA\r\n");
  std::filesystem::resize_file(dir.file("huge.log"), std::uintmax_t{64} << 30);
  e2e::PtySession s(options({"huge.log"}, dir));
  s.pump(milliseconds(500));
  s.send("\x1b");
  ASSERT_TRUE(s.wait_for_text("huge.log Was not read to its end", milliseconds(2000))) << s.dump();
  EXPECT_TRUE(s.screen().contains("1234   DECPAA-MBXAAA  +51.50000   -1.25000  SU52057822")) << s.dump();
  s.pump(milliseconds(200));
  EXPECT_TRUE(s.running()) << "no closing wait";
  s.send("\x03");
  EXPECT_EQ(exit_code(s), 130);
  EXPECT_EQ(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "");
}

// The line stays readable: the program ends after a key, with status 1.
TEST(LogLister, MissingFilesEndAfterAKey) {
  e2e::TempDir dir;
  std::filesystem::create_directory(dir.file("folder"));
  e2e::write_file(dir.file("spaced.txt"), "");
  const struct {
    std::vector<std::string> args;
    std::string typed;
    std::string message;
  } cases[] = {
      {{"nofile.txt"}, "", "nofile.txt Does not exist"},
      {{}, "\r", "ALL.TXT Does not exist"},
      {{"folder"}, "", "folder Is not a file"},
      {{"/dev/null"}, "", "/dev/null Is not a file"},
      {{}, "  nofile.txt  \r", "nofile.txt Does not exist"},  // blanks around it trimmed
      {{"\"quoted name\""}, "", "\"quoted name\" Does not exist"},
      {{"two", "words"}, "", "two words Does not exist"},
  };
  for (const auto& c : cases) {
    e2e::PtySession s(options(c.args, dir));
    if (!c.typed.empty()) {
      ASSERT_TRUE(s.wait_for_text("Source file")) << s.dump();
      s.send(c.typed);
    }
    ASSERT_TRUE(s.wait_for_text(c.message)) << s.dump();
    s.pump(milliseconds(300));
    EXPECT_TRUE(s.running()) << c.message;
    s.send("x");
    EXPECT_EQ(exit_code(s), 1) << c.message;
    EXPECT_TRUE(s.screen().contains(c.message)) << s.dump();
    EXPECT_EQ(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "");
  }
}

TEST(LogLister, FileThatCannotBeReadEndsWithStatusOne) {
  e2e::TempDir dir;
  e2e::write_file(dir.file("LOCKED.TXT"), "x\r\n");
  chmod(dir.file("LOCKED.TXT").c_str(), 0);
  e2e::PtyOptions o = options({"LOCKED.TXT"}, dir);
  if (geteuid() == 0) {
    // Root reads every file: run as nobody.
    if (access("/usr/bin/setpriv", X_OK) != 0 || !others_can_run(o.argv[0]))
      GTEST_SKIP() << "cannot run the program as another user here";
    chmod(dir.path().c_str(), 0755);
    o.argv.insert(o.argv.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  }
  e2e::PtySession s(o);
  ASSERT_TRUE(s.wait_for_text("LOCKED.TXT Cannot be read")) << s.dump();
  s.send("x");
  EXPECT_EQ(exit_code(s), 1);
}

// Typing at the prompt: Backspace takes back characters across a wrapped
// row, control keys change nothing.
TEST(LogLister, LineEditingAcrossAWrappedRow) {
  e2e::TempDir dir;
  e2e::PtySession s(options({}, dir, 10, 30));
  ASSERT_TRUE(s.wait_for_text("Source file  [ALL.TXT]")) << s.dump();
  s.send("abcdefghij");  // 6 on the prompt's row, 4 on the next
  ASSERT_TRUE(s.wait_for_text("ghij")) << s.dump();
  EXPECT_EQ(s.row_text(0), "Source file  [ALL.TXT]  abcdef");
  EXPECT_EQ(s.row_text(1), "ghij");
  s.send("\x7f\x7f\x7f\x7f\x7f");
  ASSERT_TRUE(s.wait_for([&] { return s.row_text(0) == "Source file  [ALL.TXT]  abcde"; })) << s.dump();
  EXPECT_EQ(s.row_text(1), "");
  s.send("\x1b[A\t");  // an arrow and Tab are ignored
  s.send("XY\r");
  ASSERT_TRUE(s.wait_for_text("abcdeXY Does not exist")) << s.dump();
  EXPECT_EQ(s.row_text(0), "Source file  [ALL.TXT]  abcdeX");
  EXPECT_EQ(s.row_text(1), "Y");
  s.send("x");
  EXPECT_EQ(exit_code(s), 1);
}

// The terminal narrowed while a wrapped answer is typed: whatever is typed or
// taken back afterwards, the screen shows the answer that will be taken.
TEST(LogLister, LineEditingAfterTheTerminalIsNarrowed) {
  e2e::TempDir dir;
  e2e::PtySession s(options({}, dir, 10, 30));
  ASSERT_TRUE(s.wait_for_text("Source file  [ALL.TXT]")) << s.dump();
  s.send("1234567890");  // 6 on the prompt's row, 4 on the next
  ASSERT_TRUE(s.wait_for_text("7890")) << s.dump();
  s.resize(10, 20);
  s.pump(milliseconds(100));
  s.send("\x7f\x7f\x7f\x7fx");
  const auto shown = [&] {
    std::string text = s.screen_text();
    std::erase(text, '\n');
    return text;
  };
  ASSERT_TRUE(s.wait_for([&] { return shown() == "Source file  [ALL.TXT]  123456x"; })) << s.dump();
  s.resize(10, 14);  // and once more, before Backspace
  s.pump(milliseconds(100));
  s.send("\x7f\x7f");
  ASSERT_TRUE(s.wait_for([&] { return shown() == "Source file  [ALL.TXT]  12345"; })) << s.dump();
  s.send("\r");
  EXPECT_TRUE(s.wait_for([&] { return shown().ends_with("12345 Does not exist"); })) << s.dump();
  s.send("x");
  EXPECT_EQ(exit_code(s), 1);
}

TEST(LogLister, BackspaceOnAnEmptyLineAndWholeCharacters) {
  e2e::TempDir dir;
  e2e::write_file(dir.file("\xC3\xA9t\xC3\xA9.txt"), e2e::read_file(kSample));
  e2e::PtySession s(options({}, dir));
  ASSERT_TRUE(s.wait_for_text("Source file")) << s.dump();
  s.send("\x7f\x7f\xC3\xA9t\xE6\x97\xA5\x7f\xC3\xA9.txt");  // 日 typed and taken back
  ASSERT_TRUE(s.wait_for_text("\xC3\xA9t\xC3\xA9.txt")) << s.dump();
  s.send("\r");
  ASSERT_TRUE(s.wait_for_text("DEWOFA-AGPDAA")) << s.dump();
  s.send("q");
  EXPECT_EQ(exit_code(s), 0);
}

// A line that fills the screen's width exactly, then its line end, leaves an
// empty row below it.
TEST(LogLister, FullWidthLinesLeaveAnEmptyRow) {
  e2e::TempDir dir;
  const std::string line = log_line("DECPAA-MBXAAA");
  e2e::write_file(dir.file("LOG.TXT"), line + line);
  const std::string report = "1234   DECPAA-MBXAAA  +51.50000   -1.25000  SU52057822  -15.0dB  +1512Hz 1234 ";
  ASSERT_EQ(report.size(), 78u);
  e2e::PtySession s(options({"LOG.TXT"}, dir, 10, 78));
  ASSERT_TRUE(s.wait_for_quiet()) << s.dump();
  EXPECT_EQ(s.row_text(0), rtrim(report));
  EXPECT_EQ(s.row_text(1), "");
  EXPECT_EQ(s.row_text(2), rtrim(report));
  EXPECT_EQ(s.row_text(3), "");
  EXPECT_EQ(s.cursor().row, 4);
  s.send("q");
  EXPECT_EQ(exit_code(s), 0);
}

// Bytes of a log never reach the terminal as controls: a message that holds
// them is no position message.
TEST(LogLister, ControlBytesInTheLogAreNotObeyed) {
  e2e::TempDir dir;
  e2e::write_file(dir.file("LOG.TXT"),
                  "first line\r\n" + log_line("DECPAA-\x1b[2J\x1b]0;X") + "\r\n" + log_line("DECPAA-MBXAAA"));
  e2e::PtySession s(options({"LOG.TXT"}, dir));
  ASSERT_TRUE(s.wait_for_text("1234   DECPAA-MBXAAA  +51.50000")) << s.dump();
  ASSERT_TRUE(s.wait_for_quiet());
  EXPECT_FALSE(s.screen().contains("DECPAA-\u241B")) << s.dump();
  EXPECT_EQ(s.raw_output().find("\x1b[2J"), std::string::npos);
  EXPECT_EQ(s.raw_output().find("\x1b]"), std::string::npos);
  s.send("q");
  EXPECT_EQ(exit_code(s), 0);
}

// `log_lister ALL.TXT > reports.txt` typed at a terminal whose stdin is a
// file: the reports go to the file as plain lines; the terminal shows only
// that a key closes the program, and keys still come from it.
TEST(LogLister, RedirectedStdinAndStdout) {
  e2e::TempDir dir;
  e2e::write_file(dir.file("empty"), "");
  e2e::PtyOptions o = options({kSample}, dir);
  o.stdin_file = dir.file("empty");
  o.stdout_file = dir.file("reports.txt");
  e2e::PtySession s(o);
  ASSERT_TRUE(s.wait_for_text("Any key to close this window...")) << s.dump();
  s.pump(milliseconds(200));
  EXPECT_EQ(s.screen_text(), "Any key to close this window...");
  EXPECT_TRUE(s.running());
  s.send("k");
  EXPECT_EQ(exit_code(s), 0);
  const std::string reports = e2e::read_file(dir.file("reports.txt"));
  EXPECT_EQ(std::count(reports.begin(), reports.end(), '\n'), 40);
  EXPECT_TRUE(reports.starts_with(
      "0904   DCWQFA-MFKNUA  +50.72000   -3.53000  SX92019233   +5.0dB  +1505Hz 0904 \n"
      "0914   DCRTMH-MFHJTC  +50.59322   -3.44767  SX97547812   +2.0dB  +1508Hz 0914 \n"));
  EXPECT_TRUE(
      reports.ends_with("1542   DEWOFA-AGPDAA  +52.02000   +4.30000              -24.0dB  +1488Hz 1542 \n"));
  EXPECT_EQ(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "");
}

// `log_lister ALL.TXT | grep SX9` typed at a terminal: grep gets the
// reports; the terminal shows what grep keeps and the last wait.
TEST(LogLister, PipedIntoGrep) {
  e2e::TempDir dir;
  e2e::PtySession s(
      {"sh", "-c", "\"$0\" \"$1\" | grep SX9; echo \"status $?\"", e2e::program_path("log_lister"), kSample},
      dir.path());
  ASSERT_TRUE(s.wait_for_text("Any key to close this window...")) << s.dump();
  ASSERT_TRUE(s.wait_for_text("SX97547812")) << s.dump();
  s.send("k");
  ASSERT_TRUE(s.wait_for_text("status 0")) << s.dump();
  std::vector<std::string> rows;
  for (int row = 0; row < 4; ++row) rows.push_back(s.row_text(row));
  std::sort(rows.begin(), rows.end());  // grep may show its lines after the wait begins
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "0904   DCWQFA-MFKNUA  +50.72000   -3.53000  SX92019233   +5.0dB  +1505Hz 0904",
                      "0914   DCRTMH-MFHJTC  +50.59322   -3.44767  SX97547812   +2.0dB  +1508Hz 0914",
                      "Any key to close this window...", "status 0"}))
      << s.dump();
  EXPECT_EQ(s.row_text(4), "");
}

// The terminal is left as it was when the program is ended from outside.
TEST(LogLister, TerminalRestoredWhenEndedBySignals) {
  for (int sig : {SIGTERM, SIGHUP, SIGQUIT}) {
    e2e::TempDir dir;
    e2e::PtySession s(options({kSample}, dir));
    ASSERT_TRUE(s.wait_for_text("DEWOFA-AGPDAA")) << s.dump();
    EXPECT_NE(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "");  // raw while running
    s.signal(sig);
    int status = 0;
    ASSERT_TRUE(s.wait_exit(milliseconds(5000), &status));
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
    EXPECT_EQ(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "") << sig;
  }
}

}  // namespace
