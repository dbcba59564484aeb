#include "console/key_decoder.h"

#include <charconv>

#include "console/terminal_text.h"

namespace {

std::string scan_key(char code) { return std::string{'\0', code}; }

// Final letters of CSI and SS3 sequences: arrows, Home, End, F1-F4.
char scan_for_letter(char final) {
  switch (final) {
    case 'A': return scan_code::kUp;
    case 'B': return scan_code::kDown;
    case 'C': return scan_code::kRight;
    case 'D': return scan_code::kLeft;
    case 'H': return scan_code::kHome;
    case 'F': return scan_code::kEnd;
    case 'P': return scan_code::kF1;
    case 'Q': return scan_code::kF1 + 1;
    case 'R': return scan_code::kF1 + 2;
    case 'S': return scan_code::kF1 + 3;
    case 'Z': return scan_code::kBackTab;
    default: return 0;
  }
}

// "CSI n ~" keys, by n.
char scan_for_number(int n) {
  switch (n) {
    case 1:
    case 7: return scan_code::kHome;
    case 4:
    case 8: return scan_code::kEnd;
    case 2: return scan_code::kInsert;
    case 3: return scan_code::kDelete;
    case 5: return scan_code::kPageUp;
    case 6: return scan_code::kPageDown;
    case 11:
    case 12:
    case 13:
    case 14:
    case 15: return static_cast<char>(scan_code::kF1 + n - 11);
    case 17:
    case 18:
    case 19:
    case 20:
    case 21: return static_cast<char>(scan_code::kF1 + 5 + n - 17);
    case 23: return scan_code::kF11;
    case 24: return scan_code::kF12;
    default: return 0;
  }
}

}  // namespace

std::string key_for_sequence(std::string_view seq) {
  if (seq.size() < 3) return {};
  char code = 0;
  if (seq[1] == 'O') {
    code = scan_for_letter(seq[2]);
  } else if (seq[1] == '[' && seq[2] == '[' && seq.size() == 4) {
    // Linux console F1-F5: ESC [ [ A .. E
    if (seq[3] >= 'A' && seq[3] <= 'E') code = static_cast<char>(scan_code::kF1 + seq[3] - 'A');
  } else if (seq.back() == '~') {
    int n = 0;
    std::from_chars(seq.data() + 2, seq.data() + seq.size(), n);  // modifiers after ';' ignored
    code = scan_for_number(n);
  } else if (seq[2] != '<' && seq[2] != 'M') {  // not a mouse report
    code = scan_for_letter(seq.back());
  }
  return code ? scan_key(code) : std::string();
}

std::size_t KeyDecoder::escape_length() const {
  // partial_[0] is ESC.
  if (partial_.size() < 2) return 0;
  const char kind = partial_[1];
  if (kind == 'O') return partial_.size() >= 3 ? 3 : 0;
  if (kind != '[') return 1;  // Esc followed by an ordinary key
  if (partial_.size() >= 3 && partial_[2] == '[') return partial_.size() >= 4 ? 4 : 0;
  if (partial_.size() >= 3 && partial_[2] == 'M') return partial_.size() >= 6 ? 6 : 0;  // X10 mouse
  for (std::size_t i = 2; i < partial_.size(); ++i) {
    const unsigned char c = partial_[i];
    if (c >= 0x40 && c <= 0x7E) return i + 1;  // final byte
    if (c < 0x20 || c > 0x3F) return i;        // broken: end the sequence here
  }
  return 0;
}

std::size_t KeyDecoder::skip_overlong(std::size_t pos) {
  for (; pos < partial_.size(); ++pos) {
    const unsigned char c = partial_[pos];
    if (c >= 0x20 && c <= 0x3F) continue;  // parameter and intermediate bytes
    overlong_ = false;
    return c >= 0x40 && c <= 0x7E ? pos + 1 : pos;  // its final byte, or a broken end
  }
  return pos;
}

void KeyDecoder::decode(std::deque<std::string>& keys) {
  std::size_t pos = overlong_ ? skip_overlong(0) : 0;
  while (pos < partial_.size()) {
    const unsigned char c = partial_[pos];
    if (c == 0x1B) {
      partial_.erase(0, pos);
      pos = 0;
      const std::size_t length = escape_length();
      if (length == 0 && partial_.size() >= kLongestSequence) {
        overlong_ = true;  // its final byte would make it longer than any key
        pos = skip_overlong(kLongestSequence);
        continue;
      }
      if (length == 0) return;  // wait for the rest, or for the timeout
      if (length == 1) {
        keys.emplace_back(1, kEscKey);
      } else if (length <= kLongestSequence) {
        std::string key = key_for_sequence(std::string_view(partial_).substr(0, length));
        if (!key.empty()) keys.push_back(std::move(key));
      }
      pos = length;
      continue;
    }
    if (line_input_ && c == '\n') {
      if (!after_cr_) keys.emplace_back(1, kEnterKey);
      after_cr_ = false;
      ++pos;
      continue;
    }
    after_cr_ = c == '\r';
    if (c == 0x7F) {
      keys.emplace_back(1, kBackspaceKey);
      ++pos;
      continue;
    }
    std::size_t length = utf8_length(c);
    if (length > 1) {
      if (pos + length > partial_.size()) {
        // Wait for the rest of the character unless it is already broken.
        bool broken = false;
        for (std::size_t k = pos + 1; k < partial_.size(); ++k)
          broken = broken || (static_cast<unsigned char>(partial_[k]) & 0xC0) != 0x80;
        if (!broken) break;
        length = 1;
      } else {
        for (std::size_t k = 1; k < length; ++k)
          if ((static_cast<unsigned char>(partial_[pos + k]) & 0xC0) != 0x80) length = 1;
      }
    }
    keys.push_back(partial_.substr(pos, length));
    pos += length;
  }
  partial_.erase(0, pos);
}

void KeyDecoder::feed(std::string_view bytes, std::deque<std::string>& keys) {
  partial_.append(bytes);
  decode(keys);
}

void KeyDecoder::flush(std::deque<std::string>& keys) {
  overlong_ = false;
  if (partial_.empty()) return;
  if (partial_ == "\x1b") {
    keys.emplace_back(1, kEscKey);
  } else if (static_cast<unsigned char>(partial_[0]) != 0x1B) {
    for (char c : partial_) keys.emplace_back(1, c);  // a cut-off character, byte by byte
  }
  partial_.clear();
}
