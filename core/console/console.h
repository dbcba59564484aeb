// The console every program talks through: text at a cursor in a current
// colour, questions answered by an edited line, keys polled without waiting,
// and a last wait for a key. One per process; console_init comes first.
//
// Colours are indexes of the 16-colour console palette (3 dark cyan,
// 5 dark magenta, 6 dark yellow, 7 the normal colour, 8 dark grey,
// 11 light cyan); the background is never changed.
#ifndef CONSOLE_CONSOLE_H
#define CONSOLE_CONSOLE_H

#include <string>
#include <string_view>

#include "console/answers.h"
#include "console/key_wake.h"

inline constexpr int kNormalColour = 7;

// Sets up the console: output to stdout, raw key input, the terminal
// restored at every end. Keeps the arguments for command_tail.
void console_init(int argc, char** argv);

// Writes text at the cursor (no line end). Bytes that a terminal would take
// as controls are shown as visible substitutes.
void print_text(std::string_view text);
void print_newline();
void print_line(std::string_view text);
// A line that tells the person at the keyboard what to do: print_line, and
// where stdout is not the terminal the person watches, shown there too.
void print_instruction(std::string_view text);

// Foreground for all later output; 16 or more keeps the current one.
void set_text_colour(int colour);

// One edited line from the keyboard, without its Enter. Backspace takes back
// the last character; other control keys are ignored; at most 10000
// characters are kept. Where stdout is not the person's terminal, the
// question (the text printed since the last line end) and the typing are
// shown on that terminal, and stdout gets the answer as it is taken.
std::string read_line();

// The next key press, or "" when none is waiting; never waits. A key with a
// character is that character; one without is "\0" and its scan code.
std::string poll_key();
// The keys that stop a run: Esc, and on a POSIX terminal Ctrl+C (key code
// 3), which also makes the program end as an interrupted one: no closing
// wait, status 130. Ctrl+C at a question ends the program at once.
bool is_stop_key(std::string_view key);
// Whether a stop key was pressed since the last look (it is taken, with the
// keys before it; other keys stay for later). Never waits, and leaves the
// text for stdout where it is.
bool stop_key_pressed();
// key_waiting(), and what a wait for other input watches for keys: key_wake.h.
// Returns once a key press is waiting (the key stays unread), or when no
// more keys can come, or at once after Ctrl+C. Where stdout is not the person's terminal, that
// terminal shows that a key closes the program.
void wait_for_key();

// The arguments after the program name, joined with single blanks.
std::string command_tail();

void beep();

// The status a program ends with that asks for `code`: 1 instead of 0 when
// some of its text could not be written to stdout; 130 after Ctrl+C.
int exit_status(int code);

// Restores the terminal and ends the process with exit_status(code).
[[noreturn]] void end_program(int code);

#endif  // CONSOLE_CONSOLE_H
