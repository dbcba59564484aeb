// The console's rules (console.cc) over a platform that plays keys from a
// list and notes what it was asked to show.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/console_platform.h"

namespace {

struct FakePlatform {
  std::deque<std::string> incoming;  // keys still to come
  bool interrupt_is_a_key = false;
  bool output_failed = false;
  std::string typed;               // what show_typed was given
  int erased = 0;                  // erase_typed calls
  std::vector<std::string> shown;  // show_to_person lines
  std::string ended_with;          // the answer end_answer was given
};

FakePlatform f;

void play(std::initializer_list<std::string> keys) {
  f = {};
  f.incoming.assign(keys);
}

}  // namespace

void print_text(std::string_view) {}
void print_newline() {}
void print_line(std::string_view) {}
void set_text_colour(int) {}
void beep() {}
KeyWake key_wake() { return {}; }

namespace console_platform {
void start() {}
std::string arguments_text(int, char**) { return {}; }
void flush() {}
bool output_failed() { return f.output_failed; }
void show_to_person(std::string_view line) { f.shown.emplace_back(line); }
void begin_answer() {}
Placement show_typed(std::string_view character) {
  f.typed += character;
  return {};
}
void erase_typed(const Placement&) { ++f.erased; }
void redraw_if_resized(LineEditor&) {}
void end_answer(std::string_view answer) { f.ended_with = answer; }
void abandon_answer() {}
// Every key at once; a wait with none left finds that no more can come.
void read_keys(std::deque<std::string>& keys, bool) {
  while (!f.incoming.empty()) {
    keys.push_back(f.incoming.front());
    f.incoming.pop_front();
  }
}
bool keys_can_come() { return !f.incoming.empty(); }
bool interrupt_is_a_key() { return f.interrupt_is_a_key; }
void finish() {}
}  // namespace console_platform

namespace {

TEST(ConsoleRules, StopKeyBehindOtherKeysIsTakenWithThemAndLaterKeysStay) {
  play({"a", std::string("\0\x48", 2), "\x1b", "b", "\x03"});
  EXPECT_TRUE(stop_key_pressed());
  EXPECT_FALSE(stop_key_pressed());  // Ctrl+C is no key where it does not interrupt
  EXPECT_EQ(poll_key(), "b");
  EXPECT_EQ(poll_key(), "\x03");
  EXPECT_EQ(poll_key(), "");
  EXPECT_FALSE(key_waiting());
}

TEST(ConsoleRules, AnswerLineTakesPrintableKeysAndBackspace) {
  play({"a", "\xC3\xA9", "\b", "\b", "\b", "\t", std::string("\0\x4B", 2), "\x1b", "b", "\r", "z"});
  EXPECT_EQ(read_line(), "b");
  EXPECT_EQ(f.typed,
            "a\xC3\xA9"
            "b");
  EXPECT_EQ(f.erased, 2);  // the third Backspace finds nothing to take
  EXPECT_EQ(f.ended_with, "b");
  EXPECT_EQ(poll_key(), "z");  // keys after Enter wait for later
}

TEST(ConsoleRules, AnswerLineEndsWhenNoMoreKeysCome) {
  play({"x", "y"});
  EXPECT_EQ(read_line(), "xy");
  EXPECT_EQ(read_line(), "");
}

TEST(ConsoleRules, ClosingWaitTellsThePersonOnlyWhenAKeyCanCome) {
  play({"k"});
  wait_for_key();
  EXPECT_EQ(f.shown, std::vector<std::string>{"Any key to close this window..."});
  EXPECT_EQ(poll_key(), "k");  // the key stays unread
  wait_for_key();
  EXPECT_EQ(f.shown.size(), 1u);
}

TEST(ConsoleRules, StatusSaysTheTranscriptIsShort) {
  play({});
  EXPECT_EQ(exit_status(0), 0);
  EXPECT_EQ(exit_status(2), 2);
  f.output_failed = true;
  EXPECT_EQ(exit_status(0), 1);
  EXPECT_EQ(exit_status(2), 2);
}

// Last: an interrupt stays for the rest of the process.
TEST(ConsoleRules, CtrlCWhereItIsAKeyStopsAndInterrupts) {
  play({"a", "\x03", "b"});
  f.interrupt_is_a_key = true;
  EXPECT_TRUE(stop_key_pressed());
  EXPECT_EQ(poll_key(), "b");
  EXPECT_EQ(exit_status(0), 130);
  f.incoming = {"k"};
  wait_for_key();  // returns at once, the key not read
  EXPECT_TRUE(f.shown.empty());
  EXPECT_EQ(f.incoming.size(), 1u);
}

}  // namespace
