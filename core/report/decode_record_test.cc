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
  // The poles and the date line pass, both ways: FNGAAA is 5, 13, 6 in
  // base 25, 54000000 units, 90 degrees; LBMAAA 11, 1, 12: 180 degrees.
  const auto poles = decode_position("FNGAAA-LBMAAA");
  ASSERT_TRUE(poles);
  EXPECT_EQ(poles->latitude, 90);
  EXPECT_EQ(poles->longitude, 180);
  const auto south_west = decode_position("RNGAAA-XBMAAA");
  ASSERT_TRUE(south_west);
  EXPECT_EQ(south_west->latitude, -90);
  EXPECT_EQ(south_west->longitude, -180);
  // One unit beyond, 90.5 degrees (FOAFAA) and the largest the letters
  // write (Y, 195 degrees) cannot exist.
  for (const char* beyond :
       {"FNGAAB-AAAAAA", "RNGAAB-AAAAAA", "FOAFAA-AAAAAA", "AAAAAA-LBMAAB", "AAAAAA-XBMAAB", "AAAAAA-LYYYYY",
        "AAAAAA-YAAAAA", "YAAAAA-AAAAAA", "DYYYYY-YYYYYY"})
    EXPECT_FALSE(decode_position(beyond)) << beyond;
}

// Only what the sender writes: six letters A to Y, "-", six letters A to Y.
TEST(DecodePosition, NothingButTheSendersLetters) {
  for (const char* text :
       {"AAAAAa-AAAAAA", "AAAAA0-AAAAAA", "123456-789012", "AAAAAZ-AAAAAA", "AAAAAA-AAAAZA", "AAA/AA-AAAAAA",
        "AAA AA-AAAAAA", "AAAAAA-AAAAA", "DECPAA-MB", "DECPAA-", "AAAAAA-", "DECPAA-MBXAAAZZZ",
        "DECPAA-MBXAAA ", " DECPAA-MBXAAA", "DECPAAAMBXAAA", ""}) {
    EXPECT_FALSE(is_position_message(text)) << text;
    EXPECT_FALSE(decode_position(text)) << text;
  }
  EXPECT_TRUE(is_position_message("YYYYYY-AAAAAA"));
  // JTDX pads the messages of its datagrams to 23 characters.
  EXPECT_EQ(sent_message("DECPAA-MBXAAA          "), "DECPAA-MBXAAA");
  EXPECT_EQ(sent_message("DECPAA-MB"), "DECPAA-MB");
  EXPECT_EQ(sent_message("   "), "");
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
  EXPECT_FALSE(parse_log_line(good.substr(0, 48)));  // a letter short
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
  // A longer message is an ordinary one; a blank may follow.
  EXPECT_FALSE(parse_log_line(log_line("1234", "1", "2", "DECPAA-MBXAAAXYZ")));
  EXPECT_TRUE(parse_log_line(log_line("1234", "1", "2", "DECPAA-MBXAAA   0.0")));
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
