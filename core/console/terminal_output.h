// What a terminal is sent for the console's text and for the answer line's
// echo, erase and redraw, with its cursor followed. The writes themselves
// are left to the caller.
#ifndef CONSOLE_TERMINAL_OUTPUT_H
#define CONSOLE_TERMINAL_OUTPUT_H

#include <cstdint>
#include <string>
#include <string_view>

#include "console/cursor.h"
#include "console/line_editor.h"

// The terminal the person watches, as the console follows it.
struct TerminalView {
  Cursor cursor;
  std::string open_line;           // what has been printed since the last line end
  std::int64_t open_line_row = 0;  // the row where that began
};

// `text` as it goes out, control bytes as visible substitutes; `cursor`,
// where there is one, follows it.
void append_text(std::string& out, std::string_view text, Cursor* cursor);
// A line end: "\n" where nothing is followed (a file or a pipe); else the
// line feeds the cursor needs, as "\r\n", and the next line's row noted.
void append_newline(std::string& out, TerminalView* view);

// A typed character (one UTF-8 character) shown at the cursor; where it went.
Placement append_typed(std::string& out, Cursor& cursor, std::string_view character);
// Takes the typed character at `where` off the screen: up to its row, to
// its column, blanks over it, and back to its column.
std::string erase_typed(Cursor& cursor, const Placement& where);
// After the terminal has changed its width to `width`, the question (the
// open line) and the answer so far drawn anew, the cursor followed at the
// new width: the terminal has cut or rewrapped the rows they stood in. ""
// when the width is the same.
std::string redraw_answer(TerminalView& view, int width, LineEditor& editor);

#endif  // CONSOLE_TERMINAL_OUTPUT_H
