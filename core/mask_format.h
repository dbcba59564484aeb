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
#ifndef CORE_MASK_FORMAT_H
#define CORE_MASK_FORMAT_H

#include <cstdint>
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
inline std::string format_mask(std::string_view mask,
                               std::initializer_list<MaskValue> values) {
  return format_mask(mask, std::span<const MaskValue>(values.begin(), values.size()));
}

// Two-digit form of a whole number 0 to 99 ("07", "12").
std::string format_digits(int value);

// Plain decimal text of a number: no leading blank, "-" when negative,
// at most 15 significant digits.
std::string number_text(double value);

// The magnitude of `value` rounded to `places` decimals, as integer digits
// (no leading zeros; empty below 1, "0" only for an exact zero) and exactly
// `places` decimal digits. Exposed for the tests.
struct RoundedDecimal {
  std::string integer_digits;
  std::string decimal_digits;
};
RoundedDecimal round_decimal(double value, int places);
// The same from the value's first 18 significant decimal digits, always.
RoundedDecimal round_decimal_by_digits(double value, int places);
// The quick way for a magnitude that lies clearly away from a tie at
// `places` decimals; false (nothing done) when it does not.
bool round_away_from_ties(double magnitude, int places, RoundedDecimal& r);
// The same as a count of units of 10^-places (places 0 to 8).
bool units_away_from_ties(double magnitude, int places, std::uint64_t& units);
// The rounding on the 18 digits, done in 128-bit integers from the binary
// value, for magnitudes from 1e-5 up to 1e15 and places 0 to 8; false
// (nothing done) outside them.
bool units_by_integers(double magnitude, int places, std::uint64_t& units);
// The first of the two that answers.
bool round_to_units(double magnitude, int places, std::uint64_t& units);

#endif  // CORE_MASK_FORMAT_H
