#include "mask_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

// Digits a double is reduced to before it is rounded to its places.
constexpr int kSignificantDigits = 18;

// Places up to which numbers are rounded the quick way, and the powers of
// ten it uses.
constexpr int kQuickPlaces = 8;
constexpr double kScales[kQuickPlaces + 1] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
constexpr std::uint64_t kPowersOfTen[kQuickPlaces + 1] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// Powers of ten for rounding on the digits as integers: exact doubles from
// 10^-5 (the nearest ones below 1) to 10^15, and 128-bit ones up to 10^22.
constexpr int kLeastDecimalPower = 5;
constexpr double kDecimalPowers[] = {1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1,    1e1,  1e2,  1e3,  1e4, 1e5,
                                     1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
constexpr int kMostDecimals = 22;
#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 u128;
constexpr std::array<u128, kMostDecimals + 1> kPowersOfTen128 = [] {
  std::array<u128, kMostDecimals + 1> powers{};
  powers[0] = 1;
  for (int i = 1; i <= kMostDecimals; ++i) powers[i] = powers[i - 1] * 10;
  return powers;
}();
#endif
constexpr std::uint64_t kPowersOfTen17 = 100000000000000000;

// A count of units of 10^-places (places 0 to 8) as rounded digits.
RoundedDecimal digits_of_units(std::uint64_t units, int places) {
  const std::uint64_t integer = units / kPowersOfTen[places];
  return {integer > 0 ? std::to_string(integer) : std::string(),
          std::to_string(units % kPowersOfTen[places] + kPowersOfTen[places]).substr(1)};
}

// Where the dropped digits stand against one half of the last kept place.
enum class Half { below, tie, above };

Half compare_with_half(std::string_view dropped) {
  if (dropped.empty() || dropped[0] < '5') return Half::below;
  if (dropped[0] > '5') return Half::above;
  for (char d : dropped.substr(1))
    if (d != '0') return Half::above;
  return Half::tie;
}

// Adds one unit to the last digit of a decimal digit string, carrying.
void increment_digits(std::string& digits) {
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (*it != '9') {
      ++*it;
      return;
    }
    *it = '0';
  }
  digits.insert(digits.begin(), '1');
}

bool is_backslash_field(std::string_view m, std::size_t i) {
  if (m[i] != '\\') return false;
  std::size_t j = i + 1;
  while (j < m.size() && m[j] == ' ') ++j;
  return j < m.size() && m[j] == '\\';
}

// True when a field placeholder begins at m[i]. The reserved forms "*", "$$",
// ",." and ",," are not supported and stay literal text.
bool field_starts_at(std::string_view m, std::size_t i) {
  const char next = i + 1 < m.size() ? m[i + 1] : '\0';
  switch (m[i]) {
    case '#':
    case '!':
    case '&':
      return true;
    case '+':
      return next == '#' || next == '.';
    case '.':
      return next == '#';
    case '\\':
      return is_backslash_field(m, i);
    default:
      return false;
  }
}

struct Field {
  enum class Kind { text, first_char, whole_text, number } kind;
  std::size_t width;  // characters of the mask that the field takes
  int integer_places = 0;
  int decimal_places = 0;
  bool plus = false;
  bool point = false;
};

Field read_field(std::string_view m, std::size_t i) {
  if (m[i] == '!') return {Field::Kind::first_char, 1};
  if (m[i] == '&') return {Field::Kind::whole_text, 1};
  if (m[i] == '\\') {
    std::size_t j = i + 1;
    while (m[j] == ' ') ++j;
    return {Field::Kind::text, j - i + 1};
  }
  Field f{Field::Kind::number, 0};
  std::size_t j = i;
  if (m[j] == '+') {
    f.plus = true;
    ++j;
  }
  while (j < m.size() && m[j] == '#') ++f.integer_places, ++j;
  // A point belongs to the field only between digit places.
  if (j < m.size() && m[j] == '.' &&
      (f.integer_places > 0 || (j + 1 < m.size() && m[j + 1] == '#'))) {
    f.point = true;
    ++j;
    while (j < m.size() && m[j] == '#') ++f.decimal_places, ++j;
  }
  f.width = j - i;
  return f;
}

// A mask read into its pieces: the literal text before each field (the
// "_x" escapes resolved), the fields, and the literal text after the last.
struct ParsedMask {
  std::vector<std::string> literals;  // one more than the fields
  std::vector<Field> fields;
};

ParsedMask parse_mask(std::string_view m) {
  ParsedMask parsed;
  std::size_t pos = 0;
  for (;;) {
    std::string literal;
    while (pos < m.size() && !field_starts_at(m, pos)) {
      if (m[pos] == '_' && pos + 1 < m.size()) ++pos;
      literal += m[pos++];
    }
    parsed.literals.push_back(std::move(literal));
    if (pos >= m.size()) return parsed;
    parsed.fields.push_back(read_field(m, pos));
    pos += parsed.fields.back().width;
  }
}

// The mask read once: the system uses a handful of masks over and over.
const ParsedMask& parsed_mask(std::string_view mask) {
  constexpr std::size_t kKept = 8;
  thread_local std::vector<std::pair<std::string, ParsedMask>> kept;
  for (const auto& [text, parsed] : kept)
    if (text == mask) return parsed;
  if (kept.size() == kKept) kept.erase(kept.begin());
  kept.emplace_back(std::string(mask), parse_mask(mask));
  return kept.back().second;
}

// Out of line: inlined where the length is known to be bounded, the copy
// becomes a slow "rep movs" of a few bytes.
[[gnu::noinline]] void append_bytes(std::string& out, std::string_view bytes) { out.append(bytes); }

class Renderer {
 public:
  explicit Renderer(std::size_t expected_size) { out_.reserve(expected_size); }

  void append_limited(std::string_view text) {
    if (out_.size() >= kMaskOutputLimit) return;
    append_bytes(out_, text.substr(0, kMaskOutputLimit - out_.size()));
  }

  void fill_field(const Field& f, const MaskValue& value) {
    if (f.kind == Field::Kind::number) {
      if (value.kind == MaskValue::Kind::number)
        render_number(value.number, f);
      else
        out_ += value.text;  // never happens with the system's masks
      return;
    }
    const std::string number =
        value.kind == MaskValue::Kind::number ? number_text(value.number) : std::string();
    const std::string_view text =
        value.kind == MaskValue::Kind::number ? std::string_view(number) : value.text;
    switch (f.kind) {
      case Field::Kind::first_char:
        append_limited(text.empty() ? std::string_view(" ") : text.substr(0, 1));
        break;
      case Field::Kind::whole_text:
        append_limited(text);
        break;
      default:
        append_limited(text.substr(0, f.width));
        if (text.size() < f.width && out_.size() < kMaskOutputLimit)
          out_.append(std::min(f.width - text.size(), kMaskOutputLimit - out_.size()), ' ');
        break;
    }
  }

  std::string take() { return std::move(out_); }

 private:
  // Numbers are written whole, past the limit too.
  void render_number(double value, const Field& f) {
    const bool negative = value < 0;  // -0.0 is not negative
    const std::string_view sign = negative ? "-" : f.plus ? "+" : "";
    // Without a "+", a minus sign takes one of the integer places.
    const int places_left = f.integer_places - (negative && !f.plus ? 1 : 0);
    std::uint64_t units = 0;
    if (value != 0 && std::isfinite(value) &&
        round_to_units(std::fabs(value), f.decimal_places, units)) {
      // The usual case: the digits from whole numbers, in a buffer.
      char text[48];
      char* end = std::copy(sign.begin(), sign.end(), text);
      const std::uint64_t whole = units / kPowersOfTen[f.decimal_places];
      std::uint64_t fraction = units % kPowersOfTen[f.decimal_places];
      if (whole > 0)
        end = std::to_chars(end, text + sizeof text, whole).ptr;
      else if (places_left >= 1 || f.decimal_places == 0)
        *end++ = '0';
      if (f.point) *end++ = '.';
      for (int k = f.decimal_places - 1; k >= 0; --k, fraction /= 10)
        end[k] = static_cast<char>('0' + fraction % 10);
      end += f.decimal_places;
      append_padded(std::string_view(text, static_cast<std::size_t>(end - text)), f.width);
      return;
    }
    std::string body(sign);
    if (!std::isfinite(value)) {
      body += std::isnan(value) ? "nan" : "inf";
    } else {
      const RoundedDecimal r = round_decimal(value, f.decimal_places);
      // A number always shows a digit: with no decimals, a minus that took
      // the only integer place widens the field to "-0".
      if (!r.integer_digits.empty())
        body += r.integer_digits;
      else if (places_left >= 1 || r.decimal_digits.empty())
        body += '0';
      if (f.point) body += '.';
      body += r.decimal_digits;
    }
    append_padded(body, f.width);
  }

  // Too small a field widens to the number; no marker, no digit dropped.
  void append_padded(std::string_view number, std::size_t width) {
    if (number.size() < width) out_.append(width - number.size(), ' ');
    append_bytes(out_, number);
  }

  std::string out_;
};

}  // namespace

RoundedDecimal round_decimal(double value, int places) {
  std::uint64_t units = 0;
  if (!round_to_units(std::fabs(value), places, units)) return round_decimal_by_digits(value, places);
  return digits_of_units(units, places);
}

bool round_to_units(double magnitude, int places, std::uint64_t& units) {
  return units_away_from_ties(magnitude, places, units) ||
         units_by_integers(magnitude, places, units);
}

bool units_by_integers(double magnitude, int places, std::uint64_t& units) {
#if !defined(__SIZEOF_INT128__)
  return false;  // the digit string decides
#else
  if (places < 0 || places > kQuickPlaces || !(magnitude >= 1e-5 && magnitude < 1e15)) return false;
  // magnitude = mantissa / 2^shift exactly, the shift from 3 to 70 here.
  int exponent = 0;
  const double fraction = std::frexp(magnitude, &exponent);
  const u128 mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  const int shift = 53 - exponent;
  // The first guess of the decimal exponent k (10^k <= magnitude < 10^(k+1));
  // the digits put it right.
  int k = -5;
  while (k < 14 && magnitude >= kDecimalPowers[k + 1 + kLeastDecimalPower]) ++k;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int decimals = kSignificantDigits - 1 - k;  // of the 18 digits
    if (decimals < places || decimals > kMostDecimals) return false;
    // The 18 digits as one integer: magnitude * 10^decimals, rounded half to even.
    const u128 scaled = mantissa * kPowersOfTen128[decimals];
    u128 rounded = scaled >> shift;
    const u128 rest = scaled & ((u128{1} << shift) - 1), half = u128{1} << (shift - 1);
    if (rest > half || (rest == half && rounded % 2 == 1)) ++rounded;
    if (rounded < kPowersOfTen17) {
      --k;
      continue;
    }
    if (rounded >= 10 * kPowersOfTen17) {
      ++k;
      continue;
    }
    const std::uint64_t digits = static_cast<std::uint64_t>(rounded);
    // Rounded at `places` as the digit string would be.
    const int dropped = decimals - places;
    if (dropped == 0) {
      units = digits;
    } else if (dropped > kSignificantDigits) {
      units = 0;  // below a unit of the last place by far
    } else {
      const std::uint64_t unit = static_cast<std::uint64_t>(kPowersOfTen128[dropped]);
      const std::uint64_t kept = digits / unit, tail = digits % unit, tie = unit / 2;
      // With no kept digit to decide a tie (0.5 in no places), it goes up.
      const bool up = tail > tie || (tail == tie && (kept % 2 == 1 || kept == 0));
      units = kept + (up ? 1 : 0);
    }
    return true;
  }
  return false;
#endif
}

bool units_away_from_ties(double magnitude, int places, std::uint64_t& units) {
  if (places < 0 || places > kQuickPlaces || !(magnitude > 0)) return false;
  const double scaled = magnitude * kScales[places];
  if (!(scaled < 1e15)) return false;  // below 2^50: whole part and fraction exact
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;
  // The product is off by at most one part in 2^53, and the 18 digits are
  // within 5 parts in 10^18 of the value: outside this margin around a tie,
  // both round the same way.
  if (std::fabs(fraction - 0.5) <= scaled * 1e-14) return false;
  units = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
  return true;
}

bool round_away_from_ties(double magnitude, int places, RoundedDecimal& r) {
  std::uint64_t units = 0;
  if (!units_away_from_ties(magnitude, places, units)) return false;
  r = digits_of_units(units, places);
  return true;
}

RoundedDecimal round_decimal_by_digits(double value, int places) {
  const double magnitude = std::fabs(value);
  if (magnitude == 0 || !std::isfinite(magnitude))
    return {std::string(1, '0'), std::string(static_cast<std::size_t>(places), '0')};
  RoundedDecimal r;
  // d.ddddddddddddddddde±x: the value's first 18 significant digits,
  // correctly rounded (ties to even) by the standard library.
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, magnitude,
                                 std::chars_format::scientific, kSignificantDigits - 1);
  const std::string_view sci(buf, res.ptr - buf);
  const std::size_t e = sci.find('e');
  std::string digits(1, sci[0]);
  digits.append(sci.substr(2, e - 2));
  const int exponent = std::atoi(std::string(sci.substr(e + 1)).c_str());

  // Digit k weighs 10^(exponent - k); the last kept one weighs 10^-places.
  const long keep = static_cast<long>(exponent) + places + 1;
  std::string units;  // the rounded magnitude in units of 10^-places
  if (keep >= static_cast<long>(digits.size())) {
    units = digits;
    units.append(keep - digits.size(), '0');
  } else if (keep >= 0) {
    units = digits.substr(0, keep);
    const Half half = compare_with_half(std::string_view(digits).substr(keep));
    // With no kept digit to decide a tie (0.5 in no places), it goes up.
    const bool up = half == Half::above ||
                    (half == Half::tie && (units.empty() || (units.back() - '0') % 2 == 1));
    if (up) increment_digits(units);
  }
  if (units.size() <= static_cast<std::size_t>(places))
    units.insert(0, places + 1 - units.size(), '0');
  const std::size_t split = units.size() - places;
  r.decimal_digits = units.substr(split);
  const std::size_t first = units.find_first_not_of('0');
  if (first < split) r.integer_digits = units.substr(first, split - first);
  return r;
}

std::string format_mask(std::string_view mask, std::span<const MaskValue> values) {
  if (values.empty()) return {};
  const ParsedMask& parsed = parsed_mask(mask);
  Renderer r(mask.size() + 32);
  r.append_limited(parsed.literals[0]);
  if (parsed.fields.empty()) return r.take();  // a mask without fields takes no values
  std::size_t next = 0;
  for (const MaskValue& value : values) {
    if (next == parsed.fields.size()) {  // further values reuse the mask from its start
      next = 0;
      r.append_limited(parsed.literals[0]);
    }
    r.fill_field(parsed.fields[next], value);
    r.append_limited(parsed.literals[++next]);
  }
  return r.take();
}

std::string format_digits(int value) {
  if (value >= 0 && value <= 99)
    return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
  return std::to_string(value);
}

std::string number_text(double value) {
  if (value == 0) return "0";
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  return std::string(buf, res.ptr);
}
