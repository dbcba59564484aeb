#include "console/screen_cells.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A screen buffer that carries out what ScreenCursor plans, as the console
// would: the rows it shows after each text and line end.
class FakeScreen {
 public:
  FakeScreen(int width, int height) : rows_(height, std::string(width, '.')) {
    cursor.set_size(width, height);
  }
  void print(const std::string& text) {
    for (const CellWrite& w : place_cells(cursor, text.size())) {
      scroll(w.scroll_before);
      ASSERT_LE(w.col + w.count, rows_[0].size()) << "a write runs past the row";
      rows_[w.row].replace(w.col, w.count, text.substr(w.first, w.count));
      ++writes;
    }
  }
  void newline() { scroll(end_line(cursor)); }
  const std::vector<std::string>& rows() const { return rows_; }

  Cursor cursor;
  int writes = 0;

 private:
  void scroll(int n) {
    for (int i = 0; i < n; ++i) {
      rows_.erase(rows_.begin());
      rows_.push_back(std::string(rows_[0].size(), '.'));
    }
  }
  std::vector<std::string> rows_;
};

using Rows = std::vector<std::string>;

TEST(ScreenCells, TextWrapsWithOneWritePerRow) {
  FakeScreen s(5, 4);
  s.print("ab");
  s.print("cdefghijk");
  EXPECT_EQ(s.rows(), (Rows{"abcde", "fghij", "k....", "....."}));
  EXPECT_EQ(s.writes, 4);  // "ab", then "cde", "fghij", "k"
  EXPECT_EQ(s.cursor.col(), 1);
  EXPECT_EQ(s.cursor.row(), 2);
  EXPECT_TRUE(place_cells(s.cursor, 0).empty());
}

TEST(ScreenCells, FullLastRowScrollsOnlyWhenMoreComes) {
  FakeScreen s(4, 3);
  s.cursor.move_to(2, 0);
  s.print("wxyz");
  // Nothing has moved yet: the cursor is shown at the start of the last row.
  EXPECT_EQ(s.rows(), (Rows{"....", "....", "wxyz"}));
  EXPECT_TRUE(s.cursor.row_full());
  EXPECT_EQ(cursor_cell(s.cursor).col, 0);
  EXPECT_EQ(cursor_cell(s.cursor).row, 2);
  s.print("A");
  EXPECT_EQ(s.rows(), (Rows{"....", "wxyz", "A..."}));
  EXPECT_FALSE(s.cursor.row_full());
  EXPECT_EQ(s.cursor.col(), 1);
  // Above the last row, a full row shows the cursor at the next row's start.
  FakeScreen mid(4, 3);
  mid.print("abcd");
  EXPECT_EQ(cursor_cell(mid.cursor).col, 0);
  EXPECT_EQ(cursor_cell(mid.cursor).row, 1);
}

TEST(ScreenCells, LongTextScrollsBeforeEachNewRow) {
  FakeScreen s(3, 2);
  s.print("abcdefghij");
  EXPECT_EQ(s.rows(), (Rows{"ghi", "j.."}));
  EXPECT_EQ(s.cursor.top(), 2);
  EXPECT_EQ(s.writes, 4);
}

TEST(ScreenCells, LineEnds) {
  FakeScreen s(4, 3);
  s.print("ab");
  s.newline();
  s.print("cd");
  EXPECT_EQ(s.rows(), (Rows{"ab..", "cd..", "...."}));
  s.newline();  // into the last row: no scroll yet
  EXPECT_EQ(s.cursor.top(), 0);
  s.newline();  // from the last row: one row up
  s.print("e");
  EXPECT_EQ(s.rows(), (Rows{"cd..", "....", "e..."}));
  EXPECT_EQ(s.cursor.top(), 1);
}

TEST(ScreenCells, RowFilledExactlyThenLineEndLeavesOneEmptyRow) {
  // In the middle of the buffer...
  FakeScreen mid(4, 5);
  mid.print("abcd");
  mid.newline();
  mid.print("x");
  EXPECT_EQ(mid.rows(), (Rows{"abcd", "....", "x...", "....", "...."}));
  // ...and in its last row, where the pending scroll and the line end add up.
  FakeScreen bottom(4, 3);
  bottom.cursor.move_to(2, 0);
  bottom.print("abcd");
  bottom.newline();
  bottom.print("x");
  EXPECT_EQ(bottom.rows(), (Rows{"abcd", "....", "x..."}));
  // One row before the last: the line end then starts from the last row.
  FakeScreen next(4, 3);
  next.cursor.move_to(1, 0);
  next.print("abcd");
  next.newline();
  next.print("x");
  EXPECT_EQ(next.rows(), (Rows{"abcd", "....", "x..."}));
}

TEST(ScreenCells, TrackedRowsFollowTheScrolling) {
  FakeScreen s(4, 3);
  s.cursor.move_to(2, 0);
  s.print("a");
  const std::int64_t tracked = s.cursor.row();
  s.newline();
  EXPECT_EQ(s.cursor.screen_row(tracked), 1);
  s.newline();
  s.newline();
  s.newline();
  EXPECT_EQ(s.cursor.screen_row(tracked), 0);  // scrolled away: the top row
}

TEST(ScreenCells, CursorStaysInsideTheBuffer) {
  Cursor c;
  c.set_size(10, 5);
  c.move_to(-3, 12);
  EXPECT_EQ(c.col(), 9);
  EXPECT_EQ(c.row(), 0);
  c.move_to(4, 4);
  c.set_size(3, 2);  // the buffer shrank
  EXPECT_EQ(c.col(), 2);
  EXPECT_EQ(c.row(), 1);
  c.set_size(0, 0);
  EXPECT_EQ(c.width(), 1);
  EXPECT_EQ(place_cells(c, 3).size(), 3u);  // one cell per row, and still no write past it
  // A move drops a pending scroll.
  c.set_size(2, 2);
  c.move_to(c.top() + 1, 0);
  place_cells(c, 2);
  ASSERT_TRUE(c.row_full());
  c.move_to(c.top() + 1, 1);
  EXPECT_FALSE(c.row_full());
  EXPECT_EQ(place_cells(c, 1).front().scroll_before, 0);
}

TEST(VisibleCharacter, ControlsBecomeSubstitutes) {
  EXPECT_EQ(visible_character(0x00), u'\u2400');
  EXPECT_EQ(visible_character(0x1B), u'\u241B');
  EXPECT_EQ(visible_character(0x0A), u'\u240A');
  EXPECT_EQ(visible_character(0x1F), u'\u241F');
  EXPECT_EQ(visible_character(0x7F), u'\u2421');
  EXPECT_EQ(visible_character(0x9B), u'\uFFFD');  // C1 CSI
  EXPECT_EQ(visible_character(0x8D), u'\uFFFD');
}

TEST(VisibleCharacter, PrintableCharactersStay) {
  for (const char16_t c : {u' ', u'A', u'~', u'\u00A0', u'\u00E9', u'\u20AC', u'\u2400'})
    EXPECT_EQ(visible_character(c), c);
}

}  // namespace
