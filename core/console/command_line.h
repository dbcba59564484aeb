// The command line as the system hands it over: one text, the program name
// first. What follows the name is the program's command tail.
#ifndef CONSOLE_COMMAND_LINE_H
#define CONSOLE_COMMAND_LINE_H

#include <string_view>

// The command line `line` without the program name and the blanks (spaces,
// tabs) after it. A name that begins with a double quote ends at the closing
// quote (with no closing quote, the whole line is the name); any other name
// ends at the first blank. The rest is kept as it stands: quotes, inner and
// trailing blanks included. Instantiated for char, wchar_t and char16_t.
template <typename Char>
std::basic_string_view<Char> command_line_tail(std::basic_string_view<Char> line);

#endif  // CONSOLE_COMMAND_LINE_H
