// Text as a terminal shows it. Text from files, datagrams and the keyboard is
// untrusted: a control byte could clear the screen or retitle the window, so
// every byte that is not part of a printable UTF-8 character is replaced by a
// visible substitute one cell wide.
#ifndef CONSOLE_TERMINAL_TEXT_H
#define CONSOLE_TERMINAL_TEXT_H

#include <cstddef>
#include <string_view>

struct DisplayUnit {
  std::string_view bytes;  // what to send: a slice of the text, or a substitute
  int cells;               // columns it takes: 0, 1 or 2
  std::size_t length;      // bytes of the text it stands for
};

// The display unit that starts at text[pos] (pos < text.size()).
// Control bytes 0-31 become the control pictures U+2400-U+241F, DEL becomes
// U+2421, and a byte that does not begin a valid printable character becomes
// U+FFFD (C1 controls included: one substitute per byte).
DisplayUnit display_unit_at(std::string_view text, std::size_t pos);

// Columns a printable character takes on a terminal.
int cell_width(char32_t c);

// Bytes of the UTF-8 character that starts with `lead` (1 for anything that
// is not a valid lead byte).
std::size_t utf8_length(unsigned char lead);

#endif  // CONSOLE_TERMINAL_TEXT_H
