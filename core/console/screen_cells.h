// Text in a console screen buffer, one cell per character: where each
// stretch of a text lands and when the buffer has to scroll. The console
// calls themselves are left to the caller.
#ifndef CONSOLE_SCREEN_CELLS_H
#define CONSOLE_SCREEN_CELLS_H

#include <cstddef>
#include <cstdint>
#include <vector>

// A stretch of a text written into one row: the buffer first scrolls up by
// `scroll_before` rows, then characters [first, first + count) of the text go
// to the cells from (col, row) on. Rows and columns count from 0.
struct CellWrite {
  int scroll_before = 0;
  int row = 0;
  int col = 0;
  std::size_t first = 0;
  std::size_t count = 0;
};

// The cursor of a screen buffer of width x height cells. A character that
// fills the last cell of a row moves the cursor to the start of the next
// row; in the last row of the buffer it leaves a scroll pending instead (the
// cursor shown at the start of the last row), and that scroll happens just
// before the next character or line end.
class ScreenCursor {
 public:
  // The buffer's size (at least 1 x 1); a cursor outside it is moved in.
  void set_size(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }

  // Puts the cursor at (col, row), inside the buffer; no scroll is pending.
  void move_to(int col, int row);
  int col() const { return col_; }
  int row() const { return row_; }
  bool scroll_pending() const { return pending_; }

  // Places `count` characters at the cursor, one cell each; returns the
  // writes to make, one per row touched, in order. The cursor ends after the
  // last character.
  std::vector<CellWrite> place(std::size_t count);

  // Ends the line: the cursor goes to the start of the next row. Returns the
  // rows to scroll up first: 1 in the last row, 2 when a scroll was pending
  // (so that a row filled exactly leaves one empty row), else 0.
  int newline();

  // Rows scrolled away since tracking began. A screen row plus this number
  // names the same text however far the buffer scrolls later.
  std::int64_t scrolled() const { return scrolled_; }
  // The screen row now showing the text of `tracked` (a screen row plus
  // scrolled() at the time); row 0 once that text has left the buffer.
  int screen_row(std::int64_t tracked) const;

 private:
  int width_ = 80;
  int height_ = 25;
  int col_ = 0;
  int row_ = 0;
  bool pending_ = false;
  std::int64_t scrolled_ = 0;
};

// The character a cell shows for `c`: control characters (0-31, 127) as the
// control pictures U+2400-U+241F and U+2421, C1 controls as U+FFFD, every
// other character as it is.
char16_t visible_character(char16_t c);

#endif  // CONSOLE_SCREEN_CELLS_H
