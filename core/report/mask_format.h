// Fixed-layout lines: a constant mask of literal text and field placeholders
// filled with an ordered list of text and number values.
//
// Mask language (the subset our lines use, plus the reserved starts):
//   "\  \"      string field as wide as the two backslashes and what lies
//               between them; longer text is cut, shorter text padded.
//   "+##.###"   numeric field: optional "+", digit places, optional point
//               and decimal places. Rounds to nearest, ties to even, on the
//               decimal digits of the value; widens instead of overflowing.
//   "_x"        the character x as literal text.
//   "!" / "&"   first character of a text / the whole text.
// Everything else, "0" included, is literal text.
#ifndef REPORT_MASK_FORMAT_H
#define REPORT_MASK_FORMAT_H

#include <span>
#include <string>
#include <string_view>

struct MaskValue {
  enum class Kind { text, number };

  MaskValue(std::string_view t) : kind(Kind::text), text(t) {}
  MaskValue(const char* t) : kind(Kind::text), text(t) {}
  MaskValue(const std::string& t) : kind(Kind::text), text(t) {}
  MaskValue(double n) : kind(Kind::number), number(n) {}
  MaskValue(int n) : kind(Kind::number), number(n) {}

  Kind kind;
  std::string_view text;
  double number = 0;
};

// Literal and string-field text past this many characters is dropped;
// numeric fields are always written whole.
inline constexpr std::size_t kMaskOutputLimit = 1024;

// Renders `values` into `mask`. Values beyond the mask's fields start over at
// the beginning of the mask; values that find no field at all are dropped.
std::string format_mask(std::string_view mask, std::span<const MaskValue> values);
inline std::string format_mask(std::string_view mask, std::initializer_list<MaskValue> values) {
  return format_mask(mask, std::span<const MaskValue>(values.begin(), values.size()));
}

// Plain decimal text of a number: no leading blank, "-" when negative,
// at most 15 significant digits.
std::string number_text(double value);

// Two-digit form of a date or time field 0 to 99 ("07", "12"); any other
// number in full.
inline std::string format_digits(int value) {
  if (value >= 0 && value <= 99)
    return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
  return std::to_string(value);
}

#endif  // REPORT_MASK_FORMAT_H
