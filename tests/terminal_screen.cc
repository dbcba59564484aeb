#include "terminal_screen.h"

#include <vterm.h>

#include <cstdint>
#include <stdexcept>

namespace e2e {

namespace {

// libvterm marks the right half of a wide character this way.
constexpr uint32_t kWideContinuation = static_cast<uint32_t>(-1);

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Text of one cell; an empty cell reads as a blank.
void append_cell_chars(std::string& out, const uint32_t* chars) {
  if (chars[0] == 0) {
    out += ' ';
    return;
  }
  if (chars[0] == kWideContinuation) return;
  for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && chars[i] != 0; ++i) {
    append_utf8(out, chars[i]);
  }
}

void trim_right(std::string& s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
}

std::string join_trimmed(const std::vector<std::string>& lines) {
  size_t n = lines.size();
  while (n > 0 && lines[n - 1].empty()) --n;
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    if (i > 0) out += '\n';
    out += lines[i];
  }
  return out;
}

int console_index(const VTermColor& colour, bool default_flag, int default_index) {
  if (default_flag) return default_index;
  if (!VTERM_COLOR_IS_INDEXED(&colour)) return -1;
  return ansi_to_console(colour.indexed.idx);
}

}  // namespace

int ansi_to_console(int ansi_index) {
  if (ansi_index < 0 || ansi_index > 15) return -1;
  int console = ansi_index & 8;
  if (ansi_index & 1) console |= 4;  // red
  if (ansi_index & 2) console |= 2;  // green
  if (ansi_index & 4) console |= 1;  // blue
  return console;
}

struct ScreenCallbacks {
  static TerminalScreen& self(void* user) { return *static_cast<TerminalScreen*>(user); }

  static int settermprop(VTermProp prop, VTermValue* val, void* user) {
    if (prop == VTERM_PROP_CURSORVISIBLE) self(user).cursor_visible_ = val->boolean;
    if (prop == VTERM_PROP_ALTSCREEN) self(user).alt_screen_ = val->boolean;
    return 1;
  }

  static int bell(void* user) {
    ++self(user).bell_count_;
    return 1;
  }

  static int sb_pushline(int cols, const VTermScreenCell* cells, void* user) {
    std::string line;
    for (int c = 0; c < cols; ++c) append_cell_chars(line, cells[c].chars);
    trim_right(line);
    self(user).scrollback_.push_back(std::move(line));
    return 1;
  }

  static void output(const char* bytes, size_t len, void* user) { self(user).replies_.append(bytes, len); }
};

namespace {

const VTermScreenCallbacks kCallbacks = {
    nullptr,                       // damage
    nullptr,                       // moverect
    nullptr,                       // movecursor
    ScreenCallbacks::settermprop,  // settermprop
    ScreenCallbacks::bell,         // bell
    nullptr,                       // resize
    ScreenCallbacks::sb_pushline,  // sb_pushline
    nullptr,                       // sb_popline
};

}  // namespace

TerminalScreen::TerminalScreen(int rows, int cols) : rows_(rows), cols_(cols) {
  if (rows <= 0 || cols <= 0) throw std::invalid_argument("terminal size must be positive");
  vt_ = vterm_new(rows, cols);
  if (vt_ == nullptr) throw std::runtime_error("vterm_new failed");
  vterm_set_utf8(vt_, 1);
  vterm_output_set_callback(vt_, ScreenCallbacks::output, this);
  screen_ = vterm_obtain_screen(vt_);
  vterm_screen_set_callbacks(screen_, &kCallbacks, this);
  vterm_screen_enable_altscreen(screen_, 1);
  vterm_screen_reset(screen_, 1);
}

TerminalScreen::~TerminalScreen() { vterm_free(vt_); }

void TerminalScreen::feed(std::string_view bytes) {
  if (bytes.empty()) return;
  vterm_input_write(vt_, bytes.data(), bytes.size());
}

std::string TerminalScreen::take_replies() {
  std::string out;
  out.swap(replies_);
  return out;
}

void TerminalScreen::resize(int rows, int cols) {
  if (rows <= 0 || cols <= 0) throw std::invalid_argument("terminal size must be positive");
  vterm_set_size(vt_, rows, cols);
  rows_ = rows;
  cols_ = cols;
}

void TerminalScreen::check_cell(int row, int col) const {
  if (row < 0 || row >= rows_ || col < 0 || col >= cols_) {
    throw std::out_of_range("cell " + std::to_string(row) + "," + std::to_string(col) + " is off the screen");
  }
}

std::string TerminalScreen::row_text(int row) const {
  check_cell(row, 0);
  std::string line;
  for (int c = 0; c < cols_; ++c) {
    VTermScreenCell cell;
    vterm_screen_get_cell(screen_, VTermPos{row, c}, &cell);
    append_cell_chars(line, cell.chars);
  }
  trim_right(line);
  return line;
}

std::string TerminalScreen::screen_text() const {
  std::vector<std::string> lines;
  for (int r = 0; r < rows_; ++r) lines.push_back(row_text(r));
  return join_trimmed(lines);
}

std::string TerminalScreen::transcript() const {
  std::vector<std::string> lines = scrollback_;
  for (int r = 0; r < rows_; ++r) lines.push_back(row_text(r));
  return join_trimmed(lines);
}

int TerminalScreen::find_row(std::string_view needle) const {
  for (int r = 0; r < rows_; ++r) {
    if (row_text(r).find(needle) != std::string::npos) return r;
  }
  return -1;
}

CursorPos TerminalScreen::cursor() const {
  VTermPos pos;
  vterm_state_get_cursorpos(vterm_obtain_state(vt_), &pos);
  return CursorPos{pos.row, pos.col};
}

std::string TerminalScreen::cell_text(int row, int col) const {
  check_cell(row, col);
  VTermScreenCell cell;
  vterm_screen_get_cell(screen_, VTermPos{row, col}, &cell);
  std::string out;
  append_cell_chars(out, cell.chars);
  return out;
}

int TerminalScreen::cell_fg(int row, int col) const {
  check_cell(row, col);
  VTermScreenCell cell;
  vterm_screen_get_cell(screen_, VTermPos{row, col}, &cell);
  return console_index(cell.fg, VTERM_COLOR_IS_DEFAULT_FG(&cell.fg), 7);
}

int TerminalScreen::cell_bg(int row, int col) const {
  check_cell(row, col);
  VTermScreenCell cell;
  vterm_screen_get_cell(screen_, VTermPos{row, col}, &cell);
  return console_index(cell.bg, VTERM_COLOR_IS_DEFAULT_BG(&cell.bg), 0);
}

int TerminalScreen::pen_fg() const {
  VTermValue value;
  vterm_state_get_penattr(vterm_obtain_state(vt_), VTERM_ATTR_FOREGROUND, &value);
  return console_index(value.color, VTERM_COLOR_IS_DEFAULT_FG(&value.color), 7);
}

bool TerminalScreen::cell_bold(int row, int col) const {
  check_cell(row, col);
  VTermScreenCell cell;
  vterm_screen_get_cell(screen_, VTermPos{row, col}, &cell);
  return cell.attrs.bold;
}

bool TerminalScreen::cell_reverse(int row, int col) const {
  check_cell(row, col);
  VTermScreenCell cell;
  vterm_screen_get_cell(screen_, VTermPos{row, col}, &cell);
  return cell.attrs.reverse;
}

std::vector<int> TerminalScreen::row_fg(int row) const {
  std::vector<int> out;
  for (int c = 0; c < cols_; ++c) out.push_back(cell_fg(row, c));
  return out;
}

std::string TerminalScreen::row_fg_map(int row) const {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (int fg : row_fg(row)) out += fg < 0 ? '?' : kHex[fg];
  return out;
}

std::string TerminalScreen::dump() const {
  std::string out;
  for (int r = 0; r < rows_; ++r) {
    std::string num = std::to_string(r);
    out += std::string(num.size() < 2 ? 2 - num.size() : 0, ' ') + num + "|" + row_text(r) + "\n";
  }
  CursorPos c = cursor();
  out += "cursor " + std::to_string(c.row) + "," + std::to_string(c.col) + "\n";
  return out;
}

}  // namespace e2e
