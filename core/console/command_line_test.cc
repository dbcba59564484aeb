#include "console/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string tail(std::string_view line) { return std::string(command_line_tail(line)); }

TEST(CommandLineTail, UnquotedNameEndsAtTheFirstBlank) {
  EXPECT_EQ(tail("log_lister.exe ALL.TXT"), "ALL.TXT");
  EXPECT_EQ(tail("log_lister.exe\tALL.TXT"), "ALL.TXT");
  EXPECT_EQ(tail("log_lister.exe"), "");
  EXPECT_EQ(tail(""), "");
  // A quote inside an unquoted name does not protect the blank after it.
  EXPECT_EQ(tail("C:\\a\"b c\"\\x.exe f"), "c\"\\x.exe f");
}

TEST(CommandLineTail, QuotedNameEndsAtItsClosingQuote) {
  EXPECT_EQ(tail("\"C:\\Program Files\\WSJT\\log_lister.exe\" ALL.TXT"), "ALL.TXT");
  EXPECT_EQ(tail("\"C:\\Program Files\\log_lister.exe\""), "");
  // Whatever touches the closing quote already belongs to the tail.
  EXPECT_EQ(tail("\"prog\"ALL.TXT"), "ALL.TXT");
  EXPECT_EQ(tail("\"\" x"), "x");
  // No closing quote: the whole line is the name.
  EXPECT_EQ(tail("\"C:\\Program Files\\prog.exe ALL.TXT"), "");
}

TEST(CommandLineTail, TheRestIsKeptAsItStands) {
  EXPECT_EQ(tail("prog  \t  my log.txt"), "my log.txt");
  EXPECT_EQ(tail("prog \"my log.txt\"  "), "\"my log.txt\"  ");
  EXPECT_EQ(tail("prog a   b"), "a   b");
  EXPECT_EQ(tail("prog    "), "");
}

TEST(CommandLineTail, WideTextsSplitAlike) {
  const std::u16string line = u"\"C:\\WSJT X\\log_tracker.exe\"  D\u00e9cod\u00e9.txt ";
  EXPECT_EQ(command_line_tail(std::u16string_view(line)), u"D\u00e9cod\u00e9.txt ");
  EXPECT_EQ(command_line_tail(std::wstring_view(L"prog.exe x y")), L"x y");
}

}  // namespace
