#include "report/log_layouts.h"

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The printable ASCII characters that are neither letters, digits nor blank.
bool is_punctuation(char c) {
  return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') || (c >= '{' && c <= '~');
}

bool is_number_field_letter(char c) { return c == 's' || c == 'a' || c == 'd' || c == 'n'; }

// Blanks, an optional "-", digits, and an optional "." with more digits,
// filling the whole text.
bool is_right_aligned_number(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i < text.size() && text[i] == '-') ++i;
  const std::size_t digits_from = i;
  while (i < text.size() && is_digit(text[i])) ++i;
  if (i == digits_from) return false;
  if (i < text.size() && text[i] == '.') ++i;
  while (i < text.size() && is_digit(text[i])) ++i;
  return i == text.size();
}

// The mode label from `at`: its length, or 0 when there is none or it does
// not fit (longer than the longest, or the padding not blank).
std::size_t mode_label_length(std::string_view line, std::size_t at) {
  std::size_t length = 0;
  while (at + length < line.size() && line[at + length] != ' ' && length <= kLongestModeLabel) ++length;
  if (length == 0 || length > kLongestModeLabel) return 0;
  for (std::size_t k = length; k < kModeLabelColumns; ++k)
    if (at + k >= line.size() || line[at + k] != ' ') return 0;
  return length;
}

// Whether the line begins as `start` draws it, a digit where it has "9".
bool begins_as(std::string_view line, std::string_view start) {
  if (line.size() < start.size()) return false;
  for (std::size_t i = 0; i < start.size(); ++i)
    if (start[i] == '9' ? !is_digit(line[i]) : line[i] != start[i]) return false;
  return true;
}

// The dates that begin the lines of WSJT-X 2.0.1 and later, of 1.x's
// transmissions, of JTDX 2.1 and later and of JTDX 18.
constexpr std::string_view kDatedLineStarts[] = {"999999_999999", "99999999_", "99999999 "};

}  // namespace

bool begins_with_wsjtx2_date(std::string_view line) { return begins_as(line, kDatedLineStarts[0]); }

bool has_layout_shape(std::string_view line) {
  for (const std::string_view start : kDatedLineStarts)
    if (begins_as(line, start)) return true;
  for (const LogLayout& layout : kLogLayouts)
    if (fit_layout(line, layout.picture)) return true;
  return false;
}

std::optional<LayoutFields> fit_layout(std::string_view line, std::string_view picture) {
  LayoutFields fields{};
  std::size_t time_digits = 0;
  std::size_t shift = 0;  // columns that a long mode label moved the rest by
  for (std::size_t p = 0; p < picture.size();) {
    const char kind = picture[p];
    const std::size_t at = p + shift;
    if (kind == 'M') {
      fields.message_at = at;
      return fields;
    }
    if (at >= line.size()) return std::nullopt;
    if (kind == 'm') {
      const std::size_t length = mode_label_length(line, at);
      if (length == 0) return std::nullopt;
      if (length > kModeLabelColumns) shift += length - kModeLabelColumns;
      p += kModeLabelColumns;
    } else if (is_number_field_letter(kind)) {
      std::size_t width = 1;
      while (p + width < picture.size() && picture[p + width] == kind) ++width;
      const std::string_view field = line.substr(at, width);
      if (field.size() < width || !is_right_aligned_number(field)) return std::nullopt;
      if (kind == 's') fields.snr = field;
      if (kind == 'a') fields.audio = field;
      if (kind == 'd') fields.dt = field;
      p += width;
    } else {
      const char c = line[at];
      const bool fits = kind == 'h' || kind == '9' ? is_digit(c)
                        : kind == '@'              ? is_punctuation(c)
                                                   : c == kind;
      if (!fits) return std::nullopt;
      if (kind == 'h' && time_digits++ == 0) fields.time = line.substr(at, 4);
      ++p;
    }
  }
  return std::nullopt;  // a picture without a message
}

std::string_view whole_message_at(std::string_view line, std::size_t at) {
  const std::size_t end = at + kMessageLength;
  if (end > line.size() || (end < line.size() && line[end] != ' ')) return {};
  return line.substr(at, kMessageLength);
}
