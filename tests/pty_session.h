// Runs a program in a pseudo-terminal the way a user runs it in a terminal
// window: the test types keys with send() and reads the screen.
//
//   e2e::PtySession s({e2e::program_path("log_lister"), "ALL.TXT"}, dir.path());
//   ASSERT_TRUE(s.wait_for_text("Press Enter")) << s.dump();
//   s.send("\r");
//   int status = 0;
//   ASSERT_TRUE(s.wait_exit(std::chrono::seconds(5), &status));
//   EXPECT_EQ(s.cell_fg(3, 0), 3);
#ifndef TESTS_PTY_SESSION_H
#define TESTS_PTY_SESSION_H

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "terminal_screen.h"

namespace e2e {

using std::chrono::milliseconds;
inline constexpr milliseconds kDefaultTimeout{5000};

struct PtyOptions {
  // argv[0] is a path or a name looked up on PATH.
  std::vector<std::string> argv;
  // Working directory of the program; empty keeps the test's own.
  std::string working_dir;
  int rows = 24;
  int cols = 80;
  // A file read as the program's stdin instead of the terminal. The terminal
  // stays its controlling terminal, so /dev/tty still reaches the keyboard.
  std::string stdin_file;
  // A file the program's stdout goes to instead of the terminal (created or
  // truncated). stderr always goes to the terminal.
  std::string stdout_file;
  // Changes to the test's environment: "NAME=VALUE" sets, "NAME" removes.
  // Applied after the defaults: TERM=xterm-256color, HOME=/nonexistent (no
  // data folder of WSJT-X or JTDX), and no LINES, COLUMNS, NO_COLOR or
  // XDG_DATA_HOME.
  std::vector<std::string> env;
  // Terminal settings before the program starts; by default the kernel's
  // settings for a new terminal plus IUTF8, as a terminal emulator has them.
  std::optional<termios> initial_termios;
};

// Environment entries (for PtyOptions::env) that start the program's clock
// at a local time such as "2023-12-07 05:15:42", running on from there.
// Unlike the faketime wrapper, the program stays the session's own process,
// so signal() and the exit status reach it directly.
std::vector<std::string> fake_clock_env(std::string_view local_time);

// Differences between two terminal settings in the fields a program may
// change (flags, control characters, speeds); empty when they match.
std::string termios_diff(const termios& before, const termios& after);

class PtySession {
 public:
  explicit PtySession(PtyOptions options);
  explicit PtySession(std::vector<std::string> argv, std::string working_dir = "");
  // Kills (SIGKILL) the process group of a program still running, reaps it.
  ~PtySession();
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  pid_t pid() const { return pid_; }

  // Types bytes: "\r" Enter, "\x1b" Esc, "\x7f" Backspace, "\x1b[A" Up.
  // Reads output meanwhile; throws if the terminal does not take them in time.
  void send(std::string_view bytes, milliseconds timeout = kDefaultTimeout);

  // Reads output for the whole duration.
  void pump(milliseconds duration);
  // Reads output until pred() holds (checked after each chunk); returns it.
  bool wait_for(const std::function<bool()>& pred, milliseconds timeout = kDefaultTimeout);
  // Reads output until needle appears in one row of the screen.
  bool wait_for_text(std::string_view needle, milliseconds timeout = kDefaultTimeout);
  // Reads output until none has come for `quiet`; false if it never settles.
  bool wait_for_quiet(milliseconds quiet = milliseconds(200), milliseconds timeout = kDefaultTimeout);

  // Reads output until the program ends and reaps it; the wait status
  // (for WIFEXITED and friends) goes to *status. False on timeout.
  bool wait_exit(milliseconds timeout = kDefaultTimeout, int* status = nullptr);
  // Whether the program has not ended yet (reaps it when it has).
  bool running();
  // The wait status once the program has been reaped.
  std::optional<int> exit_status() const { return status_; }

  // Sends a signal to the program's process, or to its whole process group
  // (what Ctrl-C does; also reaches a program started through a wrapper).
  void signal(int sig);
  void signal_group(int sig);
  // Changes the window size; the program gets SIGWINCH.
  void resize(int rows, int cols);
  // Closes the terminal as closing the window does: the program gets SIGHUP
  // and its reads of the terminal end. The harness's own slave descriptor
  // is closed too; afterwards nothing more is read and termios_now() throws.
  void close_master();
  // Stops the terminal's output as a frozen window does: the program's
  // writes to the terminal wait, whatever the test reads, until
  // start_output().
  void stop_output();
  void start_output();

  // Current settings of the terminal, read through the harness's own slave
  // descriptor: usable before the program starts and after it has ended.
  termios termios_now() const;
  // Settings the terminal had before the program started.
  const termios& termios_at_start() const { return termios_at_start_; }

  // Every byte the program wrote to the terminal so far.
  const std::string& raw_output() const { return raw_output_; }

  const TerminalScreen& screen() const { return screen_; }
  std::string row_text(int row) const { return screen_.row_text(row); }
  std::string screen_text() const { return screen_.screen_text(); }
  std::string transcript() const { return screen_.transcript(); }
  CursorPos cursor() const { return screen_.cursor(); }
  int cell_fg(int row, int col) const { return screen_.cell_fg(row, col); }
  std::vector<int> row_fg(int row) const { return screen_.row_fg(row); }
  std::string row_fg_map(int row) const { return screen_.row_fg_map(row); }
  std::string dump() const { return screen_.dump(); }

 private:
  void start(const PtyOptions& options);
  // Waits up to timeout for output and reads all there is; true if any came.
  bool read_output(milliseconds timeout);
  void note_exit(int status);
  void write_all(std::string_view bytes, milliseconds timeout);

  TerminalScreen screen_;
  int master_fd_ = -1;
  int slave_fd_ = -1;
  pid_t pid_ = -1;
  std::optional<int> status_;
  termios termios_at_start_{};
  std::string raw_output_;
};

}  // namespace e2e

#endif  // TESTS_PTY_SESSION_H
