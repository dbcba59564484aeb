#include "answers.h"

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
  // Accented letters of the console's set become capitals, whole.
  EXPECT_EQ(to_upper("\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA9\xC3\xB1\xC3\xA5\xC3\xA7"),
            "\xC3\x84\xC3\x96\xC3\x9C\xC3\x89\xC3\x91\xC3\x85\xC3\x87");
  // No byte inside another multi-byte character changes: U+00E0 stays, and
  // "ф" (D1 84) keeps its 0x84 byte.
  EXPECT_EQ(to_upper("\xC3\xA0x\xD1\x84"), "\xC3\xA0X\xD1\x84");
  EXPECT_EQ(field_answer("  n,x"), "N");
}

}  // namespace
