#include "line_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <vector>

namespace {

// Writes `bytes` to a temporary file and reads its lines back.
std::vector<std::string> lines_of(const std::string& bytes, std::size_t kept = 49) {
  char name[] = "/tmp/line_reader_testXXXXXX";
  const int fd = mkstemp(name);
  EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  close(fd);
  FileHandle f = open_for_reading(name);
  LineReader reader(f, kept);
  std::vector<std::string> lines;
  std::string line;
  while (reader.next(line)) lines.push_back(line);
  close_file(f);
  unlink(name);
  return lines;
}

using Lines = std::vector<std::string>;

TEST(LineReader, EveryLineEnd) {
  EXPECT_EQ(lines_of("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(lines_of("a\r\n\r\nb\r\n"), (Lines{"a", "", "b"}));
  EXPECT_EQ(lines_of("\n\r"), (Lines{"", ""}));
  EXPECT_EQ(lines_of(""), Lines{});
}

TEST(LineReader, CtrlZEndsTheText) {
  EXPECT_EQ(lines_of("a\r\nb\x1A" "c\r\nd\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(lines_of("a\r\n\x1A" "b"), (Lines{"a"}));
}

TEST(LineReader, KeepsOnlyTheFirstColumns) {
  EXPECT_EQ(lines_of("abcdef\r\nxy\r\n", 3), (Lines{"abc", "xy"}));
  // Lines and line ends that straddle block boundaries.
  const std::size_t block = LineReader::kBlockSize;
  std::string bytes(block - 1, 'x');
  bytes += "\r\n";
  bytes += std::string(3 * block, 'y');
  bytes += "\rz";
  const Lines lines = lines_of(bytes, 5);
  EXPECT_EQ(lines, (Lines{"xxxxx", "yyyyy", "z"}));
}

TEST(LineReader, MissingFileReadsAsEmpty) {
  FileHandle none = open_for_reading("/nonexistent/file");
  LineReader reader(none);
  std::string line;
  EXPECT_FALSE(reader.next(line));
}

}  // namespace
