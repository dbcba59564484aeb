#include "report/decode_record.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A log line with the given columns, blanks elsewhere.
std::string log_line(std::string time, std::string snr, std::string offset, std::string message) {
  std::string line(36, ' ');
  line.replace(0, time.size(), time);
  line.replace(14 - snr.size(), snr.size(), snr);           // right-aligned in 11-14
  line.replace(25 - offset.size(), offset.size(), offset);  // right-aligned in 21-25
  return line + message;
}

TEST(DecodePosition, WorkedExample) {
  const auto p = decode_position("DECPAA-MBXAAA");
  ASSERT_TRUE(p);
  EXPECT_DOUBLE_EQ(p->latitude, 51.5);
  EXPECT_DOUBLE_EQ(p->longitude, -1.25);
  const auto zero = decode_position("AAAAAA-AAAAAA");
  ASSERT_TRUE(zero);
  EXPECT_EQ(zero->latitude, 0);
  EXPECT_EQ(zero->longitude, 0);
}

TEST(DecodePosition, HemispheresAndRange) {
  // "M" with all-zero digits is a south zero: plain zero, not -0.
  const auto south_zero = decode_position("MAAAAA-MAAAAA");
  ASSERT_TRUE(south_zero);
  EXPECT_FALSE(std::signbit(south_zero->latitude));
  EXPECT_FALSE(std::signbit(south_zero->longitude));
  // "Y" gives 12 after the subtraction: still south, 12*25^5 units = 195.3125.
  const auto y = decode_position("AAAAAA-YAAAAA");
  ASSERT_TRUE(y);
  EXPECT_DOUBLE_EQ(y->longitude, -195.3125);
  // Largest longitude of well-formed letters, no range test.
  const auto east = decode_position("AAAAAA-LYYYYY");
  ASSERT_TRUE(east);
  EXPECT_NEAR(east->longitude, 195.3124983, 1e-7);
  // Latitude: whole degrees 90 pass (90.5 decodes), 91 is rejected.
  const auto ninety = decode_position("FOAFAA-AAAAAA");  // 54300000 units = 90.5
  ASSERT_TRUE(ninety);
  EXPECT_DOUBLE_EQ(ninety->latitude, 90.5);
  EXPECT_FALSE(decode_position("FOTKAA-AAAAAA"));  // 54600000 units = 91
  EXPECT_FALSE(decode_position("YAAAAA-AAAAAA"));  // 195 degrees south
}

TEST(DecodePosition, UnvalidatedCharacters) {
  // Lower case and digits contribute their code minus 65.
  const auto lower = decode_position("AAAAAa-AAAAAA");
  ASSERT_TRUE(lower);
  EXPECT_DOUBLE_EQ(lower->latitude, 32.0 / 600000);
  const auto digit = decode_position("AAAAA0-AAAAAA");  // '0' is 48: -17 units
  ASSERT_TRUE(digit);
  EXPECT_NEAR(digit->latitude, -17.0 / 600000, 1e-12);
  // A missing letter counts -66.
  const auto short_text = decode_position("AAAAAA-AAAAA");
  ASSERT_TRUE(short_text);
  EXPECT_NEAR(short_text->longitude, -66.0 / 600000, 1e-12);
}

TEST(ParseLogLine, WorkedExample) {
  const auto r = parse_log_line(log_line("1234", "-15", "812", "DECPAA-MBXAAA"));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->time_text, "1234");
  EXPECT_EQ(r->snr_db, -15);
  EXPECT_EQ(r->audio_offset_hz, 812);
  EXPECT_EQ(r->message, "DECPAA-MBXAAA");
  EXPECT_DOUBLE_EQ(r->latitude, 51.5);
  EXPECT_DOUBLE_EQ(r->longitude, -1.25);
}

TEST(ParseLogLine, LinesThatAreNotReports) {
  const std::string good = log_line("1234", "-15", "812", "DECPAA-MBXAAA");
  EXPECT_FALSE(parse_log_line(good.substr(0, 42)));  // hyphen position missing
  EXPECT_TRUE(parse_log_line(good.substr(0, 43)));   // the rest counts as -66
  EXPECT_FALSE(parse_log_line(""));
  EXPECT_FALSE(parse_log_line(log_line("1234", "-15", "812", "CQ G4ABC IO91")));
  std::string slashed = good;
  slashed[14] = '/';  // column 15
  EXPECT_FALSE(parse_log_line(slashed));
  slashed = good;
  slashed[10] = '/';  // column 11
  EXPECT_FALSE(parse_log_line(slashed));
  EXPECT_FALSE(parse_log_line(log_line("1234", "-15", "812", "YAAAAA-AAAAAA")));
}

TEST(ParseLogLine, ReportWithShortAndOddColumns) {
  const auto r = parse_log_line(log_line("12", "", "", "DECPAA-MBXAAA"));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->time_text, "12  ");
  EXPECT_EQ(r->snr_db, 0);
  EXPECT_EQ(r->audio_offset_hz, 0);
  // Only 13 characters of message are taken.
  const auto longer = parse_log_line(log_line("1234", "1", "2", "DECPAA-MBXAAAXYZ"));
  ASSERT_TRUE(longer);
  EXPECT_EQ(longer->message, "DECPAA-MBXAAA");
  // Five-digit offsets are held as read.
  const auto wide = parse_log_line(log_line("1234", "1", "99999", "DECPAA-MBXAAA"));
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->audio_offset_hz, 99999);
}

TEST(ReadColumnNumber, Lenient) {
  EXPECT_EQ(read_column_number(" -12"), -12);
  EXPECT_EQ(read_column_number("7.5"), 8);
  EXPECT_EQ(read_column_number("6.5"), 6);
  EXPECT_EQ(read_column_number("-2.5"), -2);
  EXPECT_EQ(read_column_number("12 "), 12);
  EXPECT_EQ(read_column_number("12x"), 12);
  EXPECT_EQ(read_column_number("    "), 0);
  EXPECT_EQ(read_column_number(""), 0);
  EXPECT_EQ(read_column_number(" - 5"), 0);
  EXPECT_EQ(read_column_number("+7"), 7);
  EXPECT_EQ(read_column_number("1.2.3"), 1);
  EXPECT_EQ(read_column_number(".5"), 0);
  EXPECT_EQ(read_column_number("-0.4"), 0);
}

}  // namespace
