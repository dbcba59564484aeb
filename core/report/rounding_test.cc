#include "report/rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <random>

namespace {

// A count of units of 10^-places as "integer.decimals", the integer part
// empty below 1, as the digits give it.
std::string units_text(std::uint64_t units, int places) {
  const std::uint64_t scale = static_cast<std::uint64_t>(std::pow(10, places));
  return (units / scale > 0 ? std::to_string(units / scale) : "") + "." +
         std::to_string(units % scale + scale).substr(1);
}

std::string digits_text(const RoundedDecimal& r) { return r.integer_digits + "." + r.decimal_digits; }

TEST(Rounding, RoundDecimalDigits) {
  RoundedDecimal r = round_decimal(-9.999996, 5);
  EXPECT_EQ(r.integer_digits, "10");
  EXPECT_EQ(r.decimal_digits, "00000");
  r = round_decimal(0.000001, 5);
  EXPECT_EQ(r.integer_digits, "");
  EXPECT_EQ(r.decimal_digits, "00000");
  r = round_decimal(1e-300, 2);
  EXPECT_EQ(r.integer_digits, "");
  EXPECT_EQ(r.decimal_digits, "00");
  r = round_decimal(123456789012.5, 0);
  EXPECT_EQ(r.integer_digits, "123456789012");
  EXPECT_EQ(r.decimal_digits, "");
}

// The quick rounding agrees with rounding on the 18 digits wherever it
// answers, and declines near ties, where the digits decide.
TEST(Rounding, QuickRoundingAgreesWithDigits) {
  std::mt19937_64 random(16004);
  std::uniform_real_distribution<double> mantissa(1, 10);
  std::uniform_int_distribution<int> exponent(-8, 12), places(0, 8), half_units(0, 2000000);
  int answered = 0;
  for (int i = 0; i < 300000; ++i) {
    const int p = places(random);
    double v = mantissa(random) * std::pow(10.0, exponent(random));
    if (i % 3 == 0) v = (half_units(random) + 0.5) / std::pow(10.0, p);  // on or next to a tie
    if (i % 3 == 1) v = std::nextafter((half_units(random) + 0.5) / std::pow(10.0, p), 0.0);
    std::uint64_t units = 0;
    if (!units_away_from_ties(v, p, units)) continue;
    ++answered;
    ASSERT_EQ(units_text(units, p), digits_text(round_decimal_by_digits(v, p))) << v << " " << p;
  }
  EXPECT_GT(answered, 50000);
  std::uint64_t units = 0;
  EXPECT_FALSE(units_away_from_ties(0.125, 2, units));  // a tie: the digits decide
  EXPECT_FALSE(units_away_from_ties(2.675, 2, units));
}

// The rounding in integers agrees with the digits everywhere it answers:
// ties from position codes (whole units of 1/600000 degree), values on and
// next to ties at every place, and values of every size.
TEST(Rounding, IntegerRoundingAgreesWithDigits) {
#if !defined(__SIZEOF_INT128__)
  GTEST_SKIP() << "no 128-bit integers on this processor: the digit string decides every rounding";
#endif
  std::mt19937_64 random(600000);
  std::uniform_real_distribution<double> mantissa(1, 10);
  std::uniform_int_distribution<int> exponent(-6, 15), places(0, 8), half_units(0, 2000000);
  std::uniform_int_distribution<std::int64_t> code_units(-180 * 600000, 180 * 600000);
  int answered = 0;
  for (int i = 0; i < 300000; ++i) {
    const int p = places(random);
    double v = mantissa(random) * std::pow(10.0, exponent(random));
    if (i % 4 == 0) v = (half_units(random) + 0.5) / std::pow(10.0, p);
    if (i % 4 == 1) v = std::nextafter((half_units(random) + 0.5) / std::pow(10.0, p), 0.0);
    if (i % 4 == 2) v = static_cast<double>(code_units(random)) / 600000;
    std::uint64_t units = 0;
    if (!units_by_integers(std::fabs(v), p, units)) continue;
    ++answered;
    ASSERT_EQ(units_text(units, p), digits_text(round_decimal_by_digits(v, p)))
        << std::setprecision(17) << v << " to " << p << " places";
  }
  EXPECT_GT(answered, 200000);
  std::uint64_t units = 0;
  EXPECT_TRUE(units_by_integers(2.675, 2, units));
  EXPECT_EQ(units, 267u);  // its 18 digits, 2.67499999999999982, decide
  EXPECT_TRUE(units_by_integers(0.005, 2, units));
  EXPECT_EQ(units, 1u);
  EXPECT_FALSE(units_by_integers(1e15, 0, units));
  EXPECT_FALSE(units_by_integers(1e-6, 2, units));
}

}  // namespace
