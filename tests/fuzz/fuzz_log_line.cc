// Log lines as log_lister and log_tracker read them: parse_log_line, then the
// grid reference and the report line in both styles; and decode_position on
// the whole input as a message of any length.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "decode_record.h"
#include "fuzz_check.h"
#include "report_checks.h"

namespace {

using fuzz::quoted;

std::string_view column(std::string_view line, std::size_t first, std::size_t count) {
  if (first - 1 >= line.size()) return {};
  return line.substr(first - 1, count);
}

// A column group as a number: blanks, an optional sign, digits with at most
// one point; rounded half to even.
int expected_column_number(std::string_view group) {
  std::size_t i = 0;
  while (i < group.size() && group[i] == ' ') ++i;
  bool negative = false;
  if (i < group.size() && (group[i] == '+' || group[i] == '-')) negative = group[i++] == '-';
  std::string digits;
  bool point = false;
  for (; i < group.size(); ++i) {
    const char c = group[i];
    if (c >= '0' && c <= '9') {
      digits += c;
    } else if (c == '.' && !point) {
      point = true;
      digits += c;
    } else {
      break;
    }
  }
  double value = 0;
  if (!digits.empty() && digits != ".") value = std::strtod(digits.c_str(), nullptr);
  const double rounded = std::nearbyint(value);
  return static_cast<int>(negative ? -rounded : rounded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);

  // Any text as a position message.
  fuzz::check_position(line, decode_position(line));

  const std::optional<DecodeRecord> record = parse_log_line(line);
  auto what = [&] { return "parse_log_line(" + quoted(line) + ")"; };

  // The line reader keeps only the columns up to kLastUsedColumn.
  const std::optional<DecodeRecord> cut =
      parse_log_line(line.substr(0, std::min(size, kLastUsedColumn)));
  FUZZ_CHECK(record.has_value() == cut.has_value(), what() + ": a column past the last used matters");

  const std::string_view message = column(line, kMessageColumn, kMessageLength);
  const std::optional<Position> position = decode_position(message);
  const bool expected = message.size() >= 7 && message[6] == '-' &&
                        column(line, kSlashColumn, kSlashLength).find('/') == std::string_view::npos &&
                        position.has_value();
  FUZZ_CHECK(record.has_value() == expected, what() + ": report " + std::to_string(record.has_value()));
  if (!record) return 0;

  FUZZ_CHECK(record->time_text == column(line, kTimeColumn, kTimeLength), what() + ": time");
  FUZZ_CHECK(record->message == message, what() + ": message");
  FUZZ_CHECK(record->snr_db == expected_column_number(column(line, kSnrColumn, kSnrLength)),
             what() + ": SNR " + std::to_string(record->snr_db));
  FUZZ_CHECK(record->audio_offset_hz ==
                 expected_column_number(column(line, kOffsetColumn, kOffsetLength)),
             what() + ": offset " + std::to_string(record->audio_offset_hz));
  FUZZ_CHECK(record->dt_s == 0, what() + ": DT");
  FUZZ_CHECK(record->latitude == position->latitude && record->longitude == position->longitude,
             what() + ": position");
  FUZZ_CHECK(record->grid_ref.empty(), what() + ": grid reference set");

  FUZZ_CHECK(cut->time_text == record->time_text && cut->message == record->message &&
                 cut->snr_db == record->snr_db && cut->audio_offset_hz == record->audio_offset_hz &&
                 cut->latitude == record->latitude && cut->longitude == record->longitude,
             what() + ": the cut line reads differently");

  fuzz::check_report(*record, ReportStyle::log_reader);
  fuzz::check_report(*record, ReportStyle::live);
  fuzz::check_track_lines(*record);
  return 0;
}
