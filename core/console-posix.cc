// The console on a POSIX terminal: output to the terminal on stdout (or on
// stderr when stdout is not one) with SGR colours, raw key input from the
// terminal (stdin, else /dev/tty; with no terminal at all, stdin as bytes).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <new>
#include <string>
#include <vector>

#include "closing_texts.h"
#include "console.h"
#include "key_decoder.h"
#include "line_editor.h"
#include "terminal_text.h"

namespace {

// How long the rest of an escape sequence may take before a lone Esc is a
// key press of its own.
constexpr int kEscapeTimeoutMs = 30;
constexpr int kDefaultWidth = 80;

// SGR foreground for each console palette index; 7, the normal colour, is the
// terminal's own default foreground.
constexpr const char* kForeground[16] = {"30", "34", "32", "36", "31", "35", "33", "39",
                                         "90", "94", "92", "96", "91", "95", "93", "97"};

struct Console {
  int out_fd = STDOUT_FILENO;
  bool out_tty = false;
  int in_fd = STDIN_FILENO;
  bool in_tty = false;
  bool in_ended = false;  // no more keys can come
  int colour = kNormalColour;
  CursorTracker cursor;
  KeyDecoder decoder;
  std::deque<std::string> keys;
  std::string tail;
  std::string line;  // a printed line being made, its room kept from line to line
};

Console g;

// What the signal handlers need, kept apart from the rest.
termios g_saved_termios;
volatile sig_atomic_t g_raw = 0;           // raw mode is in force on g.in_fd
volatile sig_atomic_t g_colour_set = 0;    // a colour other than the normal one is in force
volatile sig_atomic_t g_width_stale = 1;   // the terminal may have changed its size

void write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      set_error(errno);
      return;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
}

// Async-signal-safe: only tcsetattr and write.
void restore_terminal() {
  if (g_raw) {
    tcsetattr(g.in_fd, TCSADRAIN, &g_saved_termios);
    g_raw = 0;
  }
  if (g_colour_set) {
    static const char reset[] = "\x1b[39m";
    (void)!::write(g.out_fd, reset, sizeof reset - 1);
    g_colour_set = 0;
  }
}

// The same in a signal handler, where nothing may wait: nobody may be
// reading the terminal's output (stalled, or its window frozen), so the
// modes change at once and the colour reset goes only if it can go at once.
// Async-signal-safe: only tcsetattr, fcntl and write.
void restore_terminal_at_once() {
  if (g_raw) {
    tcsetattr(g.in_fd, TCSANOW, &g_saved_termios);
    g_raw = 0;
  }
  if (g_colour_set) {
    static const char reset[] = "\x1b[39m";
    const int flags = fcntl(g.out_fd, F_GETFL);
    if (flags >= 0 && fcntl(g.out_fd, F_SETFL, flags | O_NONBLOCK) == 0) {
      (void)!::write(g.out_fd, reset, sizeof reset - 1);
      fcntl(g.out_fd, F_SETFL, flags);  // the descriptor may be shared with the shell
    }
    g_colour_set = 0;
  }
}

void enter_raw_mode() {
  termios raw = g_saved_termios;
  raw.c_iflag &= ~(BRKINT | ICRNL | INPCK | ISTRIP | IXON);  // no break signal, CR stays CR, no parity strip, no Ctrl-S/Q flow control
  raw.c_lflag &= ~(ECHO | ICANON | IEXTEN | ISIG);           // no echo, byte by byte, no Ctrl-V, Ctrl-C is key code 3
  raw.c_cc[VMIN] = 1;                                       // a read returns once a byte is there
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(g.in_fd, TCSADRAIN, &raw) == 0) g_raw = 1;
}

// SIGQUIT and SIGINT: the terminal restored, the end at once.
void on_fatal_signal(int sig) {
  restore_terminal_at_once();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// SIGTERM and SIGHUP: the output files completed, the terminal restored,
// the end at once.
void on_end_signal(int sig) {
  write_closing_texts();
  restore_terminal_at_once();
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
      raw.c_iflag &= ~(BRKINT | ICRNL | INPCK | ISTRIP | IXON);
      raw.c_lflag &= ~(ECHO | ICANON | IEXTEN | ISIG);
      raw.c_cc[VMIN] = 1;
      raw.c_cc[VTIME] = 0;
      tcsetattr(g.in_fd, TCSADRAIN, &raw);
    }
  }
  g_width_stale = 1;
}

void on_resize(int) { g_width_stale = 1; }

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
  write_closing_texts();
  restore_terminal_at_once();
  std::signal(SIGHUP, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGHUP);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  std::raise(SIGHUP);
  _exit(128 + SIGHUP);
}

void refresh_width() {
  if (!g_width_stale) return;
  g_width_stale = 0;
  winsize ws{};
  const bool known = ioctl(g.out_fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0;
  g.cursor.set_width(known ? ws.ws_col : kDefaultWidth);
}

void append_text(std::string& out, std::string_view text) {
  if (g.out_tty) refresh_width();
  for (std::size_t pos = 0; pos < text.size();) {
    // Printable ASCII, the usual case, goes as it is.
    std::size_t run = pos;
    while (run < text.size() && text[run] >= 0x20 && text[run] < 0x7F) ++run;
    if (run > pos) {
      if (g.out_tty)
        for (std::size_t i = pos; i < run; ++i) g.cursor.place(1);
      out.append(text.substr(pos, run - pos));
      pos = run;
      continue;
    }
    const DisplayUnit unit = display_unit_at(text, pos);
    if (g.out_tty) g.cursor.place(unit.cells);
    out.append(unit.bytes);
    pos += unit.length;
  }
}

void append_newline(std::string& out) {
  if (!g.out_tty) {
    out += '\n';
    return;
  }
  for (int feeds = g.cursor.newline(); feeds > 0; --feeds) out += "\r\n";
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
      g.in_ended = true;  // end of input, or the keyboard is gone
      g.decoder.flush(g.keys);
      return;
    }
    g.decoder.feed(std::string_view(buf, static_cast<std::size_t>(n)), g.keys);
    if (!g.decoder.pending()) return;
    // An escape sequence has begun: wait briefly for its rest.
    pollfd more{g.in_fd, POLLIN, 0};
    if (::poll(&more, 1, kEscapeTimeoutMs) <= 0) {
      g.decoder.flush(g.keys);
      return;
    }
  }
}

// The next key, waiting for it; "" when no more keys can come.
std::string next_key() {
  while (g.keys.empty() && !g.in_ended) read_input(-1);
  if (g.keys.empty()) return {};
  std::string key = std::move(g.keys.front());
  g.keys.pop_front();
  return key;
}

void echo(LineEditor& editor, const std::string& key) {
  const DisplayUnit unit = display_unit_at(key, 0);
  if (g.out_tty) refresh_width();
  const Placement where = g.out_tty ? g.cursor.place(unit.cells) : Placement{};
  editor.add(key, where);
  write_all(g.out_fd, unit.bytes);
}

// Takes the last typed character off the screen: up to its row, to its
// column, blanks over it, and back to its column.
void erase(const Placement& p) {
  if (!g.out_tty) return;
  std::string out;
  const std::int64_t up = g.cursor.row() - p.row;
  if (up > 0) out += "\x1b[" + std::to_string(up) + "A";
  const std::string column = "\x1b[" + std::to_string(p.col + 1) + "G";
  out += column;
  out.append(static_cast<std::size_t>(p.cells), ' ');
  out += column;
  g.cursor.move_to(p.row, p.col);
  write_all(g.out_fd, out);
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
  g.out_fd = isatty(STDOUT_FILENO) ? STDOUT_FILENO : STDERR_FILENO;
  g.out_tty = isatty(g.out_fd);

  if (isatty(STDIN_FILENO)) {
    g.in_fd = STDIN_FILENO;
  } else {
    const int tty = ::open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (tty >= 0) g.in_fd = tty;
  }
  g.in_tty = isatty(g.in_fd);
  g.decoder = KeyDecoder(/*line_input=*/!g.in_tty);

  std::set_new_handler(on_out_of_memory);
  std::signal(SIGPIPE, SIG_IGN);  // a closed output is a failed write, not an end
  // Ended from outside, with or without a terminal, the files are completed.
  for (int sig : {SIGTERM, SIGHUP}) take_signal(sig, on_end_signal);
  if (g.in_tty && tcgetattr(g.in_fd, &g_saved_termios) == 0) {
    for (int sig : {SIGQUIT, SIGINT}) take_signal(sig, on_fatal_signal);
    std::signal(SIGCONT, on_continue);
    enter_raw_mode();
  }
  if (g.out_tty) std::signal(SIGWINCH, on_resize);
  std::atexit(restore_terminal);
}

void print_text(std::string_view text) {
  std::string out;
  append_text(out, text);
  write_all(g.out_fd, out);
}

void print_newline() {
  std::string out;
  append_newline(out);
  write_all(g.out_fd, out);
}

void print_line(std::string_view text) {
  g.line.clear();
  append_text(g.line, text);
  append_newline(g.line);
  write_all(g.out_fd, g.line);
}

void set_text_colour(int colour) {
  if (colour < 0 || colour >= 16 || colour == g.colour) return;
  g.colour = colour;
  g_colour_set = colour != kNormalColour;
  if (g.out_tty) write_all(g.out_fd, std::string("\x1b[") + kForeground[colour] + "m");
}

std::string read_line() {
  LineEditor editor;
  for (;;) {
    const std::string key = next_key();
    if (key.empty() || key[0] == kEnterKey) break;  // Enter, or no more keys
    if (key[0] == kBackspaceKey) {
      if (const auto p = editor.remove_last()) erase(*p);
    } else if (static_cast<unsigned char>(key[0]) >= 0x20 && editor.has_room()) {
      echo(editor, key);
    }
    // Other control keys and keys without a character change nothing.
  }
  print_newline();
  return editor.text();
}

std::string poll_key() {
  if (g.keys.empty()) read_input(0);
  if (g.keys.empty()) return {};
  std::string key = std::move(g.keys.front());
  g.keys.pop_front();
  return key;
}

bool key_waiting() {
  if (g.keys.empty()) read_input(0);
  return !g.keys.empty();
}

int key_input_descriptor() { return g.in_ended ? -1 : g.in_fd; }

void wait_for_key() {
  while (g.keys.empty() && !g.in_ended) read_input(-1);
}

std::string command_tail() { return g.tail; }

void beep() {
  if (g.out_tty)
    write_all(g.out_fd, "\a");
  else if (isatty(STDERR_FILENO))
    write_all(STDERR_FILENO, "\a");
}

void end_program(int code) {
  restore_terminal();
  std::exit(code);
}
