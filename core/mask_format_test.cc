#include "mask_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <random>

namespace {

std::string one(std::string_view mask, MaskValue v) { return format_mask(mask, {v}); }

struct NumberCase {
  const char* mask;
  double value;
  const char* expected;
};

// Signs, widening, leading zeros and decimal carries of numeric fields.
TEST(MaskFormat, NumericFields) {
  const NumberCase cases[] = {
      {"+##.#####", 0, " +0.00000"},
      {".#####", 0, "0.00000"},  // zero has one integer digit: widens
      {".#####", 0.3, ".30000"},
      {"#.##", 0.3, "0.30"},
      {"#.##", -0.3, "-.30"},  // the only integer place holds the sign
      {"+##.#####", -0.000001, " -0.00000"},
      {"+###.#####", -1.25, "  -1.25000"},
      {"###", -5, " -5"},
      {"#", 192, "192"},
      {"+###", 1234, "+1234"},
      {".#####", 51.5, "51.50000"},
      {"+##.#####", 123.4, "+123.40000"},
      {"#####", 123456, "123456"},
      {"#", -25, "-25"},
      {"###", -123, "-123"},
      {"+##.#####", 9.999996, "+10.00000"},  // carry out of the first digit
      {"#.#####", 0.999996, "1.00000"},
      {"+###.#####", 195.3124983, "+195.31250"},
      {"+##.#", -15, "-15.0"},
      {"+##.#", 5, " +5.0"},
      {"##", 1e15, "1000000000000000"},
  };
  for (const NumberCase& c : cases)
    EXPECT_EQ(one(c.mask, c.value), c.expected) << c.mask << " " << c.value;
}

// Found by fuzzing: a minus taking the only integer place of "#" left no
// digit at all ("-").
TEST(MaskFormat, SignAloneNeverStandsForANumber) {
  EXPECT_EQ(one("#", -0.3), "-0");
  EXPECT_EQ(one("+#", -0.3), "-0");
  EXPECT_EQ(one("#.", -0.3), "-0.");
  EXPECT_EQ(one("##", -0.3), "-0");
  EXPECT_EQ(one("#.##", -0.3), "-.30");  // a decimal digit is there: no widening
}

// Rounding is decided on decimal digits, halves to even; 0.5 alone goes up.
TEST(MaskFormat, RoundsHalvesToEvenOnDecimalDigits) {
  EXPECT_EQ(one("#.##", 0.125), "0.12");
  EXPECT_EQ(one("#.##", 0.375), "0.38");
  EXPECT_EQ(one("#", 2.5), "2");
  EXPECT_EQ(one("#", 3.5), "4");
  EXPECT_EQ(one("#", 0.5), "1");
  EXPECT_EQ(one("#", 0.49), "0");
  EXPECT_EQ(one("#", -0.5), "-1");
  // 2.675 is stored as 2.67499999999999982236431605997495353221893310546875:
  // its 18 digits decide, not the binary value.
  EXPECT_EQ(one("#.##", 2.675), "2.67");
  // 1.0000000000000000555e-1 (0.1) keeps no trace of its binary tail.
  EXPECT_EQ(one("#.#################", 0.1), "0.10000000000000001");
  EXPECT_EQ(one(".##", 0.004), ".00");
  EXPECT_EQ(one(".##", 0.005), ".01");  // no kept digit decides the tie
}

TEST(MaskFormat, RoundDecimalDigits) {
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
TEST(MaskFormat, QuickRoundingAgreesWithDigits) {
  std::mt19937_64 random(16004);
  std::uniform_real_distribution<double> mantissa(1, 10);
  std::uniform_int_distribution<int> exponent(-8, 12), places(0, 8), half_units(0, 2000000);
  int answered = 0;
  for (int i = 0; i < 300000; ++i) {
    const int p = places(random);
    double v = mantissa(random) * std::pow(10.0, exponent(random));
    if (i % 3 == 0) v = (half_units(random) + 0.5) / std::pow(10.0, p);  // on or next to a tie
    if (i % 3 == 1) v = std::nextafter((half_units(random) + 0.5) / std::pow(10.0, p), 0.0);
    RoundedDecimal quick;
    if (!round_away_from_ties(v, p, quick)) continue;
    ++answered;
    const RoundedDecimal exact = round_decimal_by_digits(v, p);
    ASSERT_EQ(quick.integer_digits, exact.integer_digits) << v << " " << p;
    ASSERT_EQ(quick.decimal_digits, exact.decimal_digits) << v << " " << p;
  }
  EXPECT_GT(answered, 50000);
  RoundedDecimal r;
  EXPECT_FALSE(round_away_from_ties(0.125, 2, r));  // a tie: the digits decide
  EXPECT_FALSE(round_away_from_ties(2.675, 2, r));
}

// The rounding in integers agrees with the digits everywhere it answers:
// ties from position codes (whole units of 1/600000 degree), values on and
// next to ties at every place, and values of every size.
TEST(MaskFormat, IntegerRoundingAgreesWithDigits) {
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
    const RoundedDecimal exact = round_decimal_by_digits(v, p);
    const std::uint64_t scale = static_cast<std::uint64_t>(std::pow(10, p));
    ASSERT_EQ((exact.integer_digits.empty() ? "" : std::to_string(units / scale)) + "." +
                  std::to_string(units % scale + scale).substr(1),
              exact.integer_digits + "." + exact.decimal_digits)
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

TEST(MaskFormat, StringFieldsCutAndPad) {
  EXPECT_EQ(one("\\           \\", "ABCDEFGHIJKLMNOP"), "ABCDEFGHIJKLM");
  EXPECT_EQ(one("\\  \\|", ""), "    |");
  EXPECT_EQ(one("\\  \\|", "ab"), "ab  |");
  EXPECT_EQ(one("\\\\", "xyz"), "xy");
  EXPECT_EQ(one("!", "xyz"), "x");
  EXPECT_EQ(one("<&>", "xyz"), "<xyz>");
  EXPECT_EQ(one("\\ x", "xyz"), "\\ x");  // no closing backslash: literal
}

// The masks our files and screens use, with their values.
TEST(MaskFormat, SystemMasks) {
  EXPECT_EQ(format_mask("      +###.#####,+##.#####", {-1.25, 51.5}), "        -1.25000,+51.50000");
  EXPECT_EQ(format_mask("      +###.#####,+##.#####", {0.0, 0.0}), "        +0.00000, +0.00000");
  EXPECT_EQ(format_mask("      +###.#####,+##.#####", {-123.456789, -45.5}),
            "      -123.45679,-45.50000");
  EXPECT_EQ(format_mask("      +###.#####,+##.#####", {-195.3124983, -90.99999833333333}),
            "      -195.31250,-91.00000");
  const char* csv = "\\    \\, +00.#####, +000.#####";
  EXPECT_EQ(format_mask(csv, {"12:34", 51.5, -1.25}), "12:34 , +0051.50000, +000-1.25000");
  EXPECT_EQ(format_mask(csv, {"12:34", 51.5, 0.5}), "12:34 , +0051.50000, +000.50000");
  EXPECT_EQ(format_mask(csv, {"09:05", -33.86, 151.2}), "09:05 , +00-33.86000, +000151.20000");
  EXPECT_EQ(format_mask("#_.#_.#_.#", {192, 168, 1, 20}), "192.168.1.20");
}

TEST(MaskFormat, ValuesAndFieldsMismatch) {
  EXPECT_EQ(format_mask("#_.", {1, 2}), "1.2.");  // the mask starts over
  EXPECT_EQ(format_mask("a#b#c", {1}), "a1b");    // unused fields are not shown
  EXPECT_EQ(format_mask("plain", {1, 2}), "plain");
  EXPECT_EQ(format_mask("x_", {}), "");
  EXPECT_EQ(format_mask("#x_", {3}), "3x_");  // a final underscore is itself
  EXPECT_EQ(format_mask("+0#", {3}), "+03");  // "+0" is literal text
}

TEST(MaskFormat, OutputLimitSparesNumbers) {
  const std::string long_text(2000, 'x');
  const std::string out = format_mask("&#", {long_text, 7});
  EXPECT_EQ(out, std::string(1024, 'x') + "7");
  std::string mask(1100, 'y');
  mask += "#";
  const std::string capped = format_mask(mask, {12345});
  EXPECT_EQ(capped.size(), 1024u + 5);
  EXPECT_EQ(capped.substr(1024), "12345");
}

TEST(MaskFormat, DigitsAndNumberText) {
  EXPECT_EQ(format_digits(7), "07");
  EXPECT_EQ(format_digits(12), "12");
  EXPECT_EQ(format_digits(0), "00");
  EXPECT_EQ(number_text(16004), "16004");
  EXPECT_EQ(number_text(-3), "-3");
  EXPECT_EQ(number_text(0), "0");
}

}  // namespace
