#include "kml_track.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

namespace {

class KmlTrackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = (std::filesystem::temp_directory_path() /
             ("kml_track_test_" + std::to_string(std::random_device{}()) + ".KML"))
                .string();
  }
  void TearDown() override { std::filesystem::remove(name_); }
  // The file's lines, each of which must end with CR LF.
  std::vector<std::string> lines() {
    std::ifstream in(name_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
      out.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return out;
  }
  std::string name_;
};

TEST(KmlCoordinates, LineLayout) {
  EXPECT_EQ(kml_coordinate_line(51.5, -1.25), "        -1.25000,+51.50000");
  EXPECT_EQ(kml_coordinate_line(-5.25, 9.5), "        +9.50000, -5.25000");
  EXPECT_EQ(kml_coordinate_line(0.000004, -0.000001), "        -0.00000, +0.00000");
  EXPECT_EQ(kml_coordinate_line(-45.5, -123.456789), "      -123.45679,-45.50000");
  EXPECT_EQ(kml_coordinate_line(90.99999833333333, 195.3124983), "      +195.31250,+91.00000");
}

TEST_F(KmlTrackTest, TrackOfTwoPoints) {
  KmlTrack track;
  track.out = create_output(name_);
  add_track_point(track, {51.5, -1.25});
  add_track_point(track, {52, 0.5});
  finish_track(track);
  EXPECT_FALSE(track.out.lost_lines);
  const std::vector<std::string> l = lines();
  ASSERT_EQ(l.size(), 27u + 2 + 14);
  EXPECT_EQ(l[0], "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  EXPECT_EQ(l[12], "      <name>Start</name>");
  EXPECT_EQ(l[16], "        -1.25000,+51.50000");  // the Start point
  EXPECT_EQ(l[26], "     <coordinates>");
  EXPECT_EQ(l[27], "        -1.25000,+51.50000");  // the path
  EXPECT_EQ(l[28], "        +0.50000,+52.00000");
  EXPECT_EQ(l[29], "        </coordinates>");
  EXPECT_EQ(l[33], "      <name>End</name>");
  EXPECT_EQ(l[37], "        +0.50000,+52.00000");  // the End point
  EXPECT_EQ(l.back(), "   </kml>");
}

TEST_F(KmlTrackTest, SinglePointIsStartAndEnd) {
  KmlTrack track;
  track.out = create_output(name_);
  add_track_point(track, {51.5, -1.25});
  finish_track(track);
  const std::vector<std::string> l = lines();
  ASSERT_EQ(l.size(), 42u);
  EXPECT_EQ(l[16], l[27]);
  EXPECT_EQ(l[27], l[36]);
}

TEST_F(KmlTrackTest, NoPointGivesAnEmptyDocument) {
  KmlTrack track;
  track.out = create_output(name_);
  finish_track(track);
  const std::vector<std::string> l = lines();
  ASSERT_EQ(l.size(), 13u);
  EXPECT_EQ(l[10], "       </Style>");
  EXPECT_EQ(l[11], "   </Document>");
  EXPECT_EQ(l[12], "   </kml>");
}

TEST(KmlTrackFailures, FullDiskIsNoticed) {
  KmlTrack track;
  track.out = create_output("/dev/full");
  ASSERT_TRUE(track.out.file);
  add_track_point(track, {51.5, -1.25});
  finish_track(track);
  EXPECT_TRUE(track.out.lost_lines);
}

}  // namespace
