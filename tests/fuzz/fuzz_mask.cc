// The mask formatter and its rounding: the system's masks and masks from the
// input, filled with texts and numbers from the input (huge, tiny, negative,
// NaN, infinities, values on and next to ties).
//
// Input: a mode byte, then what the mode needs, then values until the input
// ends. Each value is a tag byte and its bytes:
//   0 text (length byte, bytes)     1 double (8 bytes, little-endian bits)
//   2 int32 (4 bytes)               3 special value (index byte)
//   4 decimal text read by strtod (length byte, bytes)
//   5 near a tie: int32 k, byte p: (k + 0.5) / 10^(p % 16), nudged by p / 16
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "report/mask_format.h"
#include "report/report_line.h"
#include "report/rounding.h"
#include "report_checks.h"

namespace {

using fuzz::number;
using fuzz::quoted;

constexpr const char* kCoordinateMask = "      +###.#####,+##.#####";
constexpr const char* kCsvMask = "\\    \\, +00.#####, +000.#####";
constexpr const char* kAddressMask = "#_.#_.#_.#";

constexpr double kSpecial[] = {0.0,
                               -0.0,
                               std::numeric_limits<double>::quiet_NaN(),
                               -std::numeric_limits<double>::quiet_NaN(),
                               HUGE_VAL,
                               -HUGE_VAL,
                               DBL_MAX,
                               -DBL_MAX,
                               DBL_MIN,
                               -DBL_MIN,
                               std::numeric_limits<double>::denorm_min(),
                               -std::numeric_limits<double>::denorm_min(),
                               0.5,
                               1.5,
                               2.5,
                               -0.5,
                               -2.5,
                               0.125,
                               2.675,
                               0.05,
                               0.15,
                               0.25,
                               0.35,
                               1e15,
                               1e15 - 0.5,
                               1e15 + 1,
                               9.999999999999999e14,
                               999999.999995,
                               99.999995,
                               -99.999995,
                               0.000005,
                               0.0000049999999999999996,
                               1e22,
                               1e-8,
                               9007199254740992.0,
                               9223372036854775808.0,
                               18446744073709551616.0,
                               1e300,
                               5e-324,
                               51.5,
                               -1.25,
                               90.99999833333333,
                               -195.3124983,
                               1.0000000000000002,
                               0.9999999999999999,
                               12345.678905,
                               4503599627370495.5,
                               2147483647.0,
                               -2147483648.0,
                               2147483648.0,
                               99999.5,
                               -0.000004,
                               0.045,
                               1e-5,
                               1e-6};

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::string_view bytes(std::size_t n) {
    n = std::min(n, size_ - std::min(pos_, size_));
    const std::string_view out(reinterpret_cast<const char*>(data_) + pos_, n);
    pos_ += n;
    return out;
  }
  std::uint64_t little_endian(int n) {
    std::uint64_t v = 0;
    for (int k = 0; k < n; ++k) v |= std::uint64_t{byte()} << (8 * k);
    return v;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Values read from the input; texts are kept alive here for the MaskValues.
struct Values {
  std::vector<std::string> texts;
  std::vector<MaskValue> values;
};

Values read_values(Input& in) {
  Values v;
  v.texts.reserve(64);
  while (!in.empty() && v.values.size() < 32) {
    const int tag = in.byte() % 6;
    if (tag == 0) {
      v.texts.emplace_back(in.bytes(in.byte()));
      v.values.emplace_back(std::string_view(v.texts.back()));
    } else if (tag == 1) {
      v.values.emplace_back(std::bit_cast<double>(in.little_endian(8)));
    } else if (tag == 2) {
      v.values.emplace_back(static_cast<int>(static_cast<std::uint32_t>(in.little_endian(4))));
    } else if (tag == 3) {
      v.values.emplace_back(kSpecial[in.byte() % std::size(kSpecial)]);
    } else if (tag == 4) {
      const std::string text(in.bytes(in.byte()));
      v.values.emplace_back(std::strtod(text.c_str(), nullptr));
    } else {
      const auto k = static_cast<std::int32_t>(static_cast<std::uint32_t>(in.little_endian(4)));
      const int p = in.byte();
      double x = (k + 0.5) / std::pow(10.0, p % 16);
      if (p / 16 % 3 == 1) x = std::nextafter(x, 0.0);
      if (p / 16 % 3 == 2) x = std::nextafter(x, HUGE_VAL);
      v.values.emplace_back(x);
    }
  }
  return v;
}

std::string rounded_text(const RoundedDecimal& r) {
  return quoted(r.integer_digits) + "." + quoted(r.decimal_digits);
}

// The rounding of one value to `places` decimals.
void check_rounding(double value, int places) {
  const RoundedDecimal digits = round_decimal_by_digits(value, places);
  const RoundedDecimal either = round_decimal(value, places);
  auto what = [&] { return "rounding " + number(value) + " to " + std::to_string(places) + " places"; };
  FUZZ_CHECK(either.integer_digits == digits.integer_digits && either.decimal_digits == digits.decimal_digits,
             what() + ": round_decimal " + rounded_text(either) + ", by digits " + rounded_text(digits));
  // Each quick way, where it answers, gives the digits' units.
  auto check_units = [&](const char* way, bool answered, std::uint64_t units) {
    if (!answered) return;
    const std::uint64_t scale = static_cast<std::uint64_t>(std::pow(10, places));
    const std::string integer = units / scale > 0 ? std::to_string(units / scale) : "";
    const std::string decimals = std::to_string(units % scale + scale).substr(1);
    FUZZ_CHECK(integer == digits.integer_digits && decimals == digits.decimal_digits,
               what() + ": " + way + " " + quoted(integer) + "." + quoted(decimals) + ", by digits " +
                   rounded_text(digits));
  };
  std::uint64_t units = 0;
  check_units("units_away_from_ties", units_away_from_ties(std::fabs(value), places, units), units);
  check_units("units_by_integers", units_by_integers(std::fabs(value), places, units), units);
  check_units("round_to_units", round_to_units(std::fabs(value), places, units), units);
  FUZZ_CHECK(!units_away_from_ties(-std::fabs(value), places, units) || value == 0,
             what() + ": a negative magnitude answered");
  if (!std::isfinite(value)) return;

  FUZZ_CHECK(digits.decimal_digits.size() == static_cast<std::size_t>(places),
             what() + ": " + rounded_text(digits));
  for (char c : digits.integer_digits + digits.decimal_digits)
    FUZZ_CHECK(c >= '0' && c <= '9', what() + ": " + rounded_text(digits));
  if (value == 0)
    FUZZ_CHECK(digits.integer_digits == "0", what() + ": " + rounded_text(digits));
  else
    FUZZ_CHECK(digits.integer_digits.empty() || digits.integer_digits[0] != '0',
               what() + ": leading zero in " + rounded_text(digits));
  const std::string text =
      (digits.integer_digits.empty() ? "0" : digits.integer_digits) + "." + digits.decimal_digits + "0";
  const double read = std::strtod(text.c_str(), nullptr);
  const double magnitude = std::fabs(value);
  FUZZ_CHECK(std::fabs(read - magnitude) <= 0.5 * std::pow(10.0, -places) * (1 + 1e-9) + magnitude * 1e-15,
             what() + ": " + rounded_text(digits) + " is not the value");
  // A whole number and a half, exact in binary and in 18 digits: ties to
  // even, except that 0.5 (no kept digit) goes up.
  if (places == 0 && magnitude > 1 && magnitude < 1e15 && magnitude - std::floor(magnitude) == 0.5) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "%.0f", std::nearbyint(magnitude));
    FUZZ_CHECK(digits.integer_digits == expected, what() + ": tie not to even: " + rounded_text(digits));
  }
}

void check_number_text(double value) {
  const std::string text = number_text(value);
  auto what = [&] { return "number_text(" + number(value) + ") = " + quoted(text); };
  FUZZ_CHECK(!text.empty() && text[0] != ' ', what());
  if (std::isnan(value)) return;
  char* end = nullptr;
  // Read wider than a double: 15 digits of the largest doubles lie past DBL_MAX.
  const long double read = std::strtold(text.c_str(), &end);
  FUZZ_CHECK(*end == '\0', what() + ": not all of it a number");
  FUZZ_CHECK(read == value || std::fabs(read - value) <= std::fabs(value) * 1e-14L, what());
  FUZZ_CHECK((text[0] == '-') == (value < 0), what() + ": sign");
  if (value == 0) FUZZ_CHECK(text == "0", what());
}

void check_format_digits(double value) {
  if (!(value >= INT32_MIN && value <= INT32_MAX) || value != std::floor(value)) return;
  const int n = static_cast<int>(value);
  const std::string text = format_digits(n);
  if (n >= 0 && n <= 99) {
    const char expected[] = {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10), 0};
    FUZZ_CHECK(text == expected, "format_digits(" + std::to_string(n) + ") = " + quoted(text));
  } else {
    FUZZ_CHECK(text == std::to_string(n), "format_digits(" + std::to_string(n) + ") = " + quoted(text));
  }
}

int as_int(const MaskValue& v) {
  if (v.kind != MaskValue::Kind::number || !(std::fabs(v.number) < 2147483647.0)) return 0;
  return static_cast<int>(v.number);
}

// The system's masks with values of the kinds they are used with.
void check_system_mask(int mode, const std::vector<MaskValue>& v) {
  auto is_number = [&](std::size_t i) { return i < v.size() && v[i].kind == MaskValue::Kind::number; };
  auto is_text = [&](std::size_t i) { return i < v.size() && v[i].kind == MaskValue::Kind::text; };
  if ((mode == 0 || mode == 1) && is_text(0) && is_text(1) && is_number(2) && is_number(3) && is_text(4)) {
    DecodeRecord r;
    r.time_text = v[0].text;
    r.message = v[1].text;
    r.latitude = v[2].number;
    r.longitude = v[3].number;
    r.snr_db = as_int(v.size() > 5 ? v[5] : MaskValue(0));
    r.dt_s = is_number(6) ? v[6].number : 0;
    r.audio_offset_hz = as_int(v.size() > 7 ? v[7] : MaskValue(0));
    fuzz::check_report_line(r, mode == 0 ? ReportStyle::log_reader : ReportStyle::live);
  } else if ((mode == 2 || mode == 3) && is_text(0) && is_number(1) && is_number(2)) {
    DecodeRecord r;
    r.time_text = v[0].text;
    r.latitude = v[1].number;
    r.longitude = v[2].number;
    fuzz::check_track_lines(r);
  } else if (mode == 4 && v.size() >= 4) {
    std::string expected;
    for (std::size_t i = 0; i < 4; ++i) {
      if (!is_number(i) || !(v[i].number >= 0 && v[i].number <= 255) ||
          v[i].number != std::floor(v[i].number))
        return;
      expected += (i ? "." : "") + std::to_string(static_cast<int>(v[i].number));
    }
    const std::string out = format_mask(kAddressMask, std::span(v.data(), 4));
    FUZZ_CHECK(out == expected, "address " + quoted(out) + ", expected " + quoted(expected));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  const int mode = in.byte() % 8;
  std::string mask;
  bool plus = false, point = false;
  int integer_places = 0, decimal_places = 0;
  switch (mode) {
    case 0: mask = kLogReportMask; break;
    case 1: mask = kLiveReportMask; break;
    case 2: mask = kCoordinateMask; break;
    case 3: mask = kCsvMask; break;
    case 4: mask = kAddressMask; break;
    case 5:
    case 6: mask = in.bytes(in.byte()); break;
    default: {
      const int flags = in.byte();
      plus = flags & 1;
      point = flags & 2;
      integer_places = in.byte() % 24;
      decimal_places = point ? in.byte() % 24 : 0;
      if (integer_places == 0 && decimal_places == 0) integer_places = 1;
      if (integer_places == 0) point = true;
      mask = "<" + std::string(plus ? "+" : "") + std::string(integer_places, '#') +
             (point ? "." + std::string(decimal_places, '#') : "") + ">";
      break;
    }
  }
  const Values read = read_values(in);
  const std::vector<MaskValue>& values = read.values;

  const std::string out = format_mask(mask, values);
  std::size_t text_bytes = 0;
  bool all_text = true;
  for (const MaskValue& v : values) {
    all_text = all_text && v.kind == MaskValue::Kind::text;
    if (v.kind == MaskValue::Kind::text) text_bytes += v.text.size();
  }
  // Only numeric fields go past the limit, and a text in one is written whole.
  if (all_text)
    FUZZ_CHECK(out.size() <= kMaskOutputLimit + text_bytes,
               "mask " + quoted(mask) + ": " + std::to_string(out.size()) + " bytes");
  if (values.empty()) FUZZ_CHECK(out.empty(), "mask " + quoted(mask) + " without values: " + quoted(out));

  if (mode <= 4) check_system_mask(mode, values);

  if (mode == 7) {
    const std::size_t width = (plus ? 1 : 0) + integer_places + (point ? 1 + decimal_places : 0);
    for (const MaskValue& v : values) {
      if (v.kind != MaskValue::Kind::number) continue;
      const std::string field = format_mask(mask, {v});
      fuzz::LineCursor c(field, "numeric field");
      c.literal("<");
      c.number_field(v.number, width, decimal_places, plus);
      c.literal(">");
      c.at_end();
    }
  }

  // Rounding: the first numbers to every number of places the quick way
  // handles, the others to two; and one more, up to 40 places.
  int numbers = 0, more_places = 9;
  for (const MaskValue& v : values) {
    if (v.kind != MaskValue::Kind::number) continue;
    if (numbers < 3) {
      for (int places = 0; places <= 8; ++places) check_rounding(v.number, places);
    } else {
      check_rounding(v.number, numbers % 9);
      check_rounding(v.number, (numbers * 4 + 5) % 9);
    }
    ++numbers;
    check_rounding(v.number, more_places);
    more_places = more_places * 7 % 41;
    check_number_text(v.number);
    check_format_digits(v.number);
  }
  return 0;
}
