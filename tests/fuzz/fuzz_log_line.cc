// Log lines as log_lister and log_tracker read them: parse_log_line, then the
// grid reference and the report line in both styles; and decode_position on
// the whole input as a message of any length. The reference reader below
// takes the fixed columns and the WSJT-X and JTDX layouts from their column lists,
// written out one by one, not from the layout pictures of the core.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "report/decode_record.h"
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

// --- The WSJT-X layouts, column by column ------------------------------------

bool is_digits(std::string_view line, std::size_t first, std::size_t last) {
  if (last > line.size()) return false;
  for (std::size_t c = first; c <= last; ++c)
    if (line[c - 1] < '0' || line[c - 1] > '9') return false;
  return true;
}

bool is_char(std::string_view line, std::size_t col, char wanted) {
  return col <= line.size() && line[col - 1] == wanted;
}

bool is_blanks(std::string_view line, std::size_t first, std::size_t last) {
  for (std::size_t c = first; c <= last; ++c)
    if (!is_char(line, c, ' ')) return false;
  return true;
}

// Columns first..last hold blanks, then "-" or not, digits, and "." with
// digits or not, to the last column.
bool is_number(std::string_view line, std::size_t first, std::size_t last) {
  if (last > line.size()) return false;
  const std::string text(line.substr(first - 1, last - first + 1));
  const std::size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return false;
  std::string rest = text.substr(begin);
  if (rest[0] == '-') rest.erase(0, 1);
  const std::size_t point = rest.find('.');
  const std::string whole = rest.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : rest.substr(point + 1);
  const auto digits = [](const std::string& t) {
    return t.find_first_not_of("0123456789") == std::string::npos;
  };
  return !whole.empty() && digits(whole) && digits(fraction);
}

bool is_symbol(std::string_view line, std::size_t col) {
  if (col > line.size()) return false;
  const unsigned char c = static_cast<unsigned char>(line[col - 1]);
  return c < 128 && std::ispunct(c);
}

struct Fields {
  std::size_t time, snr_first, snr_last, audio_first, audio_last, message;  // 1-based columns
};

// ALL.TXT, WSJT-X 2.0.1 to 3.x.
std::optional<Fields> wsjtx2_all_txt(std::string_view l) {
  if (!is_digits(l, 1, 6) || !is_char(l, 7, '_') || !is_digits(l, 8, 13) || !is_number(l, 14, 23) ||
      !is_char(l, 24, ' ') || !is_char(l, 25, 'R') || !is_char(l, 26, 'x') || !is_char(l, 27, ' '))
    return std::nullopt;
  std::size_t label = 0;  // the mode label from column 28
  while (28 + label <= l.size() && l[27 + label] != ' ') ++label;
  if (label == 0 || label > 8 || !is_blanks(l, 28 + label, 33)) return std::nullopt;
  const std::size_t s = label > 6 ? label - 6 : 0;
  if (!is_number(l, 34 + s, 37 + s) || !is_number(l, 38 + s, 42 + s) || !is_number(l, 43 + s, 47 + s) ||
      !is_char(l, 48 + s, ' '))
    return std::nullopt;
  return Fields{8, 34 + s, 37 + s, 43 + s, 47 + s, 49 + s};
}

// ALL.TXT, WSJT-X 1.4 to 2.0.0: blanks after the symbol, message column.
std::optional<Fields> wsjtx1_all_txt(std::string_view l, std::size_t blanks) {
  if (!is_digits(l, 1, 4) || !is_number(l, 5, 8) || !is_number(l, 9, 13) || !is_number(l, 14, 18) ||
      !is_char(l, 19, ' ') || !is_symbol(l, 20) || !is_blanks(l, 21, 20 + blanks))
    return std::nullopt;
  return Fields{1, 5, 8, 14, 18, 21 + blanks};
}

std::optional<Fields> wsjtx1_ft8_all_txt(std::string_view l) {
  if (!is_digits(l, 1, 6) || !is_number(l, 7, 10) || !is_number(l, 11, 15) || !is_number(l, 16, 20) ||
      !is_char(l, 21, ' ') || !is_symbol(l, 22) || !is_blanks(l, 23, 24))
    return std::nullopt;
  return Fields{1, 7, 10, 16, 20, 25};
}

// decoded.txt, WSJT-X 2.x: hhmm, message from 35; hhmmss, message from 37.
std::optional<Fields> decoded_txt_hhmm(std::string_view l) {
  if (!is_digits(l, 1, 4) || !is_number(l, 5, 8) || !is_number(l, 9, 13) || !is_number(l, 14, 19) ||
      !is_number(l, 20, 27) || !is_number(l, 28, 31) || !is_blanks(l, 32, 34))
    return std::nullopt;
  return Fields{1, 9, 13, 20, 27, 35};
}

std::optional<Fields> decoded_txt_hhmmss(std::string_view l) {
  if (!is_digits(l, 1, 6) || !is_number(l, 7, 10) || !is_number(l, 11, 15) || !is_number(l, 16, 21) ||
      !is_number(l, 22, 29) || !is_number(l, 30, 33) || !is_blanks(l, 34, 36))
    return std::nullopt;
  return Fields{1, 11, 15, 22, 29, 37};
}

// JTDX: yyyyMMdd, "_" (a blank in JTDX 18), then hhmmss for FT8 and FT4
// (message from 33) or hhmm for JT65, JT9 and T10 (message from 31).
bool has_jtdx_date(std::string_view l) {
  return is_digits(l, 1, 8) && (is_char(l, 9, '_') || is_char(l, 9, ' '));
}

std::optional<Fields> jtdx_all_txt(std::string_view l, std::size_t time_digits) {
  // hhmmss only after "_"; hhmm after "_" or JTDX 18's blank.
  const bool dated = time_digits == 6 ? is_digits(l, 1, 8) && is_char(l, 9, '_') : has_jtdx_date(l);
  const std::size_t t = 9 + time_digits;  // the last column of the time
  if (!dated || !is_digits(l, 10, t) || !is_number(l, t + 1, t + 4) || !is_number(l, t + 5, t + 9) ||
      !is_number(l, t + 10, t + 14) || !is_char(l, t + 15, ' ') || !is_symbol(l, t + 16) ||
      !is_char(l, t + 17, ' '))
    return std::nullopt;
  return Fields{10, t + 1, t + 4, t + 10, t + 14, t + 18};
}

// WSJT 9 and 10, JT65: hhmmss, sync 7-9, SNR 10-14, DT 15-19, DF 20-24,
// width 25-27, blank, symbol 29, blanks 30-35, message from 36.
std::optional<Fields> wsjt10_all_txt(std::string_view l) {
  if (!is_digits(l, 1, 6) || !is_number(l, 7, 9) || !is_number(l, 10, 14) || !is_number(l, 15, 19) ||
      !is_number(l, 20, 24) || !is_number(l, 25, 27) || !is_char(l, 28, ' ') || !is_symbol(l, 29) ||
      !is_blanks(l, 30, 35))
    return std::nullopt;
  return Fields{1, 10, 14, 20, 24, 36};
}

// Lines dated as WSJT-X 2.0.1 and later write them (yyMMdd_hhmmss).
bool has_wsjtx_date(std::string_view l) {
  return is_digits(l, 1, 6) && is_char(l, 7, '_') && is_digits(l, 8, 13);
}

struct ExpectedReport {
  std::string_view time, snr, audio, message;
};

// The 13 characters from `col` when the line ends or has a blank after them.
std::string_view whole_at(std::string_view line, std::size_t col) {
  const std::string_view text = column(line, col, 13);
  if (text.size() != 13 || (line.size() > col + 12 && line[col + 12] != ' ')) return {};
  return text;
}

// What the line must give: the first layout that it fits whose message is a
// position message; with none that it fits, nor a date of WSJT-X 2.x or
// JTDX at its start, the fixed columns (with the numbers of a 2.x
// decoded.txt line).
std::optional<ExpectedReport> expected_report(std::string_view line) {
  bool shaped = has_wsjtx_date(line) || has_jtdx_date(line);
  for (const std::optional<Fields>& f :
       {wsjtx2_all_txt(line), wsjtx1_all_txt(line, 1), wsjtx1_all_txt(line, 2), wsjtx1_ft8_all_txt(line),
        wsjt10_all_txt(line), decoded_txt_hhmm(line), jtdx_all_txt(line, 6), jtdx_all_txt(line, 4)}) {
    if (!f) continue;
    shaped = true;
    const std::string_view text = whole_at(line, f->message);
    if (!fuzz::is_sent_position(text)) continue;
    if (!fuzz::is_existing_place(text)) return std::nullopt;
    return ExpectedReport{column(line, f->time, 4),
                          column(line, f->snr_first, f->snr_last - f->snr_first + 1),
                          column(line, f->audio_first, f->audio_last - f->audio_first + 1), text};
  }
  const std::string_view message = whole_at(line, kMessageColumn);
  if (shaped || !fuzz::is_sent_position(message) || !fuzz::is_existing_place(message) ||
      column(line, kSlashColumn, kSlashLength).find('/') != std::string_view::npos)
    return std::nullopt;
  if (const auto d = decoded_txt_hhmmss(line))
    return ExpectedReport{column(line, 1, 4), column(line, d->snr_first, 5), column(line, d->audio_first, 8),
                          message};
  return ExpectedReport{column(line, 1, 4), column(line, 11, 4), column(line, 21, 5), message};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);

  // Any text as a position message.
  fuzz::check_position(line, decode_position(line));

  const std::optional<DecodeRecord> record = parse_log_line(line);
  auto what = [&] { return "parse_log_line(" + quoted(line) + ")"; };

  // The line reader keeps only the columns up to kLastUsedColumn.
  const std::optional<DecodeRecord> cut = parse_log_line(line.substr(0, std::min(size, kLastUsedColumn)));
  FUZZ_CHECK(record.has_value() == cut.has_value(), what() + ": a column past the last used matters");

  const std::optional<ExpectedReport> expected = expected_report(line);
  FUZZ_CHECK(record.has_value() == expected.has_value(),
             what() + ": report " + std::to_string(record.has_value()));
  if (!record) return 0;
  const std::optional<Position> position = decode_position(expected->message);

  FUZZ_CHECK(record->time_text == expected->time, what() + ": time");
  FUZZ_CHECK(record->message == expected->message, what() + ": message");
  FUZZ_CHECK(record->snr_db == expected_column_number(expected->snr),
             what() + ": SNR " + std::to_string(record->snr_db));
  FUZZ_CHECK(record->audio_offset_hz == expected_column_number(expected->audio),
             what() + ": offset " + std::to_string(record->audio_offset_hz));
  FUZZ_CHECK(record->dt_s == 0, what() + ": DT");
  FUZZ_CHECK(record->latitude == position->latitude && record->longitude == position->longitude,
             what() + ": position");

  FUZZ_CHECK(cut->time_text == record->time_text && cut->message == record->message &&
                 cut->snr_db == record->snr_db && cut->audio_offset_hz == record->audio_offset_hz &&
                 cut->latitude == record->latitude && cut->longitude == record->longitude,
             what() + ": the cut line reads differently");

  fuzz::check_report(*record, ReportStyle::log_reader);
  fuzz::check_report(*record, ReportStyle::live);
  fuzz::check_track_lines(*record);
  return 0;
}
