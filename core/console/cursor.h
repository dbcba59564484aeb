// The cursor of a screen, followed as the console's text goes out: where
// each character lands, so that Backspace can take back a whole character
// also across a row that has wrapped, and, on a screen of known height (a
// console screen buffer), when the screen scrolls.
#ifndef CONSOLE_CURSOR_H
#define CONSOLE_CURSOR_H

#include <cstdint>

// A cell position. Rows count from where following began, so that a row
// names the same text however far the screen has scrolled since.
struct Placement {
  std::int64_t row = 0;
  int col = 0;  // 0-based
  int cells = 0;
};

// The cursor of a screen whose rows are width() cells wide. Like a
// terminal, it stays in the last row it filled until the next character
// comes (col() == width(): the row is full); a character that does not fit
// the rest of a row goes whole to the next one. A screen of known height
// scrolls as the cursor goes below its last row: top() is the row its first
// row shows.
class Cursor {
 public:
  // The width of a screen whose height is not followed; the cursor stays
  // where it is.
  void set_width(int width);
  // A screen of width x height cells (at least 1 x 1); a cursor outside it
  // is moved in.
  void set_size(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }  // 0: not followed

  // Places a character of `cells` columns; returns where it starts.
  Placement place(int cells);
  // Ends the line; returns the number of line feeds a terminal needs: two
  // after a row that text filled exactly, which leaves one empty row.
  int newline();
  // Puts the cursor at (row, col); on a screen of known height, inside it.
  void move_to(std::int64_t row, int col);

  bool row_full() const { return col_ >= width_; }
  std::int64_t row() const { return row_; }
  int col() const { return col_; }
  // Rows scrolled away since following began.
  std::int64_t top() const { return top_; }
  // The screen row now showing `row`; 0 once that row has left the screen.
  int screen_row(std::int64_t row) const;

 private:
  void scroll_to_cursor();

  int width_ = 80;
  int height_ = 0;
  std::int64_t row_ = 0;
  int col_ = 0;
  std::int64_t top_ = 0;
};

#endif  // CONSOLE_CURSOR_H
