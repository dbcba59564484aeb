// Key presses out of console key events. A console reports every key going
// down and coming up, modifier keys alone included; the programs want only
// the presses, as texts the way key_decoder.h writes them (here in UTF-16):
// the character, or code 0 and the scan code for a key without one.
#ifndef CONSOLE_KEY_EVENTS_H
#define CONSOLE_KEY_EVENTS_H

#include <cstdint>
#include <optional>
#include <string>

struct KeyEvent {
  bool key_down = false;
  std::uint16_t virtual_key = 0;
  std::uint16_t scan_code = 0;
  char16_t character = 0;  // 0 for a key without one
};

enum class KeyEventKind {
  skip,          // a key coming up, or a modifier key alone
  character,     // a press of a key that carries a character
  no_character,  // a press of a key without one (arrows, F1, Home...)
};

KeyEventKind key_event_kind(const KeyEvent& event);

// The character of a press: the one reported, or Esc for the Esc key when
// its character is missing (as some consoles report it). 0 when none.
char16_t key_event_character(const KeyEvent& event);

// Key presses one event at a time. A character outside the 16-bit range
// comes as two events, one per half of its surrogate pair, and makes one key.
class KeyEventReader {
 public:
  // The key that `event` completes, or nothing for an event to skip or the
  // first half of a pair. A first half that any other press follows is
  // dropped; a second half without a first is a key of its own.
  std::optional<std::u16string> take(const KeyEvent& event);

 private:
  char16_t high_ = 0;
};

#endif  // CONSOLE_KEY_EVENTS_H
