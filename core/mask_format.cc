#include "mask_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

// Digits a double is reduced to before it is rounded to its places.
constexpr int kSignificantDigits = 18;

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

class Renderer {
 public:
  explicit Renderer(std::string_view mask) : mask_(mask) {}

  // Copies literal text from the current position up to the next field start;
  // false when the mask ended first.
  bool copy_literal() {
    while (pos_ < mask_.size() && !field_starts_at(mask_, pos_)) {
      if (mask_[pos_] == '_' && pos_ + 1 < mask_.size()) {
        append_limited(mask_.substr(pos_ + 1, 1));
        pos_ += 2;
      } else {
        append_limited(mask_.substr(pos_, 1));
        ++pos_;
      }
    }
    return pos_ < mask_.size();
  }

  void fill_field(const MaskValue& value) {
    const Field f = read_field(mask_, pos_);
    pos_ += f.width;
    if (f.kind == Field::Kind::number) {
      if (value.kind == MaskValue::Kind::number)
        out_ += render_number(value.number, f);
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
        for (std::size_t n = text.size(); n < f.width; ++n) append_limited(" ");
        break;
    }
  }

  bool at_end() const { return pos_ >= mask_.size(); }
  void restart() { pos_ = 0; }
  std::string take() { return std::move(out_); }

 private:
  void append_limited(std::string_view text) {
    if (out_.size() >= kMaskOutputLimit) return;
    out_.append(text.substr(0, kMaskOutputLimit - out_.size()));
  }

  static std::string render_number(double value, const Field& f) {
    std::string body;
    const bool negative = value < 0;  // -0.0 is not negative
    if (negative)
      body += '-';
    else if (f.plus)
      body += '+';
    if (!std::isfinite(value)) {
      body += std::isnan(value) ? "nan" : "inf";
    } else {
      const RoundedDecimal r = round_decimal(value, f.decimal_places);
      // Without a "+", a minus sign takes one of the integer places.
      const int places_left = f.integer_places - (negative && !f.plus ? 1 : 0);
      // A number always shows a digit: with no decimals, a minus that took
      // the only integer place widens the field to "-0".
      if (!r.integer_digits.empty())
        body += r.integer_digits;
      else if (places_left >= 1 || r.decimal_digits.empty())
        body += '0';
      if (f.point) body += '.';
      body += r.decimal_digits;
    }
    // Too small a field widens to the body; no marker, no digit dropped.
    if (body.size() < f.width) body.insert(0, f.width - body.size(), ' ');
    return body;
  }

  std::string_view mask_;
  std::size_t pos_ = 0;
  std::string out_;
};

}  // namespace

RoundedDecimal round_decimal(double value, int places) {
  RoundedDecimal r;
  if (round_away_from_ties(std::fabs(value), places, r)) return r;
  return round_decimal_by_digits(value, places);
}

bool round_away_from_ties(double magnitude, int places, RoundedDecimal& r) {
  constexpr double kScale[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
  constexpr std::uint64_t kUnits[] = {1,      10,      100,      1000,     10000,
                                      100000, 1000000, 10000000, 100000000};
  if (places < 0 || places > 8 || !(magnitude > 0)) return false;
  const double scaled = magnitude * kScale[places];
  if (!(scaled < 1e15)) return false;  // below 2^50: whole part and fraction exact
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;
  // The product is off by at most one part in 2^53, and the 18 digits are
  // within 5 parts in 10^18 of the value: outside this margin around a tie,
  // both round the same way.
  if (std::fabs(fraction - 0.5) <= scaled * 1e-14) return false;
  const std::uint64_t units = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
  const std::uint64_t integer = units / kUnits[places];
  r.integer_digits = integer > 0 ? std::to_string(integer) : std::string();
  r.decimal_digits.clear();
  if (places > 0) {
    r.decimal_digits = std::to_string(units % kUnits[places]);
    r.decimal_digits.insert(0, static_cast<std::size_t>(places) - r.decimal_digits.size(), '0');
  }
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
  Renderer r(mask);
  for (const MaskValue& value : values) {
    if (!r.copy_literal()) break;  // a mask without fields takes no values
    r.fill_field(value);
    r.copy_literal();
    if (r.at_end()) r.restart();  // further values reuse the mask from its start
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
