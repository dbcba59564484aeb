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
#include <vector>

#include "console/console.h"
#include "console/key_decoder.h"
#include "console/line_editor.h"
#include "console/terminal_text.h"
#include "system/file.h"
#include "system/thread_signals.h"

namespace {

// How long the rest of an escape sequence may take before a lone Esc is a
// key press of its own.
constexpr int kEscapeTimeoutMs = 30;
constexpr int kDefaultWidth = 80;
// The status of a program that Ctrl+C interrupted, as the shell gives it.
constexpr int kInterruptedStatus = 128 + SIGINT;
// Ctrl+C as a key in raw mode.
constexpr const char* kInterruptKey = "\x03";
// What the person at the terminal is told at the last wait when stdout goes
// elsewhere.
constexpr const char* kLastWaitNotice = "Any key to close this window...";
// Text for stdout that is no terminal goes out in blocks of this size.
constexpr std::size_t kOutputBlock = 64 * 1024;
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
  bool in_ended = false;     // no more keys can come
  bool interrupted = false;  // Ctrl+C was pressed at the terminal
  int colour = kNormalColour;
  CursorTracker cursor;
  KeyDecoder decoder;
  std::deque<std::string> keys;
  std::string tail;
  std::string line;                // a printed line being made, its room kept from line to line
  std::string pending;             // text for stdout not written yet (a file or a pipe only)
  std::size_t flushed = 0;         // how much of it has been written
  std::string open_line;           // what has been printed since the last line end
  std::int64_t open_line_row = 0;  // the screen row where that began
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
void make_raw(termios& t) {
  t.c_iflag &= ~(BRKINT | ICRNL | INPCK | ISTRIP |
                 IXON);  // no break signal, CR stays CR, no parity strip, no Ctrl-S/Q flow control
  t.c_lflag &= ~(ECHO | ICANON | IEXTEN | ISIG);  // no echo, byte by byte, no Ctrl-V, Ctrl-C is key code 3
  t.c_cc[VMIN] = 1;                               // a read returns once a byte is there
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

void refresh_width() {
  if (!g_width_stale) return;
  g_width_stale = 0;
  winsize ws{};
  const bool known = ioctl(g.screen_fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0;
  g.cursor.set_width(known ? ws.ws_col : kDefaultWidth);
}

// Text as it goes out; `on_screen`: to the screen, the cursor followed.
void append_text(std::string& out, std::string_view text, bool on_screen) {
  if (on_screen) refresh_width();
  for (std::size_t pos = 0; pos < text.size();) {
    // Printable ASCII, the usual case, goes as it is.
    std::size_t run = pos;
    while (run < text.size() && text[run] >= 0x20 && text[run] < 0x7F) ++run;
    if (run > pos) {
      if (on_screen)
        for (std::size_t i = pos; i < run; ++i) g.cursor.place(1);
      out.append(text.substr(pos, run - pos));
      pos = run;
      continue;
    }
    const DisplayUnit unit = display_unit_at(text, pos);
    if (on_screen) g.cursor.place(unit.cells);
    out.append(unit.bytes);
    pos += unit.length;
  }
}

void append_newline(std::string& out, bool on_screen) {
  if (!on_screen) {
    out += '\n';
    return;
  }
  for (int feeds = g.cursor.newline(); feeds > 0; --feeds) out += "\r\n";
  g.open_line_row = g.cursor.row();
}

// When stdout is not the person's terminal: a line shown there as well.
void show_line_to_person(std::string_view text) {
  if (g.out_tty || g.screen_fd < 0) return;
  std::string out;
  append_text(out, text, true);
  append_newline(out, true);
  write_all(g.screen_fd, out);
}

// Ctrl+C typed at the terminal (key code 3 in raw mode) interrupts the
// program: noted as soon as it is read.
void note_interrupt() {
  if (!g.in_tty) return;
  for (const std::string& key : g.keys)
    if (key == kInterruptKey) g.interrupted = true;
}

// Reads what the keyboard has sent, waiting up to `timeout_ms` for the first
// byte (-1: as long as it takes).
void read_input(int timeout_ms) {
  if (g.in_ended) return;
  pollfd p{g.in_fd, POLLIN, 0};
  const int ready = ::poll(&p, 1, timeout_ms);
  if (ready <= 0) return;  // nothing yet, or interrupted by a signal
  for (;;) {
    char buf[256];
    const ssize_t n = ::read(g.in_fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0 && errno == EAGAIN) return;
      if (g.in_tty) end_by_hang_up();  // a terminal gives no end of input: it has gone
      g.in_ended = true;               // end of input, or the keyboard is gone
      g.decoder.flush(g.keys);
      return;
    }
    g.decoder.feed(std::string_view(buf, static_cast<std::size_t>(n)), g.keys);
    note_interrupt();
    if (!g.decoder.pending()) return;
    // An escape sequence has begun: wait briefly for its rest.
    pollfd more{g.in_fd, POLLIN, 0};
    if (::poll(&more, 1, kEscapeTimeoutMs) <= 0) {
      g.decoder.flush(g.keys);
      return;
    }
  }
}

void redraw_line(LineEditor& editor);

// The next key of a line being typed, waiting for it; "" when no more keys
// can come. When the terminal changes its width meanwhile, the line is drawn
// anew before the key is taken.
std::string next_key(LineEditor& editor) {
  for (;;) {
    if (g.screen_fd >= 0 && g_width_stale) redraw_line(editor);
    if (!g.keys.empty() || g.in_ended) break;
    read_input(-1);
  }
  if (g.keys.empty()) return {};
  std::string key = std::move(g.keys.front());
  g.keys.pop_front();
  return key;
}

void echo(LineEditor& editor, const std::string& key) {
  if (g.screen_fd < 0) {
    editor.add(key, {});
    return;
  }
  const DisplayUnit unit = display_unit_at(key, 0);
  editor.add(key, g.cursor.place(unit.cells));
  write_all(g.screen_fd, unit.bytes);
}

// Takes the last typed character off the screen: up to its row, to its
// column, blanks over it, and back to its column.
void erase(const Placement& p) {
  if (g.screen_fd < 0) return;
  std::string out;
  const std::int64_t up = g.cursor.row() - p.row;
  if (up > 0) out += "\x1b[" + std::to_string(up) + "A";
  const std::string column = "\x1b[" + std::to_string(p.col + 1) + "G";
  out += column;
  out.append(static_cast<std::size_t>(p.cells), ' ');
  out += column;
  g.cursor.move_to(p.row, p.col);
  write_all(g.screen_fd, out);
}

// After the terminal has changed its width, the question and the answer so
// far are drawn anew, the cursor followed at the new width: the terminal has
// cut or rewrapped the rows they stood in. The rows cleared for it are the
// ones that held the line for sure (a terminal that rewraps moves the start
// of a line that grows taller up, one that cuts leaves it where it was), so
// nothing printed before is overwritten.
void redraw_line(LineEditor& editor) {
  const int old_width = g.cursor.width();
  const std::int64_t old_rows = g.cursor.row() - g.open_line_row + 1;
  refresh_width();
  if (g.cursor.width() == old_width) return;

  CursorTracker probe;  // where the line will end at the new width
  probe.set_width(g.cursor.width());
  const std::string line = g.open_line + editor.text();
  for (std::size_t pos = 0; pos < line.size();) {
    const DisplayUnit unit = display_unit_at(line, pos);
    probe.place(unit.cells);
    pos += unit.length;
  }
  const std::int64_t up = std::min(old_rows, probe.row() + 1) - 1;

  std::string out;
  if (up > 0) out += "\x1b[" + std::to_string(up) + "A";
  out += "\r\x1b[J";
  g.open_line_row = g.cursor.row() - up;
  g.cursor.move_to(g.open_line_row, 0);
  append_text(out, g.open_line, true);
  editor.place_again([&out](std::string_view character) {
    const DisplayUnit unit = display_unit_at(character, 0);
    out.append(unit.bytes);
    return g.cursor.place(unit.cells);
  });
  write_all(g.screen_fd, out);
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

void console_init(int argc, char** argv) {
  fill_standard_descriptors();
  for (int i = 1; i < argc; ++i) {
    if (i > 1) g.tail += ' ';
    g.tail += argv[i];
  }
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

void print_text(std::string_view text) {
  std::string out;
  append_text(out, text, g.out_tty);
  g.open_line.append(text);
  write_output(out);
}

void print_newline() {
  std::string out;
  append_newline(out, g.out_tty);
  g.open_line.clear();
  write_output(out);
}

void print_line(std::string_view text) {
  g.line.clear();
  append_text(g.line, text, g.out_tty);
  append_newline(g.line, g.out_tty);
  g.open_line.clear();
  write_output(g.line);
}

void print_instruction(std::string_view text) {
  print_line(text);
  show_line_to_person(text);
}

void set_text_colour(int colour) {
  if (colour < 0 || colour >= 16 || colour == g.colour) return;
  g.colour = colour;
  g_colour_set = g.out_tty && colour != kNormalColour;
  if (g.out_tty) write_all(g.out_fd, std::string("\x1b[") + kForeground[colour] + "m");
}

std::string read_line() {
  flush_output();
  LineEditor editor;
  const bool show_question = !g.out_tty && g.screen_fd >= 0;
  if (show_question) {
    std::string out;
    g.open_line_row = g.cursor.row();
    append_text(out, g.open_line, true);
    write_all(g.screen_fd, out);
  }
  for (;;) {
    const std::string key = next_key(editor);
    if (key.empty() || key[0] == kEnterKey) break;  // Enter, or no more keys
    if (g.interrupted) {                            // Ctrl+C: the program ends here, nothing taken
      if (g.screen_fd >= 0 && !g.out_tty) write_all(g.screen_fd, "\r\n");
      print_newline();
      end_program(0);
    }
    if (key[0] == kBackspaceKey) {
      if (const auto p = editor.remove_last()) erase(*p);
    } else if (static_cast<unsigned char>(key[0]) >= 0x20 && editor.has_room()) {
      echo(editor, key);
    }
    // Other control keys and keys without a character change nothing.
  }
  if (!g.out_tty) {
    if (show_question) {
      std::string out;
      append_newline(out, true);
      write_all(g.screen_fd, out);
    }
    print_text(editor.text());  // the transcript: the answer as it is taken
  }
  print_newline();
  return editor.text();
}

std::string poll_key() {
  flush_output();
  if (g.keys.empty()) read_input(0);
  if (g.keys.empty()) return {};
  std::string key = std::move(g.keys.front());
  g.keys.pop_front();
  return key;
}

bool key_waiting() {
  flush_output();
  if (g.keys.empty()) read_input(0);
  return !g.keys.empty();
}

bool is_stop_key(std::string_view key) { return key == "\x1b" || (key == kInterruptKey && g.in_tty); }

bool stop_key_pressed() {
  read_input(0);
  for (auto key = g.keys.begin(); key != g.keys.end(); ++key) {
    if (!is_stop_key(*key)) continue;
    g.keys.erase(g.keys.begin(), key + 1);
    return true;
  }
  return false;  // other keys typed ahead stay for the closing wait
}

KeyWake key_wake() { return g.in_ended ? KeyWake{} : KeyWake{true, g.in_fd}; }

void wait_for_key() {
  flush_output();
  if (g.interrupted) return;
  if (!g.in_ended) show_line_to_person(kLastWaitNotice);
  while (g.keys.empty() && !g.in_ended) read_input(-1);
}

std::string command_tail() { return g.tail; }

void beep() {
  if (g.screen_fd >= 0)
    write_all(g.screen_fd, "\a");
  else if (isatty(STDERR_FILENO))
    write_all(STDERR_FILENO, "\a");
}

int exit_status(int code) {
  if (g.interrupted) return kInterruptedStatus;
  return code == 0 && g.out_failed ? 1 : code;
}

void end_program(int code) {
  finish_output();
  std::exit(exit_status(code));
}
