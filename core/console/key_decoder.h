// Turns the bytes a terminal sends for key presses into keys.
//
// A key is a text: one character for a key that carries one (Esc is "\x1b",
// Enter "\r", Backspace "\b", a UTF-8 character whole), or code 0 followed by
// the PC scan code for a key without one (Up is "\0\x48"; see below).
#ifndef CONSOLE_KEY_DECODER_H
#define CONSOLE_KEY_DECODER_H

#include <deque>
#include <string>
#include <string_view>

namespace scan_code {
inline constexpr char kF1 = 0x3B, kF10 = 0x44, kF11 = 0x57, kF12 = 0x58;
inline constexpr char kHome = 0x47, kUp = 0x48, kPageUp = 0x49, kLeft = 0x4B;
inline constexpr char kRight = 0x4D, kEnd = 0x4F, kDown = 0x50, kPageDown = 0x51;
inline constexpr char kInsert = 0x52, kDelete = 0x53, kBackTab = 0x0F;
}  // namespace scan_code

inline constexpr char kEscKey = 27;
inline constexpr char kEnterKey = 13;
inline constexpr char kBackspaceKey = 8;

class KeyDecoder {
 public:
  // With `line_input` (keys read from a file or pipe, not a terminal) a line
  // feed, or a CR LF pair, is one Enter.
  explicit KeyDecoder(bool line_input = false) : line_input_(line_input) {}

  // Decodes `bytes`; complete keys are appended to `keys`. An escape
  // sequence or UTF-8 character cut by the end of `bytes` waits for more.
  void feed(std::string_view bytes, std::deque<std::string>& keys);

  // No more bytes came in time: a waiting lone Esc is a key press; any other
  // unfinished sequence is dropped.
  void flush(std::deque<std::string>& keys);

  // Bytes are waiting for the rest of their sequence.
  bool pending() const { return !partial_.empty() || overlong_; }

  // Longest escape sequence that is a key, its final byte included. A longer
  // one is no key however the reads split it: an unfinished one that reaches
  // this length is dropped as its bytes come, up to its end, and one that
  // arrives whole is dropped whole.
  static constexpr std::size_t kLongestSequence = 64;

 private:
  // Decodes partial_ as far as it goes.
  void decode(std::deque<std::string>& keys);
  // Length of the escape sequence at the start of partial_, 0 if unfinished.
  std::size_t escape_length() const;
  // Drops the bytes of an overlong sequence from `pos` on; where it ends.
  std::size_t skip_overlong(std::size_t pos);

  bool line_input_;
  bool after_cr_ = false;
  bool overlong_ = false;  // the rest of an overlong sequence is being dropped
  std::string partial_;
};

// The key for a finished escape sequence, or "" for one that stands for no
// key we know (mouse and focus reports among them).
std::string key_for_sequence(std::string_view sequence);

#endif  // CONSOLE_KEY_DECODER_H
