#include "log_tracker/log_follower.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "log_tracker/test_logs.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// What one step gives.
Lines step(LogFollower& follower) {
  Lines lines;
  EXPECT_TRUE(follower.step([&](std::string_view line) { lines.emplace_back(line); }, [] { return true; }));
  return lines;
}

// A log renamed away while followed: what was added to it just before is
// read, then the new log under its name from its start, and the renamed
// one is let go. A log erased: the same, and ALL.TXT is waited for.
TEST(LogFollower, ARenamedOrErasedLogIsReadToItsEndThenItsSuccessorFromItsStart) {
  const ScratchFolder dir;
  const std::string all_txt = dir.path("ALL.TXT");
  rewrite(all_txt, "old\n");
  LogFollower follower(dir.folder());
  EXPECT_EQ(follower.names(), Lines{all_txt});
  EXPECT_EQ(step(follower), Lines{});

  append_to(all_txt, "r 1\nr 2\n");
  fs::rename(all_txt, dir.path("ALL.TXT.1"));
  rewrite(all_txt, "n 1\n");
  EXPECT_EQ(step(follower), (Lines{"r 1", "r 2", "n 1"}));
  append_to(dir.path("ALL.TXT.1"), "late\n");
  EXPECT_EQ(step(follower), Lines{});
  EXPECT_EQ(follower.names(), Lines{all_txt});

  append_to(all_txt, "e 1\n");
  fs::remove(all_txt);
  EXPECT_EQ(step(follower), Lines{"e 1"});
  EXPECT_EQ(follower.names(), Lines{all_txt});  // waited for
  rewrite(all_txt, "e 2\n");
  EXPECT_EQ(step(follower), Lines{"e 2"});
  EXPECT_TRUE(follower.failed().empty());
}

// WSJT-X begins the next month's log beside the one it wrote until then:
// both are followed, the new one from its start, each line once; the old
// logs there at the start give nothing, and a file of another name is not
// followed.
TEST(LogFollower, ANewMonthsLogBesideTheOldIsReadFromItsStart) {
  const ScratchFolder dir;
  const std::string march = dir.path("2025-03-ALL.TXT");
  const std::string april = dir.path("2025-04-ALL.TXT");
  rewrite(dir.path("2025-02-ALL.TXT"), "february\n");
  rewrite(march, "march 30\n");
  LogFollower follower(dir.folder());
  EXPECT_EQ(follower.names(), (Lines{dir.path("2025-02-ALL.TXT"), march}));

  append_to(march, "march 31\n");
  rewrite(april, "april 1\napril 2\n");
  rewrite(dir.path("2025-04-ALL.TXT.bak"), "backup\n");
  EXPECT_EQ(step(follower), (Lines{"march 31", "april 1", "april 2"}));
  EXPECT_EQ(follower.names(), (Lines{dir.path("2025-02-ALL.TXT"), march, april}));
  append_to(april, "april 3\n");
  EXPECT_EQ(step(follower), Lines{"april 3"});
}

// Esc in a large addition ends the step between two blocks; the next step
// goes on from there: every line once, in order.
TEST(LogFollower, AStepStoppedInALargeAdditionLosesAndRepeatsNoLine) {
  const ScratchFolder dir;
  rewrite(dir.path("ALL.TXT"), "");
  LogFollower follower(dir.folder());
  Lines written;
  std::string addition;
  for (int i = 0; i < 40000; ++i) {  // 440 000 bytes: more than one block
    char line[16];
    std::snprintf(line, sizeof line, "line %05d", i);
    written.emplace_back(line);
    addition.append(line).append("\n");
  }
  append_to(dir.path("ALL.TXT"), addition);
  Lines read;
  const auto on_line = [&](std::string_view line) { read.emplace_back(line); };
  EXPECT_FALSE(follower.step(on_line, [] { return false; }));
  EXPECT_GT(read.size(), 0u);
  EXPECT_LT(read.size(), written.size());
  EXPECT_TRUE(follower.step(on_line, [] { return true; }));
  EXPECT_EQ(read, written);
}

}  // namespace
