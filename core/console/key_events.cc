#include "console/key_events.h"

namespace {

constexpr std::uint16_t kEscVirtualKey = 0x1B;

bool is_high_surrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Ctrl, left and right Shift, Alt, Caps Lock, Num Lock, Scroll Lock.
bool is_modifier_scan_code(std::uint16_t scan) {
  switch (scan) {
    case 0x1D:
    case 0x2A:
    case 0x36:
    case 0x38:
    case 0x3A:
    case 0x45:
    case 0x46: return true;
    default: return false;
  }
}

}  // namespace

char16_t key_event_character(const KeyEvent& event) {
  if (event.character == 0 && event.virtual_key == kEscVirtualKey) return 27;
  return event.character;
}

KeyEventKind key_event_kind(const KeyEvent& event) {
  if (!event.key_down) return KeyEventKind::skip;
  if (key_event_character(event) != 0) return KeyEventKind::character;
  if (is_modifier_scan_code(event.scan_code)) return KeyEventKind::skip;
  return KeyEventKind::no_character;
}

std::optional<std::u16string> KeyEventReader::take(const KeyEvent& event) {
  switch (key_event_kind(event)) {
    case KeyEventKind::skip: return std::nullopt;
    case KeyEventKind::no_character:
      high_ = 0;
      return std::u16string{u'\0', static_cast<char16_t>(event.scan_code & 0xFF)};
    case KeyEventKind::character: break;
  }
  const char16_t c = key_event_character(event);
  if (is_high_surrogate(c)) {
    high_ = c;
    return std::nullopt;
  }
  std::u16string key;
  if (high_ != 0 && is_low_surrogate(c)) key += high_;
  high_ = 0;
  key += c;
  return key;
}
