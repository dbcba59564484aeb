#include "console/answers.h"

std::string first_field(std::string_view line) {
  std::size_t i = line.find_first_not_of(' ');
  if (i == std::string_view::npos) return {};
  line.remove_prefix(i);
  if (line.front() == '"') {
    line.remove_prefix(1);
    return std::string(line.substr(0, line.find('"')));
  }
  line = line.substr(0, line.find(','));
  const std::size_t last = line.find_last_not_of(' ');
  return std::string(line.substr(0, last == std::string_view::npos ? 0 : last + 1));
}

namespace {

// The small letters ä ö ü é ñ å ç at their Latin-1 positions (U+00E4 ...);
// each capital lies 0x20 lower.
bool is_upper_cased_accent(unsigned char latin1) {
  switch (latin1) {
    case 0xE4:
    case 0xF6:
    case 0xFC:
    case 0xE9:
    case 0xF1:
    case 0xE5:
    case 0xE7: return true;
    default: return false;
  }
}

}  // namespace

std::string to_upper(std::string_view text, TextEncoding encoding) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = out[i];
    if (c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 'a' + 'A');
    } else if (encoding == TextEncoding::ansi) {
      if (is_upper_cased_accent(c)) out[i] = static_cast<char>(c - 0x20);
    } else if (c == 0xC3 && i + 1 < out.size()) {
      // U+00E4 ä, U+00F6 ö, U+00FC ü, U+00E9 é, U+00F1 ñ, U+00E5 å, U+00E7 ç:
      // their capitals lie 0x20 lower in the same two-byte block.
      // Two bytes: 0xC3 and the Latin-1 position less 0x40.
      const unsigned char second = out[i + 1];
      if (is_upper_cased_accent(static_cast<unsigned char>(second + 0x40)))
        out[i + 1] = static_cast<char>(second - 0x20);
      ++i;
    }
  }
  return out;
}

std::string field_answer(std::string_view line) { return to_upper(first_field(line)); }

bool answers_no(std::string_view line) { return field_answer(line).starts_with('N'); }
