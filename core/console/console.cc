// The console's rules, written once over console_platform.h: the answer
// line, the stop keys, the closing wait and the status at the end.
#include "console/console.h"

#include <cstdlib>
#include <deque>
#include <optional>
#include <string>
#include <utility>

#include "console/console_platform.h"
#include "console/key_decoder.h"
#include "console/line_editor.h"

namespace platform = console_platform;

namespace {

// The status of a program that Ctrl+C interrupted, as a shell gives it
// (128 + SIGINT).
constexpr int kInterruptedStatus = 130;
// Ctrl+C as a key in raw mode.
constexpr std::string_view kInterruptKey = "\x03";
// What the person at the keyboard is told at the closing wait when stdout
// goes elsewhere.
constexpr std::string_view kClosingNotice = "Any key to close this window...";

struct Keys {
  std::deque<std::string> waiting;  // read, not yet taken
  bool interrupted = false;         // Ctrl+C was pressed at the terminal
};

Keys g;
std::string g_tail;

// Reads what has come; Ctrl+C interrupts the program as soon as it is read.
void read_keys(bool wait) {
  platform::read_keys(g.waiting, wait);
  if (!platform::interrupt_is_a_key()) return;
  for (const std::string& key : g.waiting)
    if (key == kInterruptKey) g.interrupted = true;
}

std::string take_key() {
  if (g.waiting.empty()) return {};
  std::string key = std::move(g.waiting.front());
  g.waiting.pop_front();
  return key;
}

// The next key of a line being typed, waiting for it; nothing when no more
// keys can come. A line the screen has rewrapped is drawn anew first.
std::optional<std::string> next_answer_key(LineEditor& editor) {
  for (;;) {
    platform::redraw_if_resized(editor);
    if (!g.waiting.empty()) return take_key();
    if (!platform::keys_can_come()) return std::nullopt;
    read_keys(true);
  }
}

}  // namespace

void console_init(int argc, char** argv) {
  platform::start();
  g_tail = platform::arguments_text(argc, argv);
}

void print_instruction(std::string_view text) {
  print_line(text);
  platform::show_to_person(text);
}

std::string read_line() {
  platform::begin_answer();
  LineEditor editor;
  while (const std::optional<std::string> key = next_answer_key(editor)) {
    const char c = (*key)[0];
    if (c == kEnterKey) break;
    if (g.interrupted) {  // Ctrl+C: the program ends here, nothing taken
      platform::abandon_answer();
      end_program(0);
    }
    if (c == kBackspaceKey) {
      if (const auto p = editor.remove_last()) platform::erase_typed(*p);
    } else if (static_cast<unsigned char>(c) >= 0x20 && editor.has_room()) {
      editor.add(*key, platform::show_typed(*key));
    }
    // Other control keys and keys without a character change nothing.
  }
  platform::end_answer(editor.text());
  return editor.text();
}

std::string poll_key() {
  platform::flush();
  if (g.waiting.empty()) read_keys(false);
  return take_key();
}

bool key_waiting() {
  platform::flush();
  if (g.waiting.empty()) read_keys(false);
  return !g.waiting.empty();
}

bool is_stop_key(std::string_view key) {
  return key == "\x1b" || (key == kInterruptKey && platform::interrupt_is_a_key());
}

bool stop_key_pressed() {
  read_keys(false);
  for (auto key = g.waiting.begin(); key != g.waiting.end(); ++key) {
    if (!is_stop_key(*key)) continue;
    g.waiting.erase(g.waiting.begin(), key + 1);
    return true;
  }
  return false;  // other keys typed ahead stay for the closing wait
}

void wait_for_key() {
  platform::flush();
  if (g.interrupted) return;
  if (platform::keys_can_come()) platform::show_to_person(kClosingNotice);
  while (g.waiting.empty() && platform::keys_can_come()) read_keys(true);
}

std::string command_tail() { return g_tail; }

int exit_status(int code) {
  if (g.interrupted) return kInterruptedStatus;
  return code == 0 && platform::output_failed() ? 1 : code;
}

void end_program(int code) {
  platform::finish();
  std::exit(exit_status(code));
}
