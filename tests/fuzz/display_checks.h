// What a terminal may be sent: checks display_unit_at at every position of a
// text against a small UTF-8 reader of our own.
#ifndef TESTS_FUZZ_DISPLAY_CHECKS_H
#define TESTS_FUZZ_DISPLAY_CHECKS_H

#include <cstddef>
#include <string>
#include <string_view>

#include "console/terminal_text.h"
#include "fuzz_check.h"

namespace fuzz {

// The code point of the well-formed UTF-8 character (shortest form, no
// surrogate, at most U+10FFFF) at text[pos] and its length in `length`;
// -1 when the bytes there are not one.
inline long utf8_code_point(std::string_view text, std::size_t pos, std::size_t& length) {
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  long c;
  if (lead < 0x80) {
    length = 1;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, c = lead & 0x07;
  } else {
    return -1;
  }
  if (text.size() - pos < length) return -1;
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char b = static_cast<unsigned char>(text[pos + k]);
    if ((b & 0xC0) != 0x80) return -1;
    c = (c << 6) | (b & 0x3F);
  }
  if ((length == 3 && c < 0x800) || (length == 4 && c < 0x10000)) return -1;  // overlong
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return -1;
  return c;
}

inline std::string utf8_encode(long c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

// The unit at one position: what is sent is one printable character, never a
// C0 or C1 control or DEL, and it is the text's own character exactly when
// that is a well-formed printable one.
inline void check_display_unit(std::string_view text, std::size_t pos) {
  const DisplayUnit unit = display_unit_at(text, pos);
  auto where = [&] {
    return "text " + quoted(text) + " at " + std::to_string(pos) + ": unit " + quoted(unit.bytes) +
           " length " + std::to_string(unit.length) + " cells " + std::to_string(unit.cells);
  };
  FUZZ_CHECK(unit.length >= 1, where());
  FUZZ_CHECK(unit.length <= text.size() - pos, where());
  FUZZ_CHECK(unit.cells >= 0 && unit.cells <= 2, where());
  FUZZ_CHECK(!unit.bytes.empty(), where());
  for (char ch : unit.bytes) {
    const unsigned char b = static_cast<unsigned char>(ch);
    FUZZ_CHECK(b >= 0x20 && b != 0x7F, where() + ": control byte sent");
  }
  std::size_t sent_length = 0;
  const long sent = utf8_code_point(unit.bytes, 0, sent_length);
  FUZZ_CHECK(sent >= 0 && sent_length == unit.bytes.size(), where() + ": not one UTF-8 character");
  FUZZ_CHECK(!(sent >= 0x80 && sent <= 0x9F), where() + ": C1 control sent");

  // What the unit should be.
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  std::size_t length = 0;
  const long c = utf8_code_point(text, pos, length);
  std::string expected;
  std::size_t expected_length = 1;
  int expected_cells = 1;
  if (lead < 0x20) {
    expected = utf8_encode(0x2400 + lead);
  } else if (lead == 0x7F) {
    expected = utf8_encode(0x2421);
  } else if (lead < 0x7F) {
    expected = std::string(1, static_cast<char>(lead));
  } else if (c >= 0xA0) {
    expected = std::string(text.substr(pos, length));
    expected_length = length;
    expected_cells = cell_width(static_cast<char32_t>(c));
  } else {
    expected = utf8_encode(0xFFFD);
  }
  FUZZ_CHECK(unit.bytes == expected, where() + ", expected " + quoted(expected));
  FUZZ_CHECK(unit.length == expected_length, where());
  FUZZ_CHECK(unit.cells == expected_cells, where());
  if (c >= 0x4E00 && c <= 0x9FFF) FUZZ_CHECK(unit.cells == 2, where() + ": CJK is wide");
  if (c >= 0x0300 && c <= 0x036F) FUZZ_CHECK(unit.cells == 0, where() + ": combining mark");
}

inline void check_display_text(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size(); ++pos) check_display_unit(text, pos);
}

}  // namespace fuzz

#endif  // TESTS_FUZZ_DISPLAY_CHECKS_H
