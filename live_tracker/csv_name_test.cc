#include <gtest/gtest.h>

#include "live_tracker/live_tracker.h"

namespace {

// The CSV name is cut at the first "." of the file name, never of a folder.
TEST(CsvName, CutInTheFileNameOnly) {
  EXPECT_EQ(csv_name_for("TRACK.KML", "/"), "TRACK.CSV");
  EXPECT_EQ(csv_name_for("MY.TRACK.KML", "/"), "MY.CSV");
  EXPECT_EQ(csv_name_for("tracks.2024/LEG1.KML", "/"), "tracks.2024/LEG1.CSV");
  EXPECT_EQ(csv_name_for("./RUN.KML", "/"), "./RUN.CSV");
  EXPECT_EQ(csv_name_for("../a.b/.HIDDEN", "/"), "../a.b/.CSV");
  EXPECT_EQ(csv_name_for("C:\\DATA.OLD\\TRACK.KML", "\\/:"), "C:\\DATA.OLD\\TRACK.CSV");
  EXPECT_EQ(csv_name_for("D:RUN.KML", "\\/:"), "D:RUN.CSV");
}

}  // namespace
