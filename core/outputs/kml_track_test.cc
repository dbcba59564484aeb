#include "outputs/kml_track.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>

#include <filesystem>
#include <fstream>
#include <iterator>
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
  EXPECT_EQ(kml_coordinate_line(-5.25, 9.5), "        +9.50000,-5.25000");
  EXPECT_EQ(kml_coordinate_line(0.000004, -0.000001), "        -0.00000,+0.00000");
  EXPECT_EQ(kml_coordinate_line(-45.5, -123.456789), "      -123.45679,-45.50000");
  EXPECT_EQ(kml_coordinate_line(90.99999833333333, 195.3124983), "      +195.31250,+91.00000");
}

TEST_F(KmlTrackTest, TrackOfTwoPoints) {
  KmlTrack track;
  open_track(track, name_);
  start_track(track);
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
  open_track(track, name_);
  start_track(track);
  add_track_point(track, {51.5, -1.25});
  finish_track(track);
  const std::vector<std::string> l = lines();
  ASSERT_EQ(l.size(), 42u);
  EXPECT_EQ(l[16], l[27]);
  EXPECT_EQ(l[27], l[36]);
}

// Points queued go in together at the write, the first batch with the
// Start placemark: the document is the one of the same points added one at
// a time, and a reader finds the state before the batch until then.
TEST_F(KmlTrackTest, QueuedPointsGiveTheDocumentOfSinglePoints) {
  const Position points[] = {{51.5, -1.25}, {52, 0.5}, {-5.25, 9.5}, {53, 0.75}};
  KmlTrack single;
  open_track(single, name_);
  start_track(single);
  for (const Position& p : points) add_track_point(single, p);
  finish_track(single);
  const std::vector<std::string> expected = lines();
  ASSERT_EQ(expected.size(), 27u + 4 + 14);

  KmlTrack batched;
  open_track(batched, name_);
  start_track(batched);
  queue_point(batched, prepare_point(points[0]));
  queue_point(batched, prepare_point(points[1]));
  EXPECT_EQ(lines().size(), 13u);  // the empty document yet
  write_queued_points(batched);
  EXPECT_EQ(lines().size(), 27u + 2 + 14);
  write_queued_points(batched);  // none queued: nothing changes
  queue_point(batched, prepare_point(points[2]));
  queue_point(batched, prepare_point(points[3]));
  write_queued_points(batched);
  finish_track(batched);
  EXPECT_FALSE(batched.out.lost_lines);
  EXPECT_EQ(lines(), expected);
}

TEST_F(KmlTrackTest, NoPointGivesAnEmptyDocument) {
  KmlTrack track;
  open_track(track, name_);
  start_track(track);
  finish_track(track);
  const std::vector<std::string> l = lines();
  ASSERT_EQ(l.size(), 13u);
  EXPECT_EQ(l[10], "       </Style>");
  EXPECT_EQ(l[11], "   </Document>");
  EXPECT_EQ(l[12], "   </kml>");
}

// A working copy that a killed run left beside the track is ours: removed
// when the track is opened again. Another file of that name is not: the
// track is refused, and both are left as they are.
TEST_F(KmlTrackTest, LeftWorkingCopyIsRemovedAndAForeignOneRefused) {
  const std::filesystem::path working =
      std::filesystem::path(name_).parent_path() / (".~" + std::filesystem::path(name_).filename().string());
  { std::ofstream(working, std::ios::binary) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<kml"; }
  KmlTrack track;
  open_track(track, name_);
  EXPECT_EQ(track.out.refusal, OutputRefusal::none);
  EXPECT_FALSE(std::filesystem::exists(working));
  start_track(track);
  finish_track(track);
  EXPECT_EQ(lines().size(), 13u);
  EXPECT_FALSE(std::filesystem::exists(working));

  { std::ofstream(working, std::ios::binary) << "my notes"; }
  KmlTrack again;
  open_track(again, name_);
  EXPECT_EQ(again.out.refusal, OutputRefusal::cannot_create);
  EXPECT_EQ(lines().size(), 13u);
  {
    std::ifstream notes(working, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(notes), {}), "my notes");
  }
  std::filesystem::remove(working);
}

// A track file made new for a run is the empty document from its first
// moment, before the run starts it (a viewer may copy it then), with no copy
// beside it. Made for a run that ends before starting it, it is removed
// with its owner, wherever that was moved; one started, or one there
// before, stays.
TEST_F(KmlTrackTest, NewFileIsWholeAtOnceAndGoesWithAnOwnerThatNeverStartedIt) {
  const std::filesystem::path folder = std::filesystem::path(name_).parent_path();
  const std::string file_name = std::filesystem::path(name_).filename().string();
  std::vector<std::string> made;
  {
    KmlTrack kept;
    {
      KmlTrack track;
      open_track(track, name_);
      EXPECT_EQ(track.out.refusal, OutputRefusal::none);
      made = lines();
      kept = std::move(track);
    }
    EXPECT_TRUE(std::filesystem::exists(name_));
    EXPECT_FALSE(std::filesystem::exists(folder / (".~" + file_name)));
    EXPECT_FALSE(std::filesystem::exists(folder / (".~~" + file_name)));
  }
  EXPECT_FALSE(std::filesystem::exists(name_));
  {
    KmlTrack track;
    open_track(track, name_);
    start_track(track);
    finish_track(track);
  }
  EXPECT_EQ(lines().size(), 13u);
  EXPECT_EQ(made, lines());  // what a track without points holds at its end
  {
    KmlTrack track;
    open_track(track, name_);
    EXPECT_EQ(track.out.refusal, OutputRefusal::none);
  }
  EXPECT_EQ(lines().size(), 13u);
}

#ifndef _WIN32
// A device is no place for a track: refused, nothing written to it.
TEST(KmlTrackFailures, DeviceIsRefused) {
  KmlTrack track;
  open_track(track, "/dev/full");
  EXPECT_FALSE(track.out.file);
  EXPECT_EQ(track.out.refusal, OutputRefusal::not_a_file);
}

// A write that the file's size limit stops half way (as a full disk does)
// leaves the document as it was after the point before, and nothing more is
// written to it.
TEST_F(KmlTrackTest, FailedWriteLeavesTheLastWholeDocument) {
  KmlTrack track;
  open_track(track, name_);
  start_track(track);
  add_track_point(track, {51.5, -1.25});
  const std::vector<std::string> whole = lines();
  ASSERT_EQ(whole.size(), 42u);

  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit limit = before;
  // The document grows by a coordinate line (28 bytes) a point: room for
  // part of it only, so that the closing part is half overwritten.
  limit.rlim_cur = std::filesystem::file_size(name_) + 10;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  add_track_point(track, {52, 0.5});
  setrlimit(RLIMIT_FSIZE, &before);
  add_track_point(track, {53, 0.75});  // room again, but the track has ended
  std::signal(SIGXFSZ, old_handler);

  finish_track(track);
  EXPECT_TRUE(track.out.lost_lines);
  EXPECT_EQ(lines(), whole);
}
#endif

}  // namespace
