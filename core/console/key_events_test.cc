#include "console/key_events.h"

#include <gtest/gtest.h>

namespace {

KeyEvent press(char16_t c, std::uint16_t vk = 0, std::uint16_t scan = 0) { return {true, vk, scan, c}; }
KeyEvent release(char16_t c, std::uint16_t vk = 0, std::uint16_t scan = 0) { return {false, vk, scan, c}; }

TEST(KeyEventKind, OnlyPressesCount) {
  EXPECT_EQ(key_event_kind(press(u'a', 0x41, 0x1E)), KeyEventKind::character);
  EXPECT_EQ(key_event_kind(release(u'a', 0x41, 0x1E)), KeyEventKind::skip);
  EXPECT_EQ(key_event_kind(release(0, 0x1B, 0x01)), KeyEventKind::skip);        // Esc coming up
  EXPECT_EQ(key_event_kind(press(0, 0x26, 0x48)), KeyEventKind::no_character);  // Up
  EXPECT_EQ(key_event_kind(press(0, 0x70, 0x3B)), KeyEventKind::no_character);  // F1
}

TEST(KeyEventKind, ModifierKeysAloneAreSkipped) {
  for (const std::uint16_t scan : {0x1D, 0x2A, 0x36, 0x38, 0x3A, 0x45, 0x46})
    EXPECT_EQ(key_event_kind(press(0, 0x10, scan)), KeyEventKind::skip) << scan;
  // A key that carries a character is never taken for a modifier.
  EXPECT_EQ(key_event_kind(press(u'z', 0, 0x2A)), KeyEventKind::character);
  // Nor is a key without a character next to them.
  EXPECT_EQ(key_event_kind(press(0, 0x5B, 0x5B)), KeyEventKind::no_character);  // Windows key
}

TEST(KeyEventKind, EscIsACharacterWithOrWithoutOne) {
  EXPECT_EQ(key_event_character(press(27, 0x1B, 0x01)), 27);
  EXPECT_EQ(key_event_character(press(0, 0x1B, 0x01)), 27);
  EXPECT_EQ(key_event_kind(press(0, 0x1B, 0x01)), KeyEventKind::character);
  EXPECT_EQ(key_event_character(press(0, 0x26, 0x48)), 0);
  // Ctrl+C with processed input off is character 3, nothing more.
  EXPECT_EQ(key_event_character(press(3, 0x43, 0x2E)), 3);
}

TEST(KeyEventReader, KeysAsTexts) {
  KeyEventReader r;
  EXPECT_EQ(r.take(press(u'\u00e9', 0, 0x1A)), u"\u00e9");
  EXPECT_EQ(r.take(press(0, 0x1B, 0x01)), u"\x1b");
  EXPECT_EQ(r.take(press(13, 0x0D, 0x1C)), u"\r");
  EXPECT_EQ(r.take(press(0, 0x25, 0x4B)), (std::u16string{0, 0x4B}));  // Left
  // A key the console could not name (no virtual key, no scan code) still
  // counts as a press, so that it ends a wait for any key.
  EXPECT_EQ(r.take(press(0, 0, 0)), (std::u16string{0, 0}));
  EXPECT_EQ(r.take(release(u'x', 0x58, 0x2D)), std::nullopt);
  EXPECT_EQ(r.take(press(0, 0x11, 0x1D)), std::nullopt);
}

TEST(KeyEventReader, SurrogatePairsMakeOneKey) {
  KeyEventReader r;
  // U+1F600, with the releases a console reports between the halves.
  EXPECT_EQ(r.take(press(0xD83D)), std::nullopt);
  EXPECT_EQ(r.take(release(0xD83D)), std::nullopt);
  EXPECT_EQ(r.take(press(0xDE00)), (std::u16string{0xD83D, 0xDE00}));
  // A first half that another key follows is lost; the other key is not.
  EXPECT_EQ(r.take(press(0xD83D)), std::nullopt);
  EXPECT_EQ(r.take(press(u'a')), u"a");
  EXPECT_EQ(r.take(press(0xD83D)), std::nullopt);
  EXPECT_EQ(r.take(press(0xD83E)), std::nullopt);
  EXPECT_EQ(r.take(press(0xDD14)), (std::u16string{0xD83E, 0xDD14}));
  EXPECT_EQ(r.take(press(0xD83D)), std::nullopt);
  EXPECT_EQ(r.take(press(0, 0x28, 0x50)), (std::u16string{0, 0x50}));
  // A second half alone is a key of its own.
  EXPECT_EQ(r.take(press(0xDE00)), std::u16string(1, char16_t(0xDE00)));
}

}  // namespace
