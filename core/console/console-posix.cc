// The console on a POSIX terminal: output to stdout, with SGR colours when
// it is a terminal and as plain text when it is a file or a pipe; raw key
// input from the terminal (stdin, else /dev/tty; with no terminal at all,
// stdin as bytes). When stdout is not the terminal, what waits for the
// person at the keyboard (questions, instructions, the last wait) is shown
// on the keyboard's terminal as well.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <new>
#include <string>

#include "console/console.h"
#include "console/console_platform.h"
#include "console/key_decoder.h"
#include "console/terminal_output.h"
#include "system/file.h"
#include "system/thread_signals.h"

namespace {

// How long the rest of an escape sequence may take before a lone Esc is a
// key press of its own.
constexpr int kEscapeTimeoutMs = 30;
constexpr int kDefaultWidth = 80;
// Text for stdout that is no terminal goes out in blocks of this size.
constexpr std::size_t kOutputBlock = std::size_t{64} * 1024;
// A block goes out in pieces no larger than a pipe takes whole once it has
// room (PIPE_BUF on Linux), looking for an ending signal every so often
// while stdout cannot take more.
constexpr std::size_t kOutputPiece = 4096;
constexpr int kFlushWaitMs = 100;
// How long, at most, an end from outside waits for stdout to take the text
// that the console still holds.
constexpr int kLastBlockWaitMs = 2000;

// SGR foreground for each console palette index; 7, the normal colour, is the
// terminal's own default foreground.
constexpr const char* kForeground[16] = {"30", "34", "32", "36", "31", "35", "33", "39",
                                         "90", "94", "92", "96", "91", "95", "93", "97"};

struct Console {
  int out_fd = STDOUT_FILENO;
  bool out_tty = false;
  bool out_failed = false;  // some text could not be written to stdout
  // The terminal the person watches: stdout when it is one, else the
  // keyboard's terminal (or -1: no one there). The cursor is followed on it.
  int screen_fd = -1;
  int in_fd = STDIN_FILENO;
  bool in_tty = false;
  bool in_ended = false;  // no more keys can come
  int colour = kNormalColour;
  TerminalView view;  // the person's terminal (screen_fd)
  KeyDecoder decoder;
  std::string line;            // a printed line being made, its room kept from line to line
  std::string pending;         // text for stdout not written yet (a file or a pipe only)
  std::size_t flushed = 0;     // how much of it has been written
  bool show_question = false;  // the answer line is shown apart from stdout
};

Console g;

// What the signal handlers need, kept apart from the rest.
termios g_saved_termios;
volatile sig_atomic_t g_raw = 0;          // raw mode is in force on g.in_fd
volatile sig_atomic_t g_colour_set = 0;   // a colour other than the normal one is in force
volatile sig_atomic_t g_width_stale = 1;  // the terminal may have changed its size
// Text for stdout was given up at an end from outside (the terminal or the
// pipe took nothing for kLastBlockWaitMs): the end's status says so.
volatile sig_atomic_t g_transcript_short = 0;

void restore_terminal();

// Ends the program killed by `sig`, as the shell and the parent expect.
[[noreturn]] void end_by_signal(int sig) {
  move_at_end();  // a file's last whole state in place
  std::signal(sig, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  std::raise(sig);
  _exit(128 + sig);
}

// The reader of stdout has gone (`| head`): the program ends at once and
// quietly, killed by SIGPIPE as a POSIX program is there.
[[noreturn]] void end_by_closed_pipe() {
  restore_terminal();
  end_by_signal(SIGPIPE);
}

// How long an end from outside has waited so far for a terminal that takes
// no output (stopped with Ctrl-S, a frozen session).
int g_waited_at_end_ms = 0;

// Waits a moment for `fd`, whose writes never block, to take more: as long
// as it takes while the run goes on (the program pauses with its terminal),
// kLastBlockWaitMs at most once an ending signal waits for the write.
bool wait_for_room(int fd) {
  if (end_signal_waiting()) {
    if (g_waited_at_end_ms >= kLastBlockWaitMs) return false;
    g_waited_at_end_ms += kFlushWaitMs;
  }
  pollfd p{fd, POLLOUT, 0};
  ::poll(&p, 1, kFlushWaitMs);
  return true;
}

// A failed write to stdout is noted for the exit status (the files matter
// more than the transcript, so the run goes on); one to the person's
// terminal is let go. Writes to a terminal never block (their descriptors
// are our own, opened without waits): an end from outside is never held up
// by a terminal that takes no output.
void write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n >= 0) {
      data.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (errno == EINTR || (errno == EAGAIN && wait_for_room(fd))) continue;
    if (fd != g.out_fd) return;
    if (errno == EPIPE) end_by_closed_pipe();
    g.out_failed = true;
    if (errno == EAGAIN) g_transcript_short = 1;
    return;
  }
}

// Text for stdout: to a terminal at once; to a file or a pipe in blocks,
// the last one written before the program waits for a key and at its end.
// A block goes out a piece at a time from where the last piece ended
// (g.flushed), each piece once stdout can take it without a wait and with
// the ending signals held, so that their handler writes exactly the rest.
// The wait for stdout ends when such a signal came meanwhile: the handler
// then writes what stdout can take and ends the program.
void flush_output() {
  while (g.flushed < g.pending.size()) {
    if (end_signal_waiting()) return;
    pollfd p{g.out_fd, POLLOUT, 0};
    // Looked at again every so often: a signal may come just before the wait.
    if (::poll(&p, 1, kFlushWaitMs) <= 0) continue;
    ssize_t n;
    int error;
    {
      const EndSignalsHeld held;
      const std::size_t piece = std::min(kOutputPiece, g.pending.size() - g.flushed);
      n = ::write(g.out_fd, g.pending.data() + g.flushed, piece);
      error = errno;
      if (n > 0) g.flushed += static_cast<std::size_t>(n);
    }
    if (n >= 0 || error == EINTR || error == EAGAIN) continue;
    if (error == EPIPE) end_by_closed_pipe();
    g.out_failed = true;
    break;
  }
  const EndSignalsHeld held;
  g.pending.clear();
  g.flushed = 0;
}

void write_output(std::string_view text) {
  if (g.out_tty) return write_all(g.out_fd, text);
  {
    const EndSignalsHeld held;  // the handlers write the block out
    g.pending.append(text);
  }
  if (g.pending.size() >= kOutputBlock) flush_output();
}

// At the end of the program: the last block, then the terminal as it was.
void finish_output() {
  flush_output();
  restore_terminal();
}

constexpr char kColourReset[] = "\x1b[39m";

// The terminal's own modes back, changed as `when` says (tcsetattr).
// Async-signal-safe.
void restore_modes(int when) {
  if (!g_raw) return;
  tcsetattr(g.in_fd, when, &g_saved_termios);
  g_raw = 0;
}

// Async-signal-safe: only tcsetattr, poll and write. The colour reset waits
// for the terminal as an end from outside would, no longer.
void restore_terminal() {
  restore_modes(TCSADRAIN);
  if (g_colour_set) {
    for (int waited_ms = 0; waited_ms < kLastBlockWaitMs; waited_ms += kFlushWaitMs) {
      const ssize_t n = ::write(g.out_fd, kColourReset, sizeof kColourReset - 1);
      if (n >= 0 || (errno != EAGAIN && errno != EINTR)) break;
      pollfd p{g.out_fd, POLLOUT, 0};
      ::poll(&p, 1, kFlushWaitMs);
    }
    g_colour_set = 0;
  }
}

// The same in a signal handler, where nothing may wait: nobody may be
// reading the terminal's output (stalled, or its window frozen), so the
// modes change at once and the colour reset goes only if it can go at once.
// Async-signal-safe: only tcsetattr, fcntl and write.
void restore_terminal_at_once() {
  restore_modes(TCSANOW);
  if (g_colour_set) {
    const int flags = fcntl(g.out_fd, F_GETFL);
    if (flags >= 0 && fcntl(g.out_fd, F_SETFL, flags | O_NONBLOCK) == 0) {
      (void)!::write(g.out_fd, kColourReset, sizeof kColourReset - 1);
      fcntl(g.out_fd, F_SETFL, flags);  // the descriptor may be shared with the shell
    }
    g_colour_set = 0;
  }
}

// The terminal settings `t` in raw mode: keys come byte by byte, as typed.
// Output processing (OPOST) stays as it was: the console writes its own
// "\r\n", and text that others write to the terminal meanwhile (stderr, a
// job in the background) keeps its line ends. The character size (CS8 in
// c_cflag) stays as the terminal has it: UTF-8 needs all 8 bits, which
// terminals and pseudo-terminals give already; what would take the eighth
// bit away is ISTRIP, turned off here.
void make_raw(termios& t) {
  // No break signal, CR stays CR, no parity check or strip, no Ctrl-S/Ctrl-Q
  // flow control.
  t.c_iflag &= ~(BRKINT | ICRNL | INPCK | ISTRIP | IXON);
  // No echo, byte by byte, no Ctrl-V, and Ctrl-C comes as key code 3.
  t.c_lflag &= ~(ECHO | ICANON | IEXTEN | ISIG);
  // A read returns once a byte is there, with no timer.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

void enter_raw_mode() {
  termios raw = g_saved_termios;
  make_raw(raw);
  if (tcsetattr(g.in_fd, TCSADRAIN, &raw) == 0) g_raw = 1;
}

// What the console holds for stdout written out, with nothing but write:
// every report line whose point is in the files is in the transcript too.
// Async-signal-safe; called with the text not being changed (the ending
// signals wait while it is).
void write_pending_at_once() {
  if (g.flushed >= g.pending.size()) return;
  std::string_view rest(g.pending.data() + g.flushed, g.pending.size() - g.flushed);
  // A pipe whose reader has stopped may hold the end back a little, not for
  // ever: the writes do not wait, the waits between them are counted.
  const int flags = fcntl(g.out_fd, F_GETFL);
  if (flags < 0 || fcntl(g.out_fd, F_SETFL, flags | O_NONBLOCK) != 0) return;
  int waited_ms = 0;
  while (!rest.empty()) {
    const ssize_t n = ::write(g.out_fd, rest.data(), rest.size());
    if (n > 0) {
      rest.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || errno != EAGAIN || waited_ms >= kLastBlockWaitMs) break;
    pollfd p{g.out_fd, POLLOUT, 0};
    ::poll(&p, 1, kFlushWaitMs);
    waited_ms += kFlushWaitMs;
  }
  fcntl(g.out_fd, F_SETFL, flags);  // the descriptor may be shared with the shell
  if (!rest.empty()) g_transcript_short = 1;
}

// Ends the program by `sig`, or with status 1 when the transcript could not
// be written whole: the end says it is short rather than waiting on.
// Async-signal-safe.
[[noreturn]] void end_by_signal_unless_short(int sig) {
  if (!g_transcript_short) end_by_signal(sig);
  move_at_end();  // a file's last whole state in place
  _exit(1);
}

// SIGTERM, SIGHUP, SIGINT and SIGQUIT from outside: the files are whole at
// every moment, so what is left is the console's text written out, the
// terminal restored and the end at once. A point being added and its line
// being printed are done first (EndSignalsHeld).
void on_end_signal(int sig) {
  if (end_signal_deferred(sig)) return;  // raised again when that work is done
  const int saved = errno;
  move_at_end();  // a file's last whole state in place, then its report lines
  write_pending_at_once();
  restore_terminal_at_once();
  errno = saved;
  if (g_transcript_short) _exit(1);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// Handles `sig` with `handler`, the other ending signals waiting meanwhile;
// a signal ignored from the start (nohup) stays ignored.
void take_signal(int sig, void (*handler)(int)) {
  struct sigaction action {};
  if (sigaction(sig, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) return;
  action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  for (int other : {SIGTERM, SIGHUP, SIGQUIT, SIGINT}) sigaddset(&action.sa_mask, other);
  sigaction(sig, &action, nullptr);
}

void on_continue(int) {
  // The shell may have changed the terminal while we were stopped.
  if (g_raw) {
    termios raw;
    if (tcgetattr(g.in_fd, &raw) == 0) {
      make_raw(raw);
      tcsetattr(g.in_fd, TCSADRAIN, &raw);
    }
  }
  g_width_stale = 1;
}

void on_resize(int) { g_width_stale = 1; }

// A terminal opened again, for writes that never block; the description is
// our own, so the shell's descriptors keep their blocking mode.
int open_for_writing(const char* terminal_name) {
  return terminal_name ? ::open(terminal_name, O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK) : -1;
}

void on_out_of_memory() {
  // An internal failure: no message, exit code 255.
  restore_terminal();
  _exit(255);
}

// The terminal has gone (its window closed) and no SIGHUP has come, as when
// the shell that started us dies without passing it on: the same end as
// SIGHUP brings. Called between two steps of the main flow, where the files
// are whole; a question waiting for its answer takes none.
[[noreturn]] void end_by_hang_up() {
  write_pending_at_once();
  g.flushed = g.pending.size();
  restore_terminal_at_once();
  end_by_signal_unless_short(SIGHUP);
}

// The width the terminal reports, or 80 when it reports none.
int terminal_width() {
  winsize ws{};
  const bool known = ioctl(g.screen_fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0;
  return known ? ws.ws_col : kDefaultWidth;
}

void refresh_width() {
  if (!g_width_stale) return;
  g_width_stale = 0;
  g.view.cursor.set_width(terminal_width());
}

// `text` as it goes out; `on_screen`: to the screen, the cursor followed.
void append_output_text(std::string& out, std::string_view text, bool on_screen) {
  if (on_screen) refresh_width();
  append_text(out, text, on_screen ? &g.view.cursor : nullptr);
}

void append_output_newline(std::string& out, bool on_screen) {
  append_newline(out, on_screen ? &g.view : nullptr);
}

// Descriptors 0, 1 and 2 that the program was started without are opened
// on /dev/null, before anything else is opened: otherwise the first files
// and the socket that the program opens would take their numbers, and get
// its console text, or be read as its keyboard.
void fill_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null < 0) _exit(255);  // an internal failure: no message
    if (null != fd) {
      dup2(null, fd);
      ::close(null);
    }
  }
}

}  // namespace

void print_text(std::string_view text) {
  std::string out;
  append_output_text(out, text, g.out_tty);
  g.view.open_line.append(text);
  write_output(out);
}

void print_newline() {
  std::string out;
  append_output_newline(out, g.out_tty);
  g.view.open_line.clear();
  write_output(out);
}

void print_line(std::string_view text) {
  g.line.clear();
  append_output_text(g.line, text, g.out_tty);
  append_output_newline(g.line, g.out_tty);
  g.view.open_line.clear();
  write_output(g.line);
}

void set_text_colour(int colour) {
  if (colour < 0 || colour >= 16 || colour == g.colour) return;
  g.colour = colour;
  g_colour_set = g.out_tty && colour != kNormalColour;
  if (g.out_tty) write_all(g.out_fd, std::string("\x1b[") + kForeground[colour] + "m");
}

void beep() {
  if (g.screen_fd >= 0)
    write_all(g.screen_fd, "\a");
  else if (isatty(STDERR_FILENO))
    write_all(STDERR_FILENO, "\a");
}

KeyWake key_wake() { return g.in_ended ? KeyWake{} : KeyWake{true, g.in_fd}; }

namespace console_platform {

void start() {
  fill_standard_descriptors();
  g.out_tty = isatty(g.out_fd);
  if (g.out_tty) {
    const int own = open_for_writing(ttyname(STDOUT_FILENO));
    if (own >= 0) g.out_fd = own;
  }

  if (isatty(STDIN_FILENO)) {
    g.in_fd = STDIN_FILENO;
  } else {
    const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty >= 0) g.in_fd = tty;
  }
  g.in_tty = isatty(g.in_fd);
  if (g.out_tty)
    g.screen_fd = g.out_fd;
  else if (g.in_tty)
    g.screen_fd = g.in_fd == STDIN_FILENO ? open_for_writing(ttyname(STDIN_FILENO)) : g.in_fd;
  g.decoder = KeyDecoder(/*line_input=*/!g.in_tty);

  std::set_new_handler(on_out_of_memory);
  std::signal(SIGPIPE, SIG_IGN);  // a closed pipe is a failed write; see write_all
  // A file size limit makes a write fail (and the file is cut back to its
  // last whole state), not the program end.
  std::signal(SIGXFSZ, SIG_IGN);
  // Ended from outside, with or without a terminal: the transcript written
  // out, the terminal restored.
  for (int sig : {SIGTERM, SIGHUP, SIGINT, SIGQUIT}) take_signal(sig, on_end_signal);
  if (g.in_tty && tcgetattr(g.in_fd, &g_saved_termios) == 0) {
    std::signal(SIGCONT, on_continue);
    enter_raw_mode();
  }
  if (g.screen_fd >= 0) std::signal(SIGWINCH, on_resize);
  std::atexit(finish_output);
}

std::string arguments_text(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

void flush() { flush_output(); }

bool output_failed() { return g.out_failed; }

void show_to_person(std::string_view line) {
  if (g.out_tty || g.screen_fd < 0) return;
  std::string out;
  append_output_text(out, line, true);
  append_output_newline(out, true);
  write_all(g.screen_fd, out);
}

void begin_answer() {
  flush_output();
  g.show_question = !g.out_tty && g.screen_fd >= 0;
  if (!g.show_question) return;
  std::string out;
  g.view.open_line_row = g.view.cursor.row();
  append_output_text(out, g.view.open_line, true);
  write_all(g.screen_fd, out);
}

Placement show_typed(std::string_view character) {
  if (g.screen_fd < 0) return {};
  std::string out;
  const Placement where = append_typed(out, g.view.cursor, character);
  write_all(g.screen_fd, out);
  return where;
}

void erase_typed(const Placement& where) {
  if (g.screen_fd >= 0) write_all(g.screen_fd, erase_typed(g.view.cursor, where));
}

void redraw_if_resized(LineEditor& editor) {
  if (g.screen_fd < 0 || !g_width_stale) return;
  g_width_stale = 0;
  const std::string out = redraw_answer(g.view, terminal_width(), editor);
  if (!out.empty()) write_all(g.screen_fd, out);
}

void end_answer(std::string_view answer) {
  if (!g.out_tty) {
    if (g.show_question) {
      std::string out;
      append_output_newline(out, true);
      write_all(g.screen_fd, out);
    }
    print_text(answer);  // the transcript: the answer as it is taken
  }
  print_newline();
}

void abandon_answer() {
  if (g.screen_fd >= 0 && !g.out_tty) write_all(g.screen_fd, "\r\n");
  print_newline();
}

// Reads what the keyboard has sent, with `wait` waiting for the first byte.
void read_keys(std::deque<std::string>& keys, bool wait) {
  if (g.in_ended) return;
  pollfd p{g.in_fd, POLLIN, 0};
  const int ready = ::poll(&p, 1, wait ? -1 : 0);
  if (ready <= 0) return;  // nothing yet, or interrupted by a signal
  for (;;) {
    char buf[256];
    const ssize_t n = ::read(g.in_fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0 && errno == EAGAIN) return;
      if (g.in_tty) end_by_hang_up();  // a terminal gives no end of input: it has gone
      g.in_ended = true;               // end of input, or the keyboard is gone
      g.decoder.flush(keys);
      return;
    }
    g.decoder.feed(std::string_view(buf, static_cast<std::size_t>(n)), keys);
    if (!g.decoder.pending()) return;
    // An escape sequence has begun: wait briefly for its rest.
    pollfd more{g.in_fd, POLLIN, 0};
    if (::poll(&more, 1, kEscapeTimeoutMs) <= 0) {
      g.decoder.flush(keys);
      return;
    }
  }
}

bool keys_can_come() { return !g.in_ended; }

bool interrupt_is_a_key() { return g.in_tty; }

void finish() { finish_output(); }

}  // namespace console_platform
