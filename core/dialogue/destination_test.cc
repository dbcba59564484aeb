#include "dialogue/destination.h"

#include <gtest/gtest.h>

#include "report/mask_format.h"

namespace {

TEST(Destination, DefaultNameFromTheClock) {
  EXPECT_EQ(default_destination_name({2023, 12, 7, 5, 15, 42}), "231207_0515.KML");
  EXPECT_EQ(default_destination_name({2026, 1, 31, 23, 59, 0}), "260131_2359.KML");
  EXPECT_EQ(default_destination_name({2000, 2, 29, 0, 0, 0}), "000229_0000.KML");
  EXPECT_EQ(format_digits(7), "07");
  EXPECT_EQ(format_digits(12), "12");
  EXPECT_EQ(format_digits(0), "00");
}

TEST(Destination, Answers) {
  const std::string def = "231207_0515.KML";
  EXPECT_EQ(destination_from_answer("", def), def);
  EXPECT_EQ(destination_from_answer("   ", def), def);
  EXPECT_EQ(destination_from_answer("track", def), "TRACK.KML");
  EXPECT_EQ(destination_from_answer("my.trk", def), "MY.TRK");
  EXPECT_EQ(destination_from_answer("a,b", def), "A.KML");
  EXPECT_EQ(destination_from_answer(" \"x, y\" z", def), "X, Y.KML");
}

// Where file names are case-sensitive, folders keep their letters; where
// they are not, the whole answer is taken in capitals.
TEST(Destination, CapitalsInFoldersOnlyWhereCaseDoesNotMatter) {
  const std::string def = "231207_0515.KML";
  const auto file_name = CapitalsIn::file_name, whole = CapitalsIn::whole_answer;
  EXPECT_EQ(destination_from_answer("tracks/t1", def, file_name, "/"), "tracks/T1.KML");
  EXPECT_EQ(destination_from_answer("./out.kml", def, file_name, "/"), "./OUT.KML");
  EXPECT_EQ(destination_from_answer("tracks\\t1", def, whole, "\\/:"), "TRACKS\\T1.KML");
}

// A "." in a folder name is no "." of the file name: ".KML" is still added.
TEST(Destination, DotsInFoldersDoNotCount) {
  const std::string def = "231207_0515.KML";
  const auto file_name = CapitalsIn::file_name, whole = CapitalsIn::whole_answer;
  EXPECT_EQ(destination_from_answer("data.old/track", def, file_name, "/"), "data.old/TRACK.KML");
  EXPECT_EQ(destination_from_answer("./run", def, file_name, "/"), "./RUN.KML");
  EXPECT_EQ(destination_from_answer("tracks.2024/leg1.kml", def, file_name, "/"), "tracks.2024/LEG1.KML");
  EXPECT_EQ(destination_from_answer("c:\\data.old\\track", def, whole, "\\/:"), "C:\\DATA.OLD\\TRACK.KML");
  EXPECT_EQ(destination_from_answer("d:my.trk", def, whole, "\\/:"), "D:MY.TRK");
}

}  // namespace
