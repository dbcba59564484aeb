#include "console/terminal_text.h"

namespace {

// "\u2400" .. "\u241F": symbols for NUL .. US.
constexpr const char* kControlPictures[32] = {
    "\u2400", "\u2401", "\u2402", "\u2403", "\u2404", "\u2405", "\u2406", "\u2407",
    "\u2408", "\u2409", "\u240A", "\u240B", "\u240C", "\u240D", "\u240E", "\u240F",
    "\u2410", "\u2411", "\u2412", "\u2413", "\u2414", "\u2415", "\u2416", "\u2417",
    "\u2418", "\u2419", "\u241A", "\u241B", "\u241C", "\u241D", "\u241E", "\u241F"};
constexpr std::string_view kDeletePicture = "\u2421";
constexpr std::string_view kReplacement = "\uFFFD";

bool is_continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

struct Range {
  char32_t first, last;
};

// Characters that take two columns (East Asian wide and full-width forms,
// emoji) and characters that take none (combining marks, zero-width).
constexpr Range kWide[] = {{0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},  {0x3400, 0x4DBF},
                           {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},  {0xF900, 0xFAFF},
                           {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},  {0x1F300, 0x1F64F},
                           {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD}};
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x200B, 0x200F}, {0x20D0, 0x20FF}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}};

bool in(const Range* begin, const Range* end, char32_t c) {
  for (const Range* r = begin; r != end; ++r)
    if (c >= r->first && c <= r->last) return true;
  return false;
}

}  // namespace

std::size_t utf8_length(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 1;
}

int cell_width(char32_t c) {
  if (in(std::begin(kZeroWidth), std::end(kZeroWidth), c)) return 0;
  if (in(std::begin(kWide), std::end(kWide), c)) return 2;
  return 1;
}

DisplayUnit display_unit_at(std::string_view text, std::size_t pos) {
  const unsigned char lead = text[pos];
  if (lead < 0x20) return {kControlPictures[lead], 1, 1};
  if (lead == 0x7F) return {kDeletePicture, 1, 1};
  if (lead < 0x80) return {text.substr(pos, 1), 1, 1};

  const DisplayUnit invalid{kReplacement, 1, 1};
  const std::size_t length = utf8_length(lead);
  if (length == 1 || pos + length > text.size()) return invalid;
  char32_t c = lead & (0xFF >> (length + 1));
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char b = text[pos + k];
    if (!is_continuation(b)) return invalid;
    c = (c << 6) | (b & 0x3F);
  }
  // Overlong forms, surrogates, beyond U+10FFFF, and the C1 controls.
  const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < smallest[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF || c < 0xA0) return invalid;
  return {text.substr(pos, length), cell_width(c), length};
}
