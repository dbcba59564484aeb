// Decimal rounding of doubles as the masks show numbers: to nearest, ties to
// even, decided on the value's first 18 significant decimal digits (so 2.675,
// stored just below, shows as 2.67 at two places, as the digits say).
#ifndef REPORT_ROUNDING_H
#define REPORT_ROUNDING_H

#include <cstdint>
#include <string>

// Places up to which a rounded value is given as a count of units, and the
// units in one whole at each place.
inline constexpr int kQuickPlaces = 8;
inline constexpr std::uint64_t kPowersOfTen[kQuickPlaces + 1] = {1,      10,      100,      1000,     10000,
                                                                 100000, 1000000, 10000000, 100000000};

// The magnitude of a value rounded to some places: integer digits (no
// leading zeros; empty below 1, "0" only for an exact zero) and exactly that
// many decimal digits.
struct RoundedDecimal {
  std::string integer_digits;
  std::string decimal_digits;
};
RoundedDecimal round_decimal(double value, int places);

// The same as a count of units of 10^-places (places 0 to kQuickPlaces), for
// a positive finite magnitude: the quick way when it answers; false (nothing
// done) when only the digit string can decide.
bool round_to_units(double magnitude, int places, std::uint64_t& units);

// The ways round_to_units tries in turn, and the reference they must agree
// with; for their tests.
//   In doubles, for a magnitude clearly away from a tie at `places`.
bool units_away_from_ties(double magnitude, int places, std::uint64_t& units);
//   On the 18 digits in 128-bit integers from the binary value, for
//   magnitudes from 1e-5 up to 1e15.
bool units_by_integers(double magnitude, int places, std::uint64_t& units);
//   On the 18 digits as a string, for any value and any places.
RoundedDecimal round_decimal_by_digits(double value, int places);

#endif  // REPORT_ROUNDING_H
