// The screen model alone, fed bytes directly: colours, text, wrapping, and
// how the cursor behaves at the right margin (the console code relies on it).
#include "terminal_screen.h"

#include <gtest/gtest.h>

#include <string>

namespace e2e {
namespace {

TEST(AnsiToConsole, SwapsRedAndBlueBitsAndKeepsBright) {
  // ANSI: black red green yellow blue magenta cyan white.
  const int expected[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};
  for (int ansi = 0; ansi < 16; ++ansi) EXPECT_EQ(ansi_to_console(ansi), expected[ansi]) << ansi;
  EXPECT_EQ(ansi_to_console(16), -1);
  EXPECT_EQ(ansi_to_console(-1), -1);
}

TEST(TerminalScreenColours, SgrForegroundsReadAsConsoleIndices) {
  TerminalScreen s(24, 80);
  s.feed("\033[36mA\033[39mB\033[33mC\033[35mD\033[90mE\033[96mF\033[37mG\033[0mH");
  EXPECT_EQ(s.row_fg_map(0).substr(0, 9), "37658b777");  // blank cells read as default too
  EXPECT_EQ(s.cell_fg(0, 4), 8);
  EXPECT_EQ(s.cell_fg(0, 5), 11);
  EXPECT_EQ(s.pen_fg(), 7);
  s.feed("\033[96m");
  EXPECT_EQ(s.pen_fg(), 11);
}

TEST(TerminalScreenColours, OtherColoursAndBackgrounds) {
  TerminalScreen s(24, 80);
  s.feed("\033[38;5;200mX\033[38;2;1;2;3mY\033[0m\033[41mZ\033[49m\033[7;1mW");
  EXPECT_EQ(s.cell_fg(0, 0), -1);
  EXPECT_EQ(s.cell_fg(0, 1), -1);
  EXPECT_EQ(s.row_fg_map(0).substr(0, 3), "??7");
  EXPECT_EQ(s.cell_bg(0, 0), 0);
  EXPECT_EQ(s.cell_bg(0, 2), 4);
  EXPECT_TRUE(s.cell_reverse(0, 3));
  EXPECT_TRUE(s.cell_bold(0, 3));
  EXPECT_FALSE(s.cell_bold(0, 2));
}

TEST(TerminalScreenText, Utf8AndWideCharactersRoundTrip) {
  TerminalScreen s(24, 80);
  s.feed(
      "Gr\xC3\xBC\xC3\x9F"
      "e \xE2\x9C\x93   \r\n\xE6\x97\xA5\xE6\x9C\xAC|");
  EXPECT_EQ(s.row_text(0),
            "Gr\xC3\xBC\xC3\x9F"
            "e \xE2\x9C\x93");
  EXPECT_EQ(s.row_text(1), "\xE6\x97\xA5\xE6\x9C\xAC|");
  EXPECT_EQ(s.cell_text(1, 0), "\xE6\x97\xA5");
  EXPECT_EQ(s.cell_text(1, 1), "");
  EXPECT_EQ(s.cell_text(1, 4), "|");
  EXPECT_EQ(s.screen_text(), s.row_text(0) + "\n" + s.row_text(1));
}

TEST(TerminalScreenText, WrapsAtTheWidthAndScrollsIntoScrollback) {
  TerminalScreen s(4, 10);
  s.feed("0123456789abc");
  EXPECT_EQ(s.row_text(0), "0123456789");
  EXPECT_EQ(s.row_text(1), "abc");
  EXPECT_EQ(s.cursor(), (CursorPos{1, 3}));

  s.feed("\r\nL2\r\nL3\r\nL4\r\nL5");
  EXPECT_EQ(s.scrollback(), (std::vector<std::string>{"0123456789", "abc"}));
  EXPECT_EQ(s.transcript(), "0123456789\nabc\nL2\nL3\nL4\nL5");
  EXPECT_EQ(s.find_row("L4"), 2);
  EXPECT_EQ(s.find_row("nothing"), -1);
  EXPECT_THROW(s.row_text(4), std::out_of_range);
}

TEST(TerminalScreenModes, CursorVisibilityAltScreenBellAndReplies) {
  TerminalScreen s(24, 80);
  s.feed("main");
  s.feed("\033[?25l\033[?1049h\a");
  EXPECT_FALSE(s.cursor_visible());
  EXPECT_TRUE(s.alt_screen());
  EXPECT_EQ(s.row_text(0), "");
  EXPECT_EQ(s.bell_count(), 1);
  s.feed("\033[?1049l\033[?25h");
  EXPECT_TRUE(s.cursor_visible());
  EXPECT_FALSE(s.alt_screen());
  EXPECT_EQ(s.row_text(0), "main");

  s.feed("\033[5;7H\033[6n");
  EXPECT_EQ(s.take_replies(), "\033[5;7R");
  EXPECT_EQ(s.take_replies(), "");
}

// A full row leaves the cursor on its last column with a wrap pending: the
// next printable character goes to the start of the next row.
class RightMargin : public ::testing::Test {
 protected:
  void fill_row_3() { s.feed("\033[3;1H" + std::string(80, 'x')); }
  TerminalScreen s{24, 80};
};

TEST_F(RightMargin, FullRowParksTheCursorOnTheLastColumn) {
  fill_row_3();
  EXPECT_EQ(s.cursor(), (CursorPos{2, 79}));
  s.feed("Z");
  EXPECT_EQ(s.row_text(3), "Z");
  EXPECT_EQ(s.cursor(), (CursorPos{3, 1}));
}

TEST_F(RightMargin, CrLfAfterAFullRowMovesOnlyOneRow) {
  fill_row_3();
  s.feed("\r\n");
  EXPECT_EQ(s.cursor(), (CursorPos{3, 0}));
}

TEST_F(RightMargin, BackspaceAfterAFullRowGoesToTheSecondLastColumn) {
  fill_row_3();
  s.feed("\b");
  EXPECT_EQ(s.cursor(), (CursorPos{2, 78}));
  // So "\b \b" blanks column 78, not the character in column 79.
  s.feed(" \b");
  EXPECT_EQ(s.row_text(2), std::string(78, 'x') + " x");
  EXPECT_EQ(s.cursor(), (CursorPos{2, 78}));
}

TEST_F(RightMargin, ColumnAddressCancelsThePendingWrap) {
  fill_row_3();
  s.feed("\033[80G");
  EXPECT_EQ(s.cursor(), (CursorPos{2, 79}));
  s.feed("Z");  // overwrites column 79 instead of wrapping
  EXPECT_EQ(s.row_text(2), std::string(79, 'x') + "Z");
  EXPECT_EQ(s.row_text(3), "");
}

TEST_F(RightMargin, BlankWrittenAtColumn80WrapsOnTheNextCharacter) {
  fill_row_3();
  s.feed("\033[80G ");
  EXPECT_EQ(s.cursor(), (CursorPos{2, 79}));
  EXPECT_EQ(s.row_text(2), std::string(79, 'x'));
  s.feed("Q");
  EXPECT_EQ(s.row_text(3), "Q");
}

TEST_F(RightMargin, FullBottomRowScrollsOnlyWhenSomethingFollows) {
  s.feed("top\033[24;1H" + std::string(80, 'x'));
  EXPECT_EQ(s.row_text(0), "top");
  EXPECT_EQ(s.cursor(), (CursorPos{23, 79}));
  s.feed("\r\n");
  EXPECT_EQ(s.row_text(0), "");
  EXPECT_EQ(s.row_text(22), std::string(80, 'x'));
}

}  // namespace
}  // namespace e2e
