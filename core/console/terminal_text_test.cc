#include "console/terminal_text.h"

#include <gtest/gtest.h>

#include "console/line_editor.h"

namespace {

// The text a terminal would receive, and the cells it takes.
std::pair<std::string, int> shown(std::string_view text) {
  std::string out;
  int cells = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const DisplayUnit u = display_unit_at(text, pos);
    out.append(u.bytes);
    cells += u.cells;
    pos += u.length;
  }
  return {out, cells};
}

TEST(TerminalText, ControlBytesBecomeVisible) {
  EXPECT_EQ(shown("\x1b[2J"), std::make_pair(std::string("\u241B[2J"), 4));
  EXPECT_EQ(shown("a\rb\n\t"), std::make_pair(std::string("a\u240Db\u240A\u2409"), 5));
  EXPECT_EQ(shown(std::string_view("\0\x7f", 2)), std::make_pair(std::string("\u2400\u2421"), 2));
  // C1 CSI (U+009B) and bytes that are no UTF-8: one substitute per byte.
  EXPECT_EQ(shown("\xC2\x9B"), std::make_pair(std::string("\uFFFD\uFFFD"), 2));
  EXPECT_EQ(shown("\x9B"), std::make_pair(std::string("\uFFFD"), 1));
  EXPECT_EQ(shown("\xE2\x82"), std::make_pair(std::string("\uFFFD\uFFFD"), 2));
  EXPECT_EQ(shown("\xC0\xAF"), std::make_pair(std::string("\uFFFD\uFFFD"), 2));  // overlong "/"
}

TEST(TerminalText, PrintableCharactersPassWithTheirWidth) {
  EXPECT_EQ(shown("DECPAA-MBXAAA"), std::make_pair(std::string("DECPAA-MBXAAA"), 13));
  EXPECT_EQ(shown("\xC3\xA9"), std::make_pair(std::string("\xC3\xA9"), 1));
  EXPECT_EQ(shown("\xE6\x97\xA5"), std::make_pair(std::string("\xE6\x97\xA5"), 2));  // 日
  EXPECT_EQ(shown("e\xCC\x81"), std::make_pair(std::string("e\xCC\x81"), 1));        // combining accent
}

TEST(Cursor, FullRowLeavesAnEmptyRowAtLineEnd) {
  Cursor c;
  c.set_width(10);
  for (int i = 0; i < 10; ++i) c.place(1);
  EXPECT_TRUE(c.row_full());
  EXPECT_EQ(c.row(), 0);  // the terminal stays in the row until more comes
  EXPECT_EQ(c.newline(), 2);
  EXPECT_EQ(c.row(), 2);
  c.place(1);
  EXPECT_EQ(c.newline(), 1);
}

TEST(Cursor, WrapsCharactersThatDoNotFit) {
  Cursor c;
  c.set_width(10);
  for (int i = 0; i < 9; ++i) c.place(1);
  const Placement wide = c.place(2);  // a wide character goes to the next row whole
  EXPECT_EQ(wide.row, 1);
  EXPECT_EQ(wide.col, 0);
  for (int i = 0; i < 8; ++i) c.place(1);
  const Placement next = c.place(1);  // after a full row
  EXPECT_EQ(next.row, 2);
  EXPECT_EQ(next.col, 0);
}

TEST(LineEditor, RemovesWholeCharactersAndKeepsItsLimit) {
  LineEditor e;
  e.add("a", {0, 0, 1});
  e.add("\xC3\xA9", {0, 1, 1});
  e.add("\xE6\x97\xA5", {1, 0, 2});
  EXPECT_EQ(e.text(), "a\xC3\xA9\xE6\x97\xA5");
  const auto last = e.remove_last();
  ASSERT_TRUE(last);
  EXPECT_EQ(last->row, 1);
  EXPECT_EQ(last->cells, 2);
  EXPECT_EQ(e.text(), "a\xC3\xA9");
  e.remove_last();
  e.remove_last();
  EXPECT_FALSE(e.remove_last());
  for (std::size_t i = 0; i < LineEditor::kMaxCharacters; ++i) e.add("x", {});
  EXPECT_FALSE(e.has_room());
  e.add("y", {});
  EXPECT_EQ(e.size(), LineEditor::kMaxCharacters);
  EXPECT_EQ(e.text().back(), 'x');
}

}  // namespace
