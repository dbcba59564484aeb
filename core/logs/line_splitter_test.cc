#include "logs/line_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> lines_of_pieces(std::vector<std::string> pieces, std::size_t kept = 64) {
  LineSplitter splitter(kept);
  std::vector<std::string> lines;
  for (const std::string& piece : pieces)
    splitter.feed(piece, [&](std::string_view line) { return lines.emplace_back(line), true; });
  return lines;
}

TEST(LineSplitter, LinesAreGivenWholeOnceTheirEndHasCome) {
  // A line in three pieces; a CR LF split between two pieces is one end.
  EXPECT_EQ(lines_of_pieces({"ab", "cd", "e\r", "\nf\n", "g"}), (std::vector<std::string>{"abcde", "f"}));
  // A lone CR, a lone LF, an empty line between them.
  EXPECT_EQ(lines_of_pieces({"a\r", "\rb\n\n"}), (std::vector<std::string>{"a", "", "b", ""}));
  // Cut to the kept columns, however long the line grows meanwhile.
  EXPECT_EQ(lines_of_pieces({"abcd", "efgh", "ij\n"}, 3), (std::vector<std::string>{"abc"}));
  // Ctrl-Z ends the text: the line before it counts, nothing after it.
  EXPECT_EQ(lines_of_pieces({"a\nb\x1A"
                             "c\n",
                             "d\n"}),
            (std::vector<std::string>{"a", "b"}));
}

}  // namespace
