// What the console's rules (console.cc) ask of the system they run on,
// answered with system calls by console-posix.cc and console-win32.cc. The
// text output of console.h (print_text, print_newline, print_line,
// set_text_colour, beep) and key_wake() are written there directly; this is
// what the rules need beside it.
#ifndef CONSOLE_CONSOLE_PLATFORM_H
#define CONSOLE_CONSOLE_PLATFORM_H

#include <deque>
#include <string>
#include <string_view>

#include "console/cursor.h"
#include "console/line_editor.h"

namespace console_platform {

// Sets up output and key input, with the terminal restored at every end.
void start();
// The arguments after the program name, joined with single blanks.
std::string arguments_text(int argc, char** argv);

// Text held back for stdout written out: before a wait for the person.
void flush();
// Some text could not be written to stdout.
bool output_failed();
// Where stdout is not the screen the person watches, `line` is shown there
// as well.
void show_to_person(std::string_view line);

// The answer line: begin_answer before the first key, then each typed
// character shown (where it went is returned) or erased, and end_answer or
// abandon_answer (Ctrl+C) to end the line.
void begin_answer();
Placement show_typed(std::string_view character);
void erase_typed(const Placement& where);
// After the screen has changed its width, the question and the answer so
// far drawn anew; the editor's placements follow.
void redraw_if_resized(LineEditor& editor);
// The line ended; where stdout is not the person's screen, `answer` goes
// into its transcript first.
void end_answer(std::string_view answer);
void abandon_answer();

// The keys that have come, as key_decoder.h writes them (never ""),
// appended to `keys`. With `wait`, the first is waited for; the wait may
// end with none when no more keys can come or a signal came.
void read_keys(std::deque<std::string>& keys, bool wait);
bool keys_can_come();
// Ctrl+C comes as key code 3 and interrupts the program (a POSIX terminal).
bool interrupt_is_a_key();

// The last text written out and the terminal as it was, before the end.
void finish();

}  // namespace console_platform

#endif  // CONSOLE_CONSOLE_PLATFORM_H
