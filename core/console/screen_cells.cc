#include "console/screen_cells.h"

std::vector<CellWrite> place_cells(Cursor& cursor, std::size_t count) {
  std::vector<CellWrite> writes;
  for (std::size_t i = 0; i < count; ++i) {
    const std::int64_t top = cursor.top();
    const Placement p = cursor.place(1);
    if (writes.empty() || p.row != writes.back().line)
      writes.push_back({static_cast<int>(cursor.top() - top), cursor.screen_row(p.row), p.col, i, 0, p.row});
    ++writes.back().count;
  }
  return writes;
}

int end_line(Cursor& cursor) {
  const std::int64_t top = cursor.top();
  cursor.newline();
  return static_cast<int>(cursor.top() - top);
}

Cell cursor_cell(const Cursor& cursor) {
  const int row = cursor.screen_row(cursor.row());
  if (!cursor.row_full()) return {cursor.col(), row};
  return {0, row + 1 < cursor.height() ? row + 1 : row};
}

char16_t visible_character(char16_t c) {
  if (c < 0x20) return static_cast<char16_t>(0x2400 + c);
  if (c == 0x7F) return u'\u2421';
  if (c >= 0x80 && c < 0xA0) return u'\uFFFD';
  return c;
}
