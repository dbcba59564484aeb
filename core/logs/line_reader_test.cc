#include "logs/line_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace {

// Writes `bytes` to a temporary file and reads its lines back.
std::vector<std::string> lines_of(const std::string& bytes, std::size_t kept = 49) {
  const std::string name = (std::filesystem::temp_directory_path() /
                            ("line_reader_test_" + std::to_string(std::random_device{}())))
                               .string();
  std::ofstream(name, std::ios::binary) << bytes;
  FileHandle f = open_for_reading(name);
  std::vector<std::string> lines;
  for_each_line(f, kept, [&](std::string_view line) {
    lines.push_back(std::string(line));
    return true;
  });
  f.close();
  std::filesystem::remove(name);
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
  EXPECT_EQ(lines_of("a\r\nb\x1A"
                     "c\r\nd\r\n"),
            (Lines{"a", "b"}));
  EXPECT_EQ(lines_of("a\r\n\x1A"
                     "b"),
            (Lines{"a"}));
}

TEST(LineReader, KeepsOnlyTheFirstColumns) {
  EXPECT_EQ(lines_of("abcdef\r\nxy\r\n", 3), (Lines{"abc", "xy"}));
  // Lines and line ends that straddle block boundaries.
  const std::size_t block = kLineBlockSize;
  std::string bytes(block - 1, 'x');
  bytes += "\r\n";
  bytes += std::string(3 * block, 'y');
  bytes += "\rz";
  EXPECT_EQ(lines_of(bytes, 5), (Lines{"xxxxx", "yyyyy", "z"}));
  // A line whose start lies in one block and its end in the next, kept whole.
  bytes = std::string(block - 3, 'a') + "\r\nbcdef\r\n";
  EXPECT_EQ(lines_of(bytes, 5), (Lines{"aaaaa", "bcdef"}));
  bytes = std::string(block - 10, 'a') + "\r\n" + std::string(20, 'b') + "\r\n";
  EXPECT_EQ(lines_of(bytes, 100), (Lines{std::string(100, 'a'), std::string(20, 'b')}));
  // A CR at the very end of a block, its LF first in the next.
  bytes = std::string(block - 1, 'a') + "\r\nb";
  EXPECT_EQ(lines_of(bytes, 2), (Lines{"aa", "b"}));
  // Ctrl-Z in a later block, after a carried line.
  bytes = std::string(block + 5, 'a') + "\x1A" + "ignored\r\n";
  EXPECT_EQ(lines_of(bytes, 3), (Lines{"aaa"}));
}

TEST(LineReader, LineEndMaskMarksEachStop) {
  for (std::size_t at = 0; at < 64; ++at)
    for (char end : {'\r', '\n', '\x1A'}) {
      std::string bytes(64, 'a');
      bytes[at] = end;
      EXPECT_EQ(line_end_mask(bytes.data()), std::uint64_t{1} << at);
    }
  const std::string high(64, '\x8D');  // bytes above 127 are no line end
  EXPECT_EQ(line_end_mask(high.data()), 0u);
}

// Line ends falling at every place of the 64-byte chunks, CR LF pairs split
// between chunks included.
TEST(LineReader, LinesOfEveryLength) {
  std::string bytes;
  Lines expected;
  for (std::size_t length = 0; length < 140; ++length) {
    const std::string line(length, static_cast<char>('a' + length % 26));
    bytes += line + (length % 3 == 0 ? "\r\n" : length % 3 == 1 ? "\r" : "\n");
    expected.push_back(line.substr(0, 100));
  }
  EXPECT_EQ(lines_of(bytes, 100), expected);
}

TEST(LineReader, MissingFileReadsAsEmptyAndFirstLineStops) {
  FileHandle none = open_for_reading("/nonexistent/file");
  EXPECT_EQ(first_line(none, 49), "");
  int calls = 0;
  for_each_line(none, 49, [&](std::string_view) { return ++calls, true; });
  EXPECT_EQ(calls, 0);
}

}  // namespace
