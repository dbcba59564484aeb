#include "logs/marked_lines.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <vector>

#include "logs/line_reader.h"
#include "logs/mark_scan.h"
#include "logs/marked_line_pass.h"
#include "report/decode_record.h"

namespace {

using Lines = std::vector<std::string>;

// A temporary file holding `bytes`, removed with the object.
class TextFile {
 public:
  explicit TextFile(const std::string& bytes)
      : name_((std::filesystem::temp_directory_path() /
               ("marked_lines_test_" + std::to_string(std::random_device{}())))
                  .string()) {
    std::ofstream(name_, std::ios::binary) << bytes;
  }
  ~TextFile() { std::filesystem::remove(name_); }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

Lines marked_lines_at(const TextFile& text, std::size_t kept, MarkPlaces places, char mark = '-',
                      std::size_t wanted = SIZE_MAX, const MarkGuard& guard = {}) {
  FileHandle f = open_for_reading(text.name());
  Lines lines;
  for_each_marked_line(f, {kept, places, mark, guard}, [&](std::string_view line) {
    lines.emplace_back(line);
    return lines.size() < wanted;
  });
  f.close();
  return lines;
}

Lines marked_lines(const TextFile& text, std::size_t kept, std::size_t index, char mark = '-',
                   std::size_t wanted = SIZE_MAX) {
  return marked_lines_at(text, kept, mark_place(index), mark, wanted);
}

// The same lines from the plain line reader, picked one by one.
Lines picked_lines(const TextFile& text, std::size_t kept, MarkPlaces places, char mark = '-',
                   const MarkGuard& guard = {}) {
  FileHandle f = open_for_reading(text.name());
  Lines lines;
  for_each_line(f, kept, [&](std::string_view line) {
    for (std::size_t i = 0; i < line.size() && i < 64; ++i)
      if (((places >> i) & 1) != 0 && line[i] == mark &&
          (((guard.places >> i) & 1) == 0 || line[guard.index] == guard.byte)) {
        lines.emplace_back(line);
        break;
      }
    return true;
  });
  f.close();
  return lines;
}

TEST(MarkedLines, PicksTheLinesWithTheMarkInPlace) {
  const TextFile text(
      "ab-d\r\n"   // marked, CR LF
      "a-cd\r\n"   // mark elsewhere
      "xy-\n"      // marked, the mark last
      "--\r"       // too short, after a lone CR
      "\r\n"       // empty
      "pq-rstu");  // marked, cut to 5, no line end
  EXPECT_EQ(marked_lines(text, 5, 2), (Lines{"ab-d", "xy-", "pq-rs"}));
  // The first line of the text counts; a mark at the very start of a line too.
  const TextFile first("-a\r\n-b\r\nc-\r\n");
  EXPECT_EQ(marked_lines(first, 49, 0), (Lines{"-a", "-b"}));
}

// The scan stops at any control byte; only CR, LF and Ctrl-Z end a line.
TEST(MarkedLines, OtherControlBytesStartNoLine) {
  const std::string bytes(
      "x\tab-1\r\ny\0ab-2\r\nz\x1B"
      "ab-3\r\nab-4",
      28);
  EXPECT_EQ(marked_lines(TextFile(bytes), 49, 2), (Lines{"ab-4"}));
}

TEST(MarkedLines, CtrlZEndsTheText) {
  EXPECT_EQ(marked_lines(TextFile("ab-1\r\nab-2\x1A"
                                  "ab-3\r\n"),
                         49, 2),
            (Lines{"ab-1", "ab-2"}));
  EXPECT_EQ(marked_lines(TextFile("ab-1\r\n\x1A"
                                  "ab-3"),
                         49, 2),
            (Lines{"ab-1"}));
  // A Ctrl-Z before the mark: the line ends before its place.
  EXPECT_EQ(marked_lines(TextFile("a\x1A-b\r\nab-\r\n"), 49, 2), Lines{});
}

TEST(MarkedLines, StopsWhenToldAndReadsNothingFromAMissingFile) {
  const TextFile text("ab-1\r\nab-2\r\nab-3\r\n");
  EXPECT_EQ(marked_lines(text, 49, 2, '-', 2), (Lines{"ab-1", "ab-2"}));
  FileHandle none = open_for_reading("/nonexistent/file");
  int calls = 0;
  for_each_marked_line(none, {49, mark_place(2), '-', {}}, [&](std::string_view) { return ++calls, true; });
  EXPECT_EQ(calls, 0);
}

// Items are made on another thread and handed over in batches: every one
// comes, once, in the order of the lines, across many batches and the last
// part-filled one; lines whose item is refused give none.
TEST(MarkedItems, EveryItemInTheOrderOfTheLines) {
  std::string bytes;
  std::vector<int> expected;
  for (int i = 0; i < 3000; ++i) {
    bytes += (i % 3 == 0 ? "ab+" : "ab-") + std::to_string(i) + "\r\n";  // every third unmarked
    if (i % 3 != 0 && i % 7 != 0) expected.push_back(i);                 // every seventh refused
  }
  const TextFile text(bytes);
  std::vector<int> used;
  MarkedLinePass<int> pass(open_for_reading(text.name()), {49, mark_place(2), '-', {}},
                           [](std::string_view line) -> std::optional<int> {
                             const int n = std::stoi(std::string(line.substr(3)));
                             if (n % 7 == 0) return std::nullopt;
                             return n;
                           });
  pass.use_each([&](int n) { used.push_back(n); }, [] { return true; });
  EXPECT_EQ(used, expected);
}

// A pass left part way (here by an exception from the user) ends with its
// threads: the maker, waiting for room in the full queue, is let go.
TEST(MarkedItems, APassLeftPartWayEndsWithItsThreads) {
  std::string bytes;
  for (int i = 0; i < 20000; ++i) bytes += "ab-" + std::to_string(i) + "\n";
  const TextFile text(bytes);
  const auto item = [](std::string_view) -> std::optional<int> { return 1; };
  EXPECT_THROW(
      {
        MarkedLinePass<int> pass(open_for_reading(text.name()), {49, mark_place(2), '-', {}}, item);
        pass.use_each([](int) { throw std::runtime_error("left"); }, [] { return true; });
      },
      std::runtime_error);
}

// A marked line around each place of a block boundary: its start, its mark,
// its line end or a CR LF pair split between two blocks.
TEST(MarkedLines, LinesAcrossBlockBoundaries) {
  const std::string line = std::string(42, 'a') + "-" + std::string(20, 'b');
  for (std::size_t before = kLineBlockSize - 140; before <= kLineBlockSize + 2; ++before) {
    for (const char* end : {"\r\n", "\r", "\n"}) {
      std::string bytes(before, 'x');
      bytes += end;
      bytes += line + end + "c\r\n" + line;
      const TextFile text(bytes);
      ASSERT_EQ(marked_lines(text, 49, 42), (Lines{line.substr(0, 49), line.substr(0, 49)}))
          << before << " filler bytes, line end " << int(end[0]);
    }
  }
}

// A line with marks at two places, the block boundary anywhere between them:
// it is taken once.
TEST(MarkedLines, ALineWithTwoMarksAcrossABlockBoundaryIsTakenOnce) {
  const std::string line = std::string(30, 'a') + "-" + std::string(24, 'b') + "-" + "cc";
  const MarkPlaces places = mark_place(30) | mark_place(55);
  for (std::size_t before = kLineBlockSize - 70; before <= kLineBlockSize; ++before) {
    std::string bytes(before, 'x');
    bytes += "\n" + line + "\nc\n" + line + "\n";
    ASSERT_EQ(marked_lines_at(TextFile(bytes), 64, places), (Lines{line, line})) << before << " filler bytes";
  }
}

// Random texts made of the bytes that matter: marks, line stops and a few
// others, in lines of every length, over several blocks; every mark place
// and cut that the programs could use.
TEST(MarkedLines, AgreesWithTheLineReaderOnRandomText) {
  std::mt19937 random(20261208);
  // Other control bytes too: NUL, tab and Esc stand where a line stop could.
  const char alphabet[] = {'-', '-', 'a', '\0', '\t', '\x1B', '\r', '\n', ' ', '\xE9'};
  for (int round = 0; round < 12; ++round) {
    std::string bytes;
    while (bytes.size() < 3 * kLineBlockSize) {
      const std::size_t length = random() % 100;
      for (std::size_t k = 0; k < length; ++k)
        bytes += random() % 4 == 0 ? alphabet[random() % std::size(alphabet)] : 'x';
      bytes += random() % 2 ? "\r\n" : "\n";
    }
    if (round % 3 == 2) bytes.insert(bytes.size() - random() % kLineBlockSize, 1, kEndOfText);
    const TextFile text(bytes);
    for (auto [kept, index] :
         {std::pair<std::size_t, std::size_t>{49, 42}, {1, 0}, {10, 5}, {63, 62}, {1000, 62}})
      ASSERT_EQ(marked_lines(text, kept, index), picked_lines(text, kept, mark_place(index)))
          << "round " << round << ", kept " << kept << ", index " << index;
    // Several places, as the layouts of the log lines have: a line with
    // marks at two of them is still one line.
    const MarkPlaces several = mark_place(3) | mark_place(4) | mark_place(30) | mark_place(62);
    for (std::size_t kept : {std::size_t{63}, std::size_t{100}, kLastUsedColumn})
      ASSERT_EQ(marked_lines_at(text, kept, several), picked_lines(text, kept, several))
          << "round " << round << ", kept " << kept << ", several places";
    ASSERT_EQ(marked_lines_at(text, kLastUsedColumn, kReportMarkPlaces),
              picked_lines(text, kLastUsedColumn, kReportMarkPlaces));
    // The report places with their guard ("a" standing for JTDX's "_").
    const MarkGuard guard{kJtdxReportMarkPlaces, kJtdxDateEndIndex, 'a'};
    ASSERT_EQ(marked_lines_at(text, kLastUsedColumn, kReportMarkPlaces, '-', SIZE_MAX, guard),
              picked_lines(text, kLastUsedColumn, kReportMarkPlaces, '-', guard));
  }
}

// The places a scan found, one bit a byte, up to the end of the text.
std::vector<bool> places_found(const NamedMarkScan& scan, const std::string& bytes, std::size_t size,
                               MarkPlaces places, const MarkGuard& guard, std::size_t& text_end) {
  std::vector<MarkHit> hits(size / kScanChunk + 3);
  const ScanResult result = scan.scan(bytes.data(), size, '-', places, guard, hits.data());
  text_end = result.text_end;
  std::vector<bool> found(size);
  std::size_t last_chunk = 0;
  for (std::size_t h = 0; h < result.hits; ++h) {
    EXPECT_NE(hits[h].word, 0u) << scan.name;
    EXPECT_TRUE(h == 0 || hits[h].chunk > last_chunk) << scan.name << ": hits out of order";
    last_chunk = hits[h].chunk;
    for (std::size_t k = 0; k < kScanChunk; ++k)
      if ((hits[h].word >> k) & 1) {
        const std::size_t place = hits[h].chunk * kScanChunk + k;
        EXPECT_LT(place, size) << scan.name << ": a place past the end";
        if (place < text_end) found[place] = true;
      }
  }
  return found;
}

// Each scan this processor runs against the rule, on random bytes and on
// sizes that end inside a chunk.
TEST(MarkScan, EveryScanFindsThePlacesOfTheRule) {
  std::mt19937 random(7);
  const char alphabet[] = {'-', '\r', '\n', 'a', '\t', '\x1B', '\x1A', '\xAD'};
  const auto control = [](char c) { return static_cast<unsigned char>(c) <= 26; };
  for (int round = 0; round < 300; ++round) {
    const std::size_t size = 1 + random() % 2000;
    std::string bytes(size + 2 * kScanChunk, '-');  // the bytes past the end must not count
    for (std::size_t k = 0; k < size; ++k)
      bytes[k] = alphabet[random() % (round % 2 ? 8 : 6)];  // Ctrl-Z in half the rounds
    // One place in most rounds, up to three in the others; in every fourth
    // round the farthest guarded by an "a" at a place before it.
    MarkPlaces places = 0;
    for (int k = 0; k < (round % 3 == 0 ? 3 : 1); ++k) places |= mark_place(random() % (kLastMarkIndex + 1));
    MarkGuard guard;
    const std::size_t farthest = 63 - static_cast<std::size_t>(__builtin_clzll(places));
    if (round % 4 == 1 && farthest > 0) guard = {mark_place(farthest), random() % farthest, 'a'};
    const std::size_t text_end = std::min(bytes.find('\x1A'), size);
    std::vector<bool> expected(size);
    for (std::size_t k = 0; k < text_end; ++k)
      for (std::size_t index = 0; index <= kLastMarkIndex && index < k; ++index)
        if (((places >> index) & 1) != 0 && bytes[k] == '-' && control(bytes[k - index - 1]) &&
            (((guard.places >> index) & 1) == 0 || bytes[k - index + guard.index] == 'a'))
          expected[k] = true;
    for (const NamedMarkScan& scan : available_mark_scans()) {
      std::size_t end = 0;
      ASSERT_EQ(places_found(scan, bytes, size, places, guard, end), expected)
          << scan.name << ", round " << round << ", places " << places;
      EXPECT_EQ(end, text_end) << scan.name;
    }
  }
}

}  // namespace
