#include "report/rounding.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace {

// Digits a double is reduced to before it is rounded to its places.
constexpr int kSignificantDigits = 18;

// The powers of ten of the quick way.
constexpr double kScales[kQuickPlaces + 1] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};

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
constexpr std::uint64_t kPowersOfTen18 = 10 * kPowersOfTen17;

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

}  // namespace

RoundedDecimal round_decimal(double value, int places) {
  std::uint64_t units = 0;
  if (!round_to_units(std::fabs(value), places, units)) return round_decimal_by_digits(value, places);
  return digits_of_units(units, places);
}

bool round_to_units(double magnitude, int places, std::uint64_t& units) {
  return units_away_from_ties(magnitude, places, units) || units_by_integers(magnitude, places, units);
}

bool units_by_integers(double magnitude, int places, std::uint64_t& units) {
#if !defined(__SIZEOF_INT128__)  // 32-bit processors
  static_cast<void>(magnitude), static_cast<void>(places), static_cast<void>(units);
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
    if (rounded >= kPowersOfTen18) {
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

RoundedDecimal round_decimal_by_digits(double value, int places) {
  const double magnitude = std::fabs(value);
  if (magnitude == 0 || !std::isfinite(magnitude))
    return {std::string(1, '0'), std::string(static_cast<std::size_t>(places), '0')};
  RoundedDecimal r;
  // d.ddddddddddddddddde±x: the value's first 18 significant digits,
  // correctly rounded (ties to even) by the standard library.
  char buf[64];
  const auto res =
      std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, kSignificantDigits - 1);
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
    const bool up =
        half == Half::above || (half == Half::tie && (units.empty() || (units.back() - '0') % 2 == 1));
    if (up) increment_digits(units);
  }
  if (units.size() <= static_cast<std::size_t>(places)) units.insert(0, places + 1 - units.size(), '0');
  const std::size_t split = units.size() - places;
  r.decimal_digits = units.substr(split);
  const std::size_t first = units.find_first_not_of('0');
  if (first < split) r.integer_digits = units.substr(first, split - first);
  return r;
}
