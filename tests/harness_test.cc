// The harness itself, driving small shell commands in a real terminal.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "pty_session.h"
#include "test_files.h"

namespace e2e {
namespace {

PtySession shell(const std::string& script, const std::string& dir = "") {
  return PtySession({"sh", "-c", script}, dir);
}

int exit_code_of(PtySession& s) {
  int status = -1;
  if (!s.wait_exit(kDefaultTimeout, &status)) return -1000;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

TEST(PtyScreen, ColoursComeBackAsConsoleIndices) {
  PtySession s = shell(R"(printf '\033[36mX\033[39mY\033[33mA\033[90mB\033[96mC\033[0m')");
  ASSERT_EQ(exit_code_of(s), 0);
  EXPECT_EQ(s.row_text(0), "XYABC");
  EXPECT_EQ(s.row_fg_map(0).substr(0, 6), "3768b7");
  EXPECT_EQ(s.cell_fg(0, 0), 3);
  EXPECT_EQ(s.cell_fg(0, 1), 7);
  EXPECT_NE(s.raw_output().find("\033[36m"), std::string::npos);
  EXPECT_EQ(s.screen().pen_fg(), 7);
}

TEST(PtyScreen, TextCursorAndWrapping) {
  PtySession s = shell("printf 'ab\\ncd'; printf '%085d' 0");
  ASSERT_EQ(exit_code_of(s), 0);
  EXPECT_EQ(s.row_text(0), "ab");
  EXPECT_EQ(s.row_text(1), "cd" + std::string(78, '0'));
  EXPECT_EQ(s.row_text(2), "0000000");
  EXPECT_EQ(s.cursor(), (CursorPos{2, 7}));
  EXPECT_EQ(s.screen_text(), "ab\ncd" + std::string(78, '0') + "\n0000000");
}

TEST(PtyScreen, WindowSizeIsSetBeforeStartAndOnResize) {
  PtyOptions options;
  options.argv = {"sh", "-c",
                  "trap 'stty size; exit 0' WINCH; stty size; echo ready; "
                  "while :; do sleep 0.05; done"};
  options.rows = 30;
  options.cols = 100;
  PtySession s(options);
  ASSERT_TRUE(s.wait_for_text("ready")) << s.dump();
  EXPECT_EQ(s.row_text(0), "30 100");
  s.resize(40, 120);
  ASSERT_EQ(exit_code_of(s), 0);
  EXPECT_EQ(s.row_text(2), "40 120");
  EXPECT_EQ(s.screen().cols(), 120);
}

TEST(PtyProcess, ExitStatusWorkingDirAndEnvironment) {
  TempDir dir;
  PtyOptions options;
  options.argv = {"sh", "-c", "pwd; echo \"$TERM/$GREETING/${LINES-none}\"; exit 7"};
  options.working_dir = dir.path();
  options.env = {"GREETING=hi", "LINES=99", "LINES"};
  PtySession s(options);
  EXPECT_EQ(exit_code_of(s), 7);
  EXPECT_EQ(s.row_text(0), std::filesystem::canonical(dir.path()).string());
  EXPECT_EQ(s.row_text(1), "xterm-256color/hi/none");
  EXPECT_FALSE(s.running());
}

TEST(PtyProcess, ProgramThatCannotStartThrows) {
  EXPECT_THROW(PtySession({"/nonexistent/program"}), std::system_error);
  TempDir dir;
  EXPECT_THROW(PtySession({"sh", "-c", "true"}, dir.file("missing")), std::system_error);
}

TEST(PtyProcess, SignalsReachTheProgram) {
  PtySession s = shell("echo ready; exec sleep 10");
  ASSERT_TRUE(s.wait_for_text("ready"));
  EXPECT_TRUE(s.running());
  s.signal(SIGTERM);
  EXPECT_EQ(exit_code_of(s), -SIGTERM);
}

TEST(PtyProcess, GroupSignalReachesProcessesTheProgramStarted) {
  TempDir dir;
  // The outer sh waits for the inner one and runs its trap only once that
  // has ended, so only a group signal stops both at once. The inner sh
  // announces itself, so it exists when the signal goes.
  PtySession s = shell("trap 'echo outer-got-int >> " + dir.file("log") +
                       "; exit 5' INT; "
                       "sh -c 'echo ready; exec sleep 10'; echo after-sleep");
  ASSERT_TRUE(s.wait_for_text("ready"));
  s.signal_group(SIGINT);
  EXPECT_EQ(exit_code_of(s), 5);
  EXPECT_EQ(read_file(dir.file("log")), "outer-got-int\n");
  EXPECT_FALSE(s.screen().contains("after-sleep"));
}

TEST(PtyProcess, ClosingTheTerminalHangsUpTheProgram) {
  PtySession s = shell("echo ready; exec sleep 10");
  ASSERT_TRUE(s.wait_for_text("ready"));
  s.close_master();
  EXPECT_EQ(exit_code_of(s), -SIGHUP);
  EXPECT_THROW(s.termios_now(), std::logic_error);
}

TEST(PtyProcess, DestructorKillsARunningProgram) {
  pid_t pid = -1;
  {
    PtySession s = shell("echo ready; exec sleep 30");
    ASSERT_TRUE(s.wait_for_text("ready"));
    pid = s.pid();
  }
  EXPECT_EQ(kill(pid, 0), -1);
  EXPECT_EQ(errno, ESRCH);
}

TEST(PtyProcess, FakeClockSetsTheProgramsTime) {
  PtyOptions options;
  options.argv = {"date", "+%F %H:%M"};
  options.env = fake_clock_env("2023-12-07 05:15:42");
  options.env.push_back("TZ=UTC");
  PtySession s(options);
  ASSERT_EQ(exit_code_of(s), 0);
  EXPECT_EQ(s.row_text(0), "2023-12-07 05:15");
}

TEST(PtyInput, TypedBytesReachTheProgramUnchanged) {
  PtySession s = shell("stty -icanon -echo min 1; echo ready; head -c 4 | od -An -tx1");
  ASSERT_TRUE(s.wait_for_text("ready"));
  s.send("\033[A\x7f");
  ASSERT_EQ(exit_code_of(s), 0);
  EXPECT_TRUE(s.screen().contains("1b 5b 41 7f")) << s.dump();
}

TEST(PtyInput, LineModeEchoesWhatIsTyped) {
  PtySession s = shell("head -c 3; echo; echo done");
  s.send("abc\r");
  ASSERT_EQ(exit_code_of(s), 0);
  EXPECT_EQ(s.screen_text(), "abc\nabc\ndone");
}

TEST(PtyInput, StdinFromFileKeepsTheTerminalForKeys) {
  TempDir dir;
  write_file(dir.file("in.txt"), "from-file\n");
  PtyOptions options;
  options.argv = {"sh", "-c",
                  "read a; echo got:$a; [ -t 0 ] || echo stdin-not-tty; "
                  "read b </dev/tty; echo key:$b"};
  options.stdin_file = dir.file("in.txt");
  PtySession s(options);
  ASSERT_TRUE(s.wait_for_text("stdin-not-tty")) << s.dump();
  s.send("xyz\r");
  ASSERT_EQ(exit_code_of(s), 0);
  EXPECT_TRUE(s.screen().contains("got:from-file"));
  EXPECT_TRUE(s.screen().contains("key:xyz")) << s.dump();
}

TEST(PtyOutput, StdoutToFileLeavesStderrOnTheTerminal) {
  TempDir dir;
  PtyOptions options;
  options.argv = {"sh", "-c", "[ -t 1 ] || echo stdout-not-tty; echo on-screen >&2"};
  options.stdout_file = dir.file("out.txt");
  PtySession s(options);
  ASSERT_EQ(exit_code_of(s), 0);
  EXPECT_EQ(read_file(dir.file("out.txt")), "stdout-not-tty\n");
  EXPECT_EQ(s.screen_text(), "on-screen");
}

TEST(PtyTermios, SnapshotSeesSettingsTheProgramLeftBehind) {
  PtySession s = shell("stty -echo -icanon");
  termios before = s.termios_at_start();
  EXPECT_NE(before.c_lflag & ECHO, 0u);
  EXPECT_NE(before.c_iflag & IUTF8, 0u);
  ASSERT_EQ(exit_code_of(s), 0);
  termios after = s.termios_now();
  EXPECT_EQ(after.c_lflag & (ECHO | ICANON), 0u);
  std::string diff = termios_diff(before, after);
  EXPECT_NE(diff.find("c_lflag"), std::string::npos) << diff;
  EXPECT_EQ(diff.find("c_iflag"), std::string::npos) << diff;
}

TEST(PtyTermios, RestoredSettingsShowNoDifference) {
  PtySession s = shell("old=$(stty -g); stty raw -echo min 0 time 5; stty \"$old\"");
  ASSERT_EQ(exit_code_of(s), 0);
  EXPECT_EQ(termios_diff(s.termios_at_start(), s.termios_now()), "");
}

TEST(PtyTermios, DiffNamesControlCharacters) {
  termios a{};
  termios b{};
  b.c_cc[VMIN] = 1;
  EXPECT_EQ(termios_diff(a, b), "VMIN: 0 -> 1\n");
}

TEST(TestFiles, ProgramPathIsBesideTheTestExecutable) {
  std::string self = program_path("harness_test");
  EXPECT_TRUE(std::filesystem::equivalent(self, "/proc/self/exe")) << self;
}

TEST(TestFiles, TempDirIsRemovedAndFilesKeepTheirBytes) {
  std::string path;
  std::string bytes("a\0b\r\n\xff\x1b[0m", 9);
  {
    TempDir dir;
    path = dir.path();
    write_file(dir.file("f.bin"), bytes);
    EXPECT_EQ(read_file(dir.file("f.bin")), bytes);
    EXPECT_THROW(read_file(dir.file("missing")), std::runtime_error);
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace e2e
