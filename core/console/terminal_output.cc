#include "console/terminal_output.h"

#include <algorithm>

#include "console/terminal_text.h"

namespace {

std::string cursor_up(std::int64_t rows) { return "\x1b[" + std::to_string(rows) + "A"; }

}  // namespace

void append_text(std::string& out, std::string_view text, Cursor* cursor) {
  for (std::size_t pos = 0; pos < text.size();) {
    // Printable ASCII, the usual case, goes as it is.
    std::size_t run = pos;
    while (run < text.size() && text[run] >= 0x20 && text[run] < 0x7F) ++run;
    if (run > pos) {
      if (cursor)
        for (std::size_t i = pos; i < run; ++i) cursor->place(1);
      out.append(text.substr(pos, run - pos));
      pos = run;
      continue;
    }
    const DisplayUnit unit = display_unit_at(text, pos);
    if (cursor) cursor->place(unit.cells);
    out.append(unit.bytes);
    pos += unit.length;
  }
}

void append_newline(std::string& out, TerminalView* view) {
  if (!view) {
    out += '\n';
    return;
  }
  for (int feeds = view->cursor.newline(); feeds > 0; --feeds) out += "\r\n";
  view->open_line_row = view->cursor.row();
}

Placement append_typed(std::string& out, Cursor& cursor, std::string_view character) {
  const DisplayUnit unit = display_unit_at(character, 0);
  out.append(unit.bytes);
  return cursor.place(unit.cells);
}

std::string erase_typed(Cursor& cursor, const Placement& where) {
  std::string out;
  const std::int64_t up = cursor.row() - where.row;
  if (up > 0) out += cursor_up(up);
  const std::string column = "\x1b[" + std::to_string(where.col + 1) + "G";
  out += column;
  out.append(static_cast<std::size_t>(where.cells), ' ');
  out += column;
  cursor.move_to(where.row, where.col);
  return out;
}

// The rows cleared for the redraw are the ones that held the line for sure
// (a terminal that rewraps moves the start of a line that grows taller up,
// one that cuts leaves it where it was), so nothing printed before is
// overwritten.
std::string redraw_answer(TerminalView& view, int width, LineEditor& editor) {
  Cursor& cursor = view.cursor;
  if (std::max(width, 1) == cursor.width()) return {};
  const std::int64_t old_rows = cursor.row() - view.open_line_row + 1;
  cursor.set_width(width);

  Cursor probe;  // where the line will end at the new width
  probe.set_width(width);
  const std::string line = view.open_line + editor.text();
  for (std::size_t pos = 0; pos < line.size();) {
    const DisplayUnit unit = display_unit_at(line, pos);
    probe.place(unit.cells);
    pos += unit.length;
  }
  const std::int64_t up = std::min(old_rows, probe.row() + 1) - 1;

  std::string out;
  if (up > 0) out += cursor_up(up);
  out += "\r\x1b[J";
  view.open_line_row = cursor.row() - up;
  cursor.move_to(view.open_line_row, 0);
  append_text(out, view.open_line, &cursor);
  editor.place_again(
      [&out, &cursor](std::string_view character) { return append_typed(out, cursor, character); });
  return out;
}
