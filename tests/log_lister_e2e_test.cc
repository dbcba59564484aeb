// log_lister run as a user runs it: in a terminal, the screen read back.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "decode_record.h"
#include "national_grid.h"
#include "pty_session.h"
#include "report_line.h"
#include "test_files.h"

namespace {

using std::chrono::milliseconds;

const std::string kSample = std::string(SAMPLES_DIR) + "/ALL.TXT";

// The report lines of a log as the core renders them.
std::vector<std::string> expected_reports(const std::string& log) {
  std::vector<std::string> out;
  std::istringstream in(log);
  std::string line;
  while (std::getline(in, line, '\n')) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto r = parse_log_line(line);
    if (!r) continue;
    r->grid_ref = to_national_grid(r->latitude, r->longitude, 4);
    out.push_back(format_report_line(*r, ReportStyle::log_reader));
  }
  return out;
}

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
  const std::string log = e2e::read_file(kSample);
  const std::vector<std::string> reports = expected_reports(log);
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

// The line stays readable: the program ends after a key, with status 1.
TEST(LogLister, MissingFilesEndAfterAKey) {
  e2e::TempDir dir;
  std::filesystem::create_directory(dir.file("folder"));
  const struct {
    std::vector<std::string> args;
    std::string typed;
    std::string message;
  } cases[] = {
      {{"nofile.txt"}, "", "nofile.txt Does not exist"},
      {{}, "\r", "ALL.TXT Does not exist"},
      {{"folder"}, "", "folder Does not exist"},
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
    o.argv.insert(o.argv.begin(),
                  {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
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
  ASSERT_TRUE(s.wait_for([&] { return s.row_text(0) == "Source file  [ALL.TXT]  abcde"; }))
      << s.dump();
  EXPECT_EQ(s.row_text(1), "");
  s.send("\x1b[A\t\x03");  // an arrow, Tab and Ctrl+C are ignored
  s.send("XY\r");
  ASSERT_TRUE(s.wait_for_text("abcdeXY Does not exist")) << s.dump();
  EXPECT_EQ(s.row_text(0), "Source file  [ALL.TXT]  abcdeX");
  EXPECT_EQ(s.row_text(1), "Y");
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
  const std::vector<std::string> reports = expected_reports(line);
  ASSERT_EQ(reports.size(), 1u);
  const std::string& report = reports[0];
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

// Bytes of a log never reach the terminal as controls.
TEST(LogLister, ControlBytesInTheLogAreShownNotObeyed) {
  e2e::TempDir dir;
  const std::string line = log_line("DECPAA-\x1b[2J\x1b]0;X");
  e2e::write_file(dir.file("LOG.TXT"), "first line\r\n" + line);
  e2e::PtySession s(options({"LOG.TXT"}, dir));
  ASSERT_TRUE(s.wait_for_text("1234   DECPAA-\u241B[2J\u241B]  +51.50000")) << s.dump();
  EXPECT_EQ(s.raw_output().find("\x1b[2J"), std::string::npos);
  EXPECT_EQ(s.raw_output().find("\x1b]"), std::string::npos);
  s.send("q");
  EXPECT_EQ(exit_code(s), 0);
}

// Keys come from the terminal even when stdin is a file, and the output goes
// to the terminal on stderr when stdout is a file.
TEST(LogLister, RedirectedStdinAndStdout) {
  e2e::TempDir dir;
  e2e::write_file(dir.file("empty"), "");
  e2e::PtyOptions o = options({kSample}, dir);
  o.stdin_file = dir.file("empty");
  o.stdout_file = dir.file("out");
  e2e::PtySession s(o);
  ASSERT_TRUE(s.wait_for_text("1542   DEWOFA-AGPDAA")) << s.dump();
  s.pump(milliseconds(200));
  EXPECT_TRUE(s.running());
  s.send("k");
  EXPECT_EQ(exit_code(s), 0);
  EXPECT_EQ(e2e::read_file(dir.file("out")), "");
  EXPECT_EQ(e2e::termios_diff(s.termios_at_start(), s.termios_now()), "");
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
