// What a user sees in the terminal window: a libvterm screen fed with the
// bytes a program wrote, read back as rows of text, colours and the cursor.
#ifndef TESTS_TERMINAL_SCREEN_H
#define TESTS_TERMINAL_SCREEN_H

#include <string>
#include <string_view>
#include <vector>

struct VTerm;
struct VTermScreen;

namespace e2e {

struct CursorPos {
  int row = 0;
  int col = 0;
  bool operator==(const CursorPos&) const = default;
};

// Colour index of the 16-colour console palette (bit 1 blue, bit 2 green,
// bit 4 red, bit 8 bright) for an ANSI SGR colour index 0..15, -1 otherwise.
int ansi_to_console(int ansi_index);

class TerminalScreen {
 public:
  TerminalScreen(int rows, int cols);
  ~TerminalScreen();
  TerminalScreen(const TerminalScreen&) = delete;
  TerminalScreen& operator=(const TerminalScreen&) = delete;

  // Interprets bytes as a terminal would (UTF-8).
  void feed(std::string_view bytes);
  // Bytes the terminal answers with (cursor position reports and the like),
  // cleared by the call; a session writes them back to the program.
  std::string take_replies();
  void resize(int rows, int cols);

  int rows() const { return rows_; }
  int cols() const { return cols_; }

  // UTF-8 text of a row, trailing blanks trimmed.
  std::string row_text(int row) const;
  // All rows joined with '\n', trailing empty rows trimmed.
  std::string screen_text() const;
  // Lines scrolled off the top of the main screen, oldest first, trimmed.
  const std::vector<std::string>& scrollback() const { return scrollback_; }
  // Scrollback followed by the screen rows, trailing empty rows trimmed.
  std::string transcript() const;
  // First row containing needle, or -1.
  int find_row(std::string_view needle) const;
  bool contains(std::string_view needle) const { return find_row(needle) >= 0; }

  CursorPos cursor() const;
  bool cursor_visible() const { return cursor_visible_; }
  bool alt_screen() const { return alt_screen_; }
  int bell_count() const { return bell_count_; }

  // The character in a cell ("" for the right half of a wide character).
  std::string cell_text(int row, int col) const;
  // Foreground as a console palette index: the default foreground is 7,
  // colours outside the 16-colour palette are -1.
  int cell_fg(int row, int col) const;
  // Background as a console palette index: the default background is 0.
  int cell_bg(int row, int col) const;
  // Foreground the next character written would get, as cell_fg: shows
  // whether a program left the terminal in a colour when it ended.
  int pen_fg() const;
  bool cell_bold(int row, int col) const;
  bool cell_reverse(int row, int col) const;
  // cell_fg of every cell of a row.
  std::vector<int> row_fg(int row) const;
  // One hex digit per cell of a row giving its cell_fg ('?' for -1), so a
  // test can compare a stretch of colours at once: "3333777".
  std::string row_fg_map(int row) const;

  // Screen rows numbered, and the cursor: for failure messages.
  std::string dump() const;

 private:
  friend struct ScreenCallbacks;
  void check_cell(int row, int col) const;

  VTerm* vt_ = nullptr;
  VTermScreen* screen_ = nullptr;
  int rows_;
  int cols_;
  std::string replies_;
  std::vector<std::string> scrollback_;
  bool cursor_visible_ = true;
  bool alt_screen_ = false;
  int bell_count_ = 0;
};

}  // namespace e2e

#endif  // TESTS_TERMINAL_SCREEN_H
