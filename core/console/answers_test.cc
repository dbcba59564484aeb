#include "console/answers.h"

#include <gtest/gtest.h>

namespace {

TEST(Answers, FirstField) {
  EXPECT_EQ(first_field(" track.kml , extra"), "track.kml");
  EXPECT_EQ(first_field("  \"a, b.kml\" rest"), "a, b.kml");
  EXPECT_EQ(first_field("\"unclosed, text"), "unclosed, text");
  EXPECT_EQ(first_field("     "), "");
  EXPECT_EQ(first_field(""), "");
  EXPECT_EQ(first_field("a,b"), "a");
  EXPECT_EQ(first_field(",b"), "");
  EXPECT_EQ(first_field("  n"), "n");
}

TEST(Answers, UpperCase) {
  EXPECT_EQ(to_upper("my.track.kml"), "MY.TRACK.KML");
  EXPECT_EQ(to_upper("tracks/t1"), "TRACKS/T1");
  EXPECT_EQ(field_answer("  n,x"), "N");
}

// Any answer whose field begins with N means no; anything else, the empty
// line included, keeps the default yes.
TEST(Answers, No) {
  for (const char* line : {"n", "N", "no", "No", "NO", "nein", "  n", "n,x", "\"no\"", "never"})
    EXPECT_TRUE(answers_no(line)) << line;
  for (const char* line : {"", "   ", "y", "Y", "yes", "ja", " ,n", "\"\"n", "\xC3\xB1"})
    EXPECT_FALSE(answers_no(line)) << line;
}

// The accented letters become capitals whole, in either encoding, and no
// byte of another character changes.
TEST(Answers, UpperCaseOfAccentedLetters) {
  const auto utf8 = TextEncoding::utf8, ansi = TextEncoding::ansi;
  EXPECT_EQ(to_upper("\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA9\xC3\xB1\xC3\xA5\xC3\xA7", utf8),
            "\xC3\x84\xC3\x96\xC3\x9C\xC3\x89\xC3\x91\xC3\x85\xC3\x87");
  // U+00E0 stays, and "ф" (D1 84) keeps its 0x84 byte.
  EXPECT_EQ(to_upper("\xC3\xA0x\xD1\x84", utf8), "\xC3\xA0X\xD1\x84");
  // A lone Latin-1 byte is no UTF-8 letter.
  EXPECT_EQ(to_upper("\xE4", utf8), "\xE4");

  EXPECT_EQ(to_upper("\xE4\xF6\xFC\xE9\xF1\xE5\xE7", ansi), "\xC4\xD6\xDC\xC9\xD1\xC5\xC7");
  EXPECT_EQ(to_upper("\xE0\x84\xC3\xA4x", ansi), "\xE0\x84\xC3\xA4X");  // the rest stays
}

}  // namespace
