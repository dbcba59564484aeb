#include "report/mask_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "report/rounding.h"

namespace {

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
    case '&': return true;
    case '+': return next == '#' || next == '.';
    case '.': return next == '#';
    case '\\': return is_backslash_field(m, i);
    default: return false;
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
  if (j < m.size() && m[j] == '.' && (f.integer_places > 0 || (j + 1 < m.size() && m[j + 1] == '#'))) {
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
      case Field::Kind::whole_text: append_limited(text); break;
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
    if (value != 0 && std::isfinite(value) && round_to_units(std::fabs(value), f.decimal_places, units)) {
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

std::string number_text(double value) {
  if (value == 0) return "0";
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  return std::string(buf, res.ptr);
}
