#include "report/mask_format.h"

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
  for (const NumberCase& c : cases) EXPECT_EQ(one(c.mask, c.value), c.expected) << c.mask << " " << c.value;
}

// A minus that takes the only integer place still leaves a digit: the field
// widens to "-0" rather than show a sign alone.
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
  EXPECT_EQ(format_mask("      +###.#####,+##.#####", {-123.456789, -45.5}), "      -123.45679,-45.50000");
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

TEST(MaskFormat, NumberText) {
  EXPECT_EQ(number_text(16004), "16004");
  EXPECT_EQ(number_text(-3), "-3");
  EXPECT_EQ(number_text(0), "0");
}

}  // namespace
