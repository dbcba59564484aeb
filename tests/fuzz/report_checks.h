// Checks shared by the log line and datagram targets: the position code, the
// grid reference and the report line, each against what it must say.
#ifndef TESTS_FUZZ_REPORT_CHECKS_H
#define TESTS_FUZZ_REPORT_CHECKS_H

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "display_checks.h"
#include "fuzz_check.h"
#include "report/decode_record.h"
#include "report/mask_format.h"
#include "report/national_grid.h"
#include "report/report_line.h"

namespace fuzz {

inline std::string number(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

// --- Position code ---------------------------------------------------------

// Whether the text is what the sender writes: 13 characters, "-" the 7th,
// each other one a letter from A to Y.
inline bool is_sent_position(std::string_view text) {
  if (text.size() != 13) return false;
  for (std::size_t i = 0; i < 13; ++i)
    if (i == 6 ? text[i] != '-' : (text[i] < 'A' || text[i] > 'Y')) return false;
  return true;
}

// Units of 1/600000 degree that six letters from text[first] stand for, with
// the hemisphere.
inline long long position_units(std::string_view text, std::size_t first, bool& south_or_west) {
  auto code = [&](std::size_t i) -> long long { return static_cast<unsigned char>(text[i]); };
  long long lead = code(first) - 'A';
  south_or_west = lead >= 12;
  if (south_or_west) lead -= 12;
  long long units = lead;
  for (std::size_t k = 1; k < 6; ++k) units = units * 25 + (code(first + k) - 'A');
  return units;
}

inline long long floor_div(long long a, long long b) { return a / b - ((a % b != 0 && a < 0) ? 1 : 0); }

// A place exists within 90 degrees of latitude and 180 of longitude.
inline bool is_existing_place(std::string_view message) {
  bool south = false, west = false;
  return position_units(message, 0, south) <= 90LL * 600000 &&
         position_units(message, 7, west) <= 180LL * 600000;
}

inline void check_position(std::string_view message, const std::optional<Position>& got) {
  auto what = [&] { return "decode_position(" + quoted(message) + ")"; };
  const bool present = is_sent_position(message) && is_existing_place(message);
  FUZZ_CHECK(got.has_value() == present, what() + ": present " + std::to_string(got.has_value()));
  if (!got) return;
  bool south = false, west = false;
  const long long lat_units = position_units(message, 0, south);
  const long long lon_units = position_units(message, 7, west);
  const double lat = (south ? -1.0 : 1.0) * static_cast<double>(lat_units) / 600000;
  const double lon = (west ? -1.0 : 1.0) * static_cast<double>(lon_units) / 600000;
  FUZZ_CHECK(std::fabs(got->latitude - lat) <= 1e-9 * std::fmax(1, std::fabs(lat)),
             what() + ": latitude " + number(got->latitude) + ", expected " + number(lat));
  FUZZ_CHECK(std::fabs(got->longitude - lon) <= 1e-9 * std::fmax(1, std::fabs(lon)),
             what() + ": longitude " + number(got->longitude) + ", expected " + number(lon));
  FUZZ_CHECK(!(got->latitude == 0 && std::signbit(got->latitude)), what() + ": -0 latitude");
  FUZZ_CHECK(!(got->longitude == 0 && std::signbit(got->longitude)), what() + ": -0 longitude");
}

// --- National Grid reference -------------------------------------------------

// The reference must name the 100 km square and the digits that put the point
// back within half a unit of the last digit (the digits may roll over to
// 10^digits next to a square's edge).
inline void check_grid_reference(double lat, double lon, int digits, const std::string& ref) {
  auto what = [&] {
    return "to_national_grid(" + number(lat) + ", " + number(lon) + ", " + std::to_string(digits) +
           ") = " + quoted(ref);
  };
  const bool in_window = lat >= 49 && lat <= 61 && lon >= -8 && lon <= static_cast<double>(1.8f);
  if (!in_window) {
    FUZZ_CHECK(ref.empty(), what() + ": outside the window");
    return;
  }
  const GridPoint p = project_to_grid(lat, lon);
  const bool on_grid = p.easting > 0 && p.easting <= 700000 && p.northing > 0 && p.northing <= 1400000;
  if (!on_grid) {
    FUZZ_CHECK(ref == "Not valid", what() + ": off the grid");
    return;
  }
  const std::size_t d = static_cast<std::size_t>(digits);
  FUZZ_CHECK(ref.size() >= 2 + 2 * d && ref.size() <= 2 + 2 * d + 2, what() + ": length");
  const char first = ref[0], second = ref[1];
  FUZZ_CHECK(second >= 'A' && second <= 'Z' && second != 'I', what() + ": second letter");
  int first_value;
  switch (first) {
    case 'S': first_value = 0; break;
    case 'T': first_value = 1; break;
    case 'N': first_value = -5; break;
    case 'O': first_value = -4; break;
    case 'H': first_value = -10; break;
    case 'J': first_value = -9; break;
    default: FUZZ_CHECK(false, what() + ": first letter"); return;
  }
  const int east_500 = ((first_value % 5) + 5) % 5;
  const int north_500 = (east_500 - first_value) / 5;
  const int index = second - 'A' - (second > 'I' ? 1 : 0);
  const double square_e = 5 * east_500 + index % 5;
  const double square_n = 5 * north_500 + (4 - index / 5);
  const std::string figures = ref.substr(2);
  for (char c : figures) FUZZ_CHECK(c >= '0' && c <= '9', what() + ": not a digit");
  const double unit = digits == 3 ? 100 : 10;
  const double top = std::pow(10.0, digits);
  bool fits = false;
  for (std::size_t east_len = d; east_len <= d + 1 && !fits; ++east_len) {
    if (figures.size() < east_len) break;
    const std::size_t north_len = figures.size() - east_len;
    if (north_len < d || north_len > d + 1) continue;
    const double east = std::atof(figures.substr(0, east_len).c_str());
    const double north = std::atof(figures.substr(east_len).c_str());
    if (east > top || north > top) continue;
    if ((east_len > d && east != top) || (north_len > d && north != top)) continue;
    fits = std::fabs(square_e * 100000 + east * unit - p.easting) <= unit / 2 + 1e-6 &&
           std::fabs(square_n * 100000 + north * unit - p.northing) <= unit / 2 + 1e-6;
  }
  FUZZ_CHECK(fits, what() + ": does not point back to easting " + number(p.easting) + " northing " +
                       number(p.northing));
}

// --- Report line ---------------------------------------------------------------

// Reads a report line field by field.
class LineCursor {
 public:
  // `label` names the line in a failure report.
  LineCursor(const std::string& line, const char* label) : line_(line), label_(label) {}

  // A string field: the text cut or padded to `width`.
  void text(std::string_view value, std::size_t width) {
    std::string expected(value.substr(0, width));
    expected.resize(width, ' ');
    FUZZ_CHECK(line_.compare(pos_, width, expected) == 0,
               what_() + ": at " + std::to_string(pos_) + " expected " + quoted(expected));
    pos_ += width;
  }

  void literal(std::string_view expected) {
    FUZZ_CHECK(line_.compare(pos_, expected.size(), expected) == 0,
               what_() + ": at " + std::to_string(pos_) + " expected " + quoted(expected));
    pos_ += expected.size();
  }

  // A numeric field at least `width` wide (wider when the value needs it)
  // with `places` decimals, within half a unit of the last place.
  void number_field(double value, std::size_t width, int places, bool plus) {
    auto at = [&] { return what_() + ": number " + fuzz::number(value) + " at " + std::to_string(pos_); };
    const char* start = line_.c_str() + pos_;
    std::size_t blanks = 0;
    while (start[blanks] == ' ') ++blanks;
    char* end = nullptr;
    const double read = std::strtod(start + blanks, &end);
    const std::size_t used = static_cast<std::size_t>(end - start);
    FUZZ_CHECK(end != start + blanks,
               at() + ": no digit in the field " + quoted(std::string_view(start).substr(0, blanks + 12)));
    FUZZ_CHECK(used >= width, at() + ": field narrower than its mask");
    FUZZ_CHECK(used == width || blanks == 0, at() + ": widened field padded");
    const std::string body(start + blanks, static_cast<const char*>(end));
    if (std::isnan(value)) {
      FUZZ_CHECK(std::isnan(read), at() + ": " + quoted(body));
    } else if (std::isinf(value)) {
      FUZZ_CHECK(read == value, at() + ": " + quoted(body));
    } else {
      const double tolerance = 0.5 * std::pow(10.0, -places) + std::fabs(value) * 1e-15;
      FUZZ_CHECK(std::fabs(read - value) <= tolerance, at() + ": reads " + quoted(body));
      const std::size_t point = body.find('.');
      const std::size_t decimals = point == std::string::npos ? 0 : body.size() - point - 1;
      FUZZ_CHECK(decimals == static_cast<std::size_t>(places), at() + ": decimals in " + quoted(body));
    }
    FUZZ_CHECK((value < 0) == (body[0] == '-'), at() + ": sign of " + quoted(body));
    if (plus) FUZZ_CHECK(body[0] == '+' || body[0] == '-', at() + ": no sign in " + quoted(body));
    pos_ += used;
  }

  void at_end() {
    FUZZ_CHECK(pos_ == line_.size(),
               what_() + ": " + std::to_string(line_.size() - pos_) + " bytes past the last field");
  }

 private:
  std::string what_() const { return std::string(label_) + " " + quoted(line_); }

  const std::string& line_;
  const char* label_;
  std::size_t pos_ = 0;
};

// The grid reference digits of each style.
inline int grid_digits_of(ReportStyle style) { return style == ReportStyle::live ? 3 : 4; }

inline void check_report_line(const DecodeRecord& r, ReportStyle style) {
  const std::string line = report_line(r, style);
  const std::string grid_ref = to_national_grid(r.latitude, r.longitude, grid_digits_of(style));
  LineCursor c(line, style == ReportStyle::live ? "live report" : "log report");
  if (style == ReportStyle::log_reader) {
    c.text(r.time_text, 4);
    c.literal("   ");
    c.text(r.message, 13);
    c.literal("  ");
    c.number_field(r.latitude, 9, 5, true);
    c.literal(" ");
    c.number_field(r.longitude, 10, 5, true);
    c.literal("  ");
    c.text(grid_ref, 10);
    c.literal("  ");
    c.number_field(r.snr_db, 5, 1, true);
    c.literal("dB  ");
    c.number_field(r.audio_offset_hz, 4, 0, true);
    c.literal("Hz ");
    c.text(r.time_text, 4);
    c.literal(" ");
  } else {
    c.text(r.time_text, 5);
    c.literal("  ");
    c.text(r.message, 13);
    c.literal("   ");
    c.number_field(r.latitude, 9, 5, true);
    c.literal(" ");
    c.number_field(r.longitude, 10, 5, true);
    c.literal("  ");
    c.text(grid_ref, 10);
    c.literal("   ");
    c.number_field(r.snr_db, 3, 0, false);
    c.literal("dB ");
    c.number_field(r.dt_s, 4, 2, false);
    c.literal("s ");
    c.number_field(r.audio_offset_hz, 5, 0, false);
    c.literal("Hz");
  }
  c.at_end();
  check_display_text(line);
}

// The lines of the track files for a position: the KML coordinates
// (longitude, latitude) and the live tracker's CSV line.
inline void check_track_lines(const DecodeRecord& r) {
  const std::string kml = format_mask("      +###.#####,+##.#####", {r.longitude, r.latitude});
  LineCursor k(kml, "KML coordinates");
  k.literal("      ");
  k.number_field(r.longitude, 10, 5, true);
  k.literal(",");
  k.number_field(r.latitude, 9, 5, true);
  k.at_end();

  const std::string csv =
      format_mask("\\    \\, +00.#####, +000.#####", {r.time_text, r.latitude, r.longitude});
  LineCursor c(csv, "CSV line");
  c.text(r.time_text, 6);
  c.literal(", +00");
  c.number_field(r.latitude, 6, 5, false);
  c.literal(", +000");
  c.number_field(r.longitude, 6, 5, false);
  c.at_end();
}

// The record as the programs report it: its grid reference, then the line.
inline void check_report(const DecodeRecord& record, ReportStyle style) {
  const int digits = grid_digits_of(style);
  check_grid_reference(record.latitude, record.longitude, digits,
                       to_national_grid(record.latitude, record.longitude, digits));
  check_report_line(record, style);
}

}  // namespace fuzz

#endif  // TESTS_FUZZ_REPORT_CHECKS_H
