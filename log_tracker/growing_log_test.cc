#include "log_tracker/growing_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "log_tracker/test_logs.h"

namespace {

using Lines = std::vector<std::string>;

// The room of the reads: as small as a log allows, so that lines also
// cross the blocks of one read.
constexpr std::size_t kBlockSize = 64;

// What one read gives.
Lines read_added(GrowingLog& log) {
  Lines lines;
  EXPECT_TRUE(log.read_added([&](std::string_view line) { lines.emplace_back(line); }, [] { return true; }));
  return lines;
}

// A log followed from its end: the line being written then is not given,
// nor a line until its line end has come, and a line end split between two
// reads (CR, then LF) ends one line.
TEST(GrowingLog, EachLineOnceWholeAcrossReads) {
  const ScratchFolder dir;
  const std::string log_path = dir.path("ALL.TXT");
  rewrite(log_path, "old line\r\nhalf of a li");
  char block[kBlockSize];
  GrowingLog log(log_path, /*from_start=*/false, block);
  ASSERT_TRUE(log.is_open());
  EXPECT_EQ(read_added(log), Lines{});
  append_to(log_path, "ne\r\n");
  EXPECT_EQ(read_added(log), Lines{});
  append_to(log_path, "first\r");
  EXPECT_EQ(read_added(log), Lines{"first"});
  // The third line crosses the end of the read's first block.
  append_to(log_path,
            "\nsecond\n"
            "100000 -10  0.1 1500 ~  CQ G4ABC IO91   line 3\n"
            "100000 -10  0.1 1500 ~  CQ G4ABC IO91   line 4\n");
  EXPECT_EQ(read_added(log), (Lines{"second", "100000 -10  0.1 1500 ~  CQ G4ABC IO91   line 3",
                                    "100000 -10  0.1 1500 ~  CQ G4ABC IO91   line 4"}));
  append_to(log_path, "third li");
  EXPECT_EQ(read_added(log), Lines{});
  append_to(log_path, "ne\nfourth\n");
  EXPECT_EQ(read_added(log), (Lines{"third line", "fourth"}));
  EXPECT_EQ(read_added(log), Lines{});
  std::filesystem::last_write_time(log_path, std::filesystem::file_time_type::clock::now());
  EXPECT_EQ(read_added(log), Lines{});  // only touched
  EXPECT_FALSE(log.failed());
}

// The same file emptied and written anew: read from its new start, whether
// it is now shorter, as long, or longer than what was read of it.
TEST(GrowingLog, CutOrWrittenAnewIsReadFromItsNewStart) {
  const ScratchFolder dir;
  const std::string log_path = dir.path("ALL.TXT");
  rewrite(log_path, "a 1\na 2\n");
  char block[kBlockSize];
  GrowingLog log(log_path, /*from_start=*/true, block);
  EXPECT_EQ(read_added(log), (Lines{"a 1", "a 2"}));
  rewrite(log_path, "b 1\nb 2\n");  // as long
  EXPECT_EQ(read_added(log), (Lines{"b 1", "b 2"}));
  rewrite(log_path, "c\n");  // shorter
  EXPECT_EQ(read_added(log), Lines{"c"});
  rewrite(log_path, "d 1\nd 2\nd 3\n");  // longer
  EXPECT_EQ(read_added(log), (Lines{"d 1", "d 2", "d 3"}));
  rewrite(log_path, "");
  EXPECT_EQ(read_added(log), Lines{});
  append_to(log_path, "e 1\n");
  EXPECT_EQ(read_added(log), Lines{"e 1"});
}

#ifndef _WIN32  // Windows lets no file take the name of one held open
// Another file put at the log's path (a backup program puts its copy
// back): taken in place of the one held when it holds what was read, and
// read on from there; refused when it holds something else or less.
TEST(GrowingLog, ACopyPutBackIsReadOnFromWhereTheLogWas) {
  const ScratchFolder dir;
  const std::string log_path = dir.path("ALL.TXT");
  const std::string copy_path = dir.path("ALL.TXT.copy");
  const auto put_back = [&](std::string_view bytes) {
    rewrite(copy_path, bytes);
    std::filesystem::rename(copy_path, log_path);
  };
  rewrite(log_path, "a 1\na 2\n");
  char block[kBlockSize];
  GrowingLog log(log_path, /*from_start=*/true, block);
  EXPECT_EQ(read_added(log), (Lines{"a 1", "a 2"}));

  put_back("a 1\na 2\na 3\n");
  ASSERT_FALSE(log.holds(*file_status(log_path)));
  EXPECT_TRUE(log.take_copy());
  EXPECT_TRUE(log.holds(*file_status(log_path)));
  EXPECT_EQ(read_added(log), Lines{"a 3"});

  for (const char* other : {"x 1\nx 2\nx 3\nx 4\n", "a 1\n"}) {
    SCOPED_TRACE(other);
    put_back(other);
    EXPECT_FALSE(log.take_copy());
    EXPECT_FALSE(log.holds(*file_status(log_path)));
  }
}
#endif

}  // namespace
