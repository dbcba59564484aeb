#include "console/key_decoder.h"

#include <gtest/gtest.h>

namespace {

std::deque<std::string> decode(std::string_view bytes, bool line_input = false) {
  KeyDecoder d(line_input);
  std::deque<std::string> keys;
  d.feed(bytes, keys);
  d.flush(keys);
  return keys;
}

std::string scan_key(char code) { return std::string{'\0', code}; }

TEST(KeyDecoder, CharactersAndControls) {
  EXPECT_EQ(decode("ab\r"), (std::deque<std::string>{"a", "b", "\r"}));
  EXPECT_EQ(decode("\x7f\x08"), (std::deque<std::string>{"\b", "\b"}));
  EXPECT_EQ(decode("\x03"), (std::deque<std::string>{"\x03"}));  // Ctrl+C is a key
  EXPECT_EQ(decode("\xC3\xA9\xE2\x82\xAC"), (std::deque<std::string>{"\xC3\xA9", "\xE2\x82\xAC"}));
  EXPECT_EQ(decode("\xC3x"), (std::deque<std::string>{"\xC3", "x"}));  // broken character
}

TEST(KeyDecoder, SpecialKeysBecomeScanCodes) {
  EXPECT_EQ(decode("\x1b[A\x1b[B\x1b[C\x1b[D"),
            (std::deque<std::string>{scan_key(0x48), scan_key(0x50), scan_key(0x4D), scan_key(0x4B)}));
  EXPECT_EQ(decode("\x1bOH\x1b[F\x1b[2~\x1b[3~\x1b[5~\x1b[6~"),
            (std::deque<std::string>{scan_key(0x47), scan_key(0x4F), scan_key(0x52), scan_key(0x53),
                                     scan_key(0x49), scan_key(0x51)}));
  EXPECT_EQ(decode("\x1bOP\x1b[15~\x1b[21~\x1b[23~\x1b[24~\x1b[[A"),
            (std::deque<std::string>{scan_key(0x3B), scan_key(0x3F), scan_key(0x44), scan_key(0x57),
                                     scan_key(0x58), scan_key(0x3B)}));
  EXPECT_EQ(decode("\x1b[1;5A"), (std::deque<std::string>{scan_key(0x48)}));  // Ctrl+Up
  // Mouse and focus reports are no keys.
  EXPECT_TRUE(decode("\x1b[<0;3;4M\x1b[I\x1b[O").empty());
}

TEST(KeyDecoder, LoneEscWaitsForTimeout) {
  KeyDecoder d;
  std::deque<std::string> keys;
  d.feed("\x1b", keys);
  EXPECT_TRUE(keys.empty());
  EXPECT_TRUE(d.pending());
  d.flush(keys);
  EXPECT_EQ(keys, (std::deque<std::string>{"\x1b"}));
  // A sequence split over two reads is still one key.
  keys.clear();
  d.feed("\x1b[", keys);
  d.feed("A", keys);
  EXPECT_EQ(keys, (std::deque<std::string>{scan_key(0x48)}));
  // Esc followed by an ordinary key, and Esc twice.
  EXPECT_EQ(decode("\x1bx"), (std::deque<std::string>{"\x1b", "x"}));
  EXPECT_EQ(decode("\x1b\x1b"), (std::deque<std::string>{"\x1b", "\x1b"}));
  // An unfinished sequence is dropped, not taken for Esc.
  EXPECT_TRUE(decode("\x1b[1").empty());
}

// A sequence that never ends within the longest a key can be is not held
// whole: it is dropped as it comes, and the keys after it are decoded.
TEST(KeyDecoder, OverlongSequenceIsDroppedAsItComes) {
  KeyDecoder d;
  std::deque<std::string> keys;
  d.feed("\x1b[", keys);
  const std::string digits(256, '1');
  for (int i = 0; i < 4096; ++i) d.feed(digits, keys);  // 1 MiB in the pieces a read gives
  EXPECT_TRUE(d.pending());
  d.feed("Ax", keys);  // its final byte, then a key
  EXPECT_EQ(keys, (std::deque<std::string>{"x"}));
  // One held within the limit is still a key.
  keys.clear();
  d.feed("\x1b[" + std::string(59, '1') + ";5", keys);
  d.feed("A", keys);
  EXPECT_EQ(keys, (std::deque<std::string>{scan_key(0x48)}));
  // Cut by a byte that cannot belong to it: that byte is the next key.
  EXPECT_EQ(decode("\x1b[" + std::string(100, '2') + "\x7f"), (std::deque<std::string>{"\b"}));
}

// Whether a sequence is a key does not hang on where the reads cut it: one
// of the longest length a key may have is one, a byte more makes it none,
// read whole or in pieces of any size. (Found by fuzz_keys: a sequence of 73
// bytes read whole gave F2, cut by the reads it gave nothing.)
TEST(KeyDecoder, LengthLimitHoldsHoweverTheReadsSplit) {
  const std::string f2 = scan_key(0x3C);
  const std::string longest = "\x1b[" + std::string(61, '/') + "Q";  // 64 bytes
  const std::string longer = "\x1b[" + std::string(62, '/') + "Q";
  const std::string found = "\x1b[//(" + std::string(32, '/') + "?" + std::string(34, '/') + "Q";
  const struct {
    std::string bytes;
    std::deque<std::string> keys;
  } cases[] = {
      {longest + "x", {f2, "x"}},
      {longer + "x", {"x"}},
      {found + std::string("\0\x13", 2), {std::string(1, '\0'), "\x13"}},
      {longer + "\x1b[B", {scan_key(0x50)}},
  };
  for (const auto& c : cases) {
    for (std::size_t piece = 1; piece <= c.bytes.size(); ++piece) {
      KeyDecoder d;
      std::deque<std::string> keys;
      for (std::size_t pos = 0; pos < c.bytes.size(); pos += piece)
        d.feed(std::string_view(c.bytes).substr(pos, piece), keys);
      d.flush(keys);
      EXPECT_EQ(keys, c.keys) << c.bytes.size() << " bytes in pieces of " << piece;
    }
  }
}

TEST(KeyDecoder, LineInputFromAFile) {
  EXPECT_EQ(decode("N\nx\r\ny\r", true), (std::deque<std::string>{"N", "\r", "x", "\r", "y", "\r"}));
  EXPECT_EQ(decode("\n\n", true), (std::deque<std::string>{"\r", "\r"}));
  EXPECT_EQ(decode("a\n", false), (std::deque<std::string>{"a", "\n"}));  // Ctrl+J on a terminal
}

}  // namespace
