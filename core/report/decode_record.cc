#include "report/decode_record.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <span>

namespace {

// Units of the position code per degree: ten-thousandths of a minute of arc.
constexpr std::int32_t kUnitsPerDegree = 600000;
constexpr std::int32_t kUnitsPerMinute = 10000;
// First-letter values from this one on mean south or west.
constexpr int kHemisphereOffset = 12;
constexpr int kLetterBase = 25;
// The largest angles there are, in units.
constexpr std::int32_t kMostLatitudeUnits = 90 * kUnitsPerDegree;
constexpr std::int32_t kMostLongitudeUnits = 180 * kUnitsPerDegree;
// The letters of the code: "A" to "Y", the 25 digits.
constexpr char kFirstLetter = 'A';
constexpr char kLastLetter = 'A' + kLetterBase - 1;
constexpr std::size_t kLongitudeIndex = kPositionMarkInMessage + 1;

std::string_view columns(std::string_view line, std::size_t first, std::size_t count) {
  if (first - 1 >= line.size()) return {};
  return line.substr(first - 1, count);
}

bool is_letter(char c) { return c >= kFirstLetter && c <= kLastLetter; }

// The angle of the six letters from `first` (all of them "A" to "Y"), or
// nothing when it is larger than `most_units`.
std::optional<double> decode_group(std::string_view text, std::size_t first, std::int32_t most_units) {
  int digit = text[first] - kFirstLetter;
  const bool south_or_west = digit >= kHemisphereOffset;
  if (south_or_west) digit -= kHemisphereOffset;
  std::int32_t v = digit;
  for (std::size_t k = 1; k < 6; ++k) v = v * kLetterBase + (text[first + k] - kFirstLetter);
  if (v > most_units) return std::nullopt;
  // Whole degrees, then the minutes.
  const std::int32_t w = v / kUnitsPerDegree;
  const double minutes = static_cast<double>(v - kUnitsPerDegree * w) / kUnitsPerMinute;
  double angle = w + minutes / 60;
  if (south_or_west) angle = -angle;
  if (angle == 0) angle = 0;  // no "-0" for a south or west zero
  return angle;
}

}  // namespace

bool is_position_message(std::string_view message) {
  if (message.size() != kMessageLength || message[kPositionMarkInMessage] != kPositionMark) return false;
  for (std::size_t i = 0; i < kMessageLength; ++i)
    if (i != kPositionMarkInMessage && !is_letter(message[i])) return false;
  return true;
}

std::string_view sent_message(std::string_view datagram_message) {
  const std::size_t end = datagram_message.find_last_not_of(' ');
  return datagram_message.substr(0, end == std::string_view::npos ? 0 : end + 1);
}

std::optional<Position> decode_position(std::string_view message) {
  if (!is_position_message(message)) return std::nullopt;
  const std::optional<double> latitude = decode_group(message, 0, kMostLatitudeUnits);
  if (!latitude) return std::nullopt;
  const std::optional<double> longitude = decode_group(message, kLongitudeIndex, kMostLongitudeUnits);
  if (!longitude) return std::nullopt;
  return Position{*latitude, *longitude};
}

bool set_position(DecodeRecord& record) {
  const std::optional<Position> position = decode_position(record.message);
  if (!position) return false;
  record.latitude = position->latitude;
  record.longitude = position->longitude;
  return true;
}

int read_column_number(std::string_view group) {
  std::size_t i = 0;
  while (i < group.size() && group[i] == ' ') ++i;
  bool negative = false;
  if (i < group.size() && (group[i] == '-' || group[i] == '+')) negative = group[i++] == '-';
  const std::size_t start = i;
  // Whole numbers, the usual case, without going through a double.
  int whole = 0;
  while (i < group.size() && i - start < 9 && group[i] >= '0' && group[i] <= '9')
    whole = whole * 10 + (group[i++] - '0');
  if (i == group.size() || (group[i] != '.' && (group[i] < '0' || group[i] > '9')))
    return negative ? -whole : whole;
  i = start;
  bool point = false;
  while (i < group.size() && ((group[i] >= '0' && group[i] <= '9') || (group[i] == '.' && !point))) {
    point = point || group[i] == '.';
    ++i;
  }
  double value = 0;
  std::from_chars(group.data() + start, group.data() + i, value);  // none leaves 0
  const double rounded = std::nearbyint(value);                    // ties to even
  return static_cast<int>(negative ? -rounded : rounded);
}

namespace {

std::optional<DecodeRecord> report(std::string_view time, std::string_view snr, std::string_view audio,
                                   std::string_view message) {
  DecodeRecord record;
  record.message = message;
  if (!set_position(record)) return std::nullopt;
  record.time_text = time;
  record.snr_db = read_column_number(snr);
  record.audio_offset_hz = read_column_number(audio);
  return record;
}

// A line of the first releases: its message from column 37, a whole one.
std::optional<DecodeRecord> parse_fixed_columns(std::string_view line) {
  const std::string_view message = whole_message_at(line, kMessageColumn - 1);
  if (!is_position_message(message)) return std::nullopt;
  if (columns(line, kSlashColumn, kSlashLength).find('/') != std::string_view::npos) return std::nullopt;
  // A line of a later layout whose message ends where a report would.
  if (has_layout_shape(line)) return std::nullopt;
  // A decoded.txt line of WSJT-X 2.x has its time and message here, but
  // wider numbers in other columns than the fixed ones.
  if (const auto decoded = fit_layout(line, kDecodedSixDigitLayout.picture))
    return report(columns(line, kTimeColumn, kTimeLength), decoded->snr, decoded->audio, message);
  return report(columns(line, kTimeColumn, kTimeLength), columns(line, kSnrColumn, kSnrLength),
                columns(line, kOffsetColumn, kOffsetLength), message);
}

}  // namespace

std::optional<DecodeRecord> parse_log_line(std::string_view line) {
  // Most lines of a WSJT-X 2.x log that the scan gives have their "-" in a
  // long mode label or a number: only their own layout is tried.
  static_assert(kLogLayouts[0].picture.substr(0, 13) == "999999_hhhhhh");
  const bool wsjtx2 = begins_with_wsjtx2_date(line);
  for (const LogLayout& layout : std::span(kLogLayouts).first(wsjtx2 ? 1 : std::size(kLogLayouts))) {
    // Most lines that the scan gives have their "-" where another layout
    // has it: passed over before their columns are walked.
    if (!has_mark_at_message(line, layout, kPositionMarkInMessage, kPositionMark)) continue;
    const std::optional<LayoutFields> fields = fit_layout(line, layout.picture);
    if (!fields) continue;
    const std::string_view message = whole_message_at(line, fields->message_at);
    if (!is_position_message(message)) continue;
    return report(fields->time, fields->snr, fields->audio, message);
  }
  if (wsjtx2) return std::nullopt;
  return parse_fixed_columns(line);
}
