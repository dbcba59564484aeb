// Text in a console screen buffer, one cell per character: where each
// stretch of a text lands and when the buffer has to scroll, as the Cursor
// of a screen of known height plans it. The console calls themselves are
// left to the caller.
#ifndef CONSOLE_SCREEN_CELLS_H
#define CONSOLE_SCREEN_CELLS_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "console/cursor.h"

// A stretch of a text written into one row: the buffer first scrolls up by
// `scroll_before` rows, then characters [first, first + count) of the text go
// to the cells from (col, row) on. Rows and columns count from 0; `line` is
// the row as the cursor names it (Placement::row).
struct CellWrite {
  int scroll_before = 0;
  int row = 0;
  int col = 0;
  std::size_t first = 0;
  std::size_t count = 0;
  std::int64_t line = 0;
};

// Places `count` characters at the cursor, one cell each; returns the writes
// to make, one per row touched, in order. A row filled in the last row of the
// buffer scrolls only when the next character or line end comes.
std::vector<CellWrite> place_cells(Cursor& cursor, std::size_t count);

// Ends the line; returns the rows to scroll up first: 1 in the last row, 2
// when that row was full (so that a row filled exactly leaves one empty
// row), else 0.
int end_line(Cursor& cursor);

// The cell where the console shows the cursor: after a full row, the start
// of the next one, or of the last row while its scroll waits.
struct Cell {
  int col = 0;
  int row = 0;
};
Cell cursor_cell(const Cursor& cursor);

// The character a cell shows for `c`: control characters (0-31, 127) as the
// control pictures U+2400-U+241F and U+2421, C1 controls as U+FFFD, every
// other character as it is.
char16_t visible_character(char16_t c);

#endif  // CONSOLE_SCREEN_CELLS_H
