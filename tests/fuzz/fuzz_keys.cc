// Keyboard input as the console takes it: KeyDecoder on bytes split anywhere,
// the keys typed into a LineEditor placed by a Cursor as read_line does,
// display_unit_at on every position of the bytes, and the answer helpers on
// the typed lines.
//
// Input: a flags byte (bit 0: line input from a file; bits 1-3 all set:
// start from an editor 1 to 16 characters short of full, by bits 4-7), two
// bytes for the width, a byte seeding the splits and width changes, then the
// key bytes.
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "console/answers.h"
#include "console/key_decoder.h"
#include "console/line_editor.h"
#include "console/terminal_text.h"
#include "display_checks.h"
#include "fuzz_check.h"

namespace {

using fuzz::quoted;

// Small, fixed pseudo-random numbers from a seed byte.
class Random {
 public:
  explicit Random(std::uint32_t seed) : state_(seed * 2654435761u + 1) {}
  std::uint32_t next(std::uint32_t bound) {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_ % bound;
  }

 private:
  std::uint32_t state_;
};

std::string joined(const std::deque<std::string>& keys) {
  std::string out;
  for (const std::string& k : keys) out += quoted(k) + " ";
  return out;
}

bool is_scan_code(char c) {
  switch (c) {
    case scan_code::kF11:
    case scan_code::kF12:
    case scan_code::kHome:
    case scan_code::kUp:
    case scan_code::kPageUp:
    case scan_code::kLeft:
    case scan_code::kRight:
    case scan_code::kEnd:
    case scan_code::kDown:
    case scan_code::kPageDown:
    case scan_code::kInsert:
    case scan_code::kDelete:
    case scan_code::kBackTab: return true;
    default: return c >= scan_code::kF1 && c <= scan_code::kF10;
  }
}

void check_key(const std::string& key, bool line_input, std::string_view input) {
  auto what = [&] { return "key " + quoted(key) + " from " + quoted(input); };
  FUZZ_CHECK(!key.empty(), what() + ": empty key");
  if (key[0] == '\0' && key.size() > 1) {
    FUZZ_CHECK(key.size() == 2 && is_scan_code(key[1]), what() + ": not a scan code");
    return;
  }
  if (key.size() == 1) {
    FUZZ_CHECK(key[0] != 0x7F, what() + ": DEL is Backspace");
    if (line_input) FUZZ_CHECK(key[0] != '\n', what() + ": a line feed is Enter");
    return;
  }
  const unsigned char lead = static_cast<unsigned char>(key[0]);
  FUZZ_CHECK(utf8_length(lead) == key.size(), what() + ": length does not match the lead byte");
  for (std::size_t k = 1; k < key.size(); ++k)
    FUZZ_CHECK((static_cast<unsigned char>(key[k]) & 0xC0) == 0x80, what() + ": broken character");
}

// What the keys spell when no escape sequence is involved.
std::string expected_key_bytes(std::string_view input, bool line_input) {
  std::string out;
  char previous = 0;
  for (char c : input) {
    if (c == 0x7F) {
      out += '\b';
    } else if (line_input && c == '\n') {
      if (previous != '\r') out += '\r';
    } else {
      out += c;
    }
    previous = c;
  }
  return out;
}

// first_field as answers.h describes it.
std::string expected_first_field(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && line[i] == ' ') ++i;
  if (i == line.size()) return {};
  if (line[i] == '"') {
    std::string out;
    for (++i; i < line.size() && line[i] != '"'; ++i) out += line[i];
    return out;
  }
  std::string out;
  for (; i < line.size() && line[i] != ','; ++i) out += line[i];
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

bool is_accented_small(unsigned char second) {
  switch (second) {
    case 0xA4:
    case 0xB6:
    case 0xBC:
    case 0xA9:
    case 0xB1:
    case 0xA5:
    case 0xA7: return true;
    default: return false;
  }
}

void check_answers(std::string_view line) {
  const std::string field = first_field(line);
  FUZZ_CHECK(field == expected_first_field(line), "first_field(" + quoted(line) + ") = " + quoted(field));
  const std::string upper = to_upper(line);
  auto what = [&] { return "to_upper(" + quoted(line) + ") = " + quoted(upper); };
  FUZZ_CHECK(upper.size() == line.size(), what() + ": length changed");
  for (std::size_t i = 0; i < line.size(); ++i) {
    const unsigned char before = static_cast<unsigned char>(line[i]);
    const unsigned char after = static_cast<unsigned char>(upper[i]);
    const bool after_c3 = i > 0 && static_cast<unsigned char>(line[i - 1]) == 0xC3;
    auto at = [&] { return what() + " at " + std::to_string(i); };
    if (before >= 0x80) {
      if (after != before)
        FUZZ_CHECK(after_c3 && is_accented_small(before) && after == before - 0x20,
                   at() + ": a byte of another character changed");
    } else if (before >= 'a' && before <= 'z') {
      FUZZ_CHECK(after == before || after == before - 'a' + 'A', at() + ": letter");
      if (!after_c3) FUZZ_CHECK(after == before - 'a' + 'A', at() + ": letter not upper-cased");
    } else {
      FUZZ_CHECK(after == before, at() + ": not a letter, changed");
    }
  }
  FUZZ_CHECK(to_upper(upper) == upper, what() + ": upper-casing twice changes it again");
  FUZZ_CHECK(field_answer(line) == to_upper(field), "field_answer(" + quoted(line) + ")");
}

// Placements are never negative, a character starts inside its row unless it
// is wider than the row, and each one lies at or after the end of the one
// before it.
void check_placement(const Placement& p, int width, const Placement* before) {
  auto what = [&] {
    return "placement row " + std::to_string(p.row) + " col " + std::to_string(p.col) + " cells " +
           std::to_string(p.cells) + " width " + std::to_string(width);
  };
  FUZZ_CHECK(p.row >= 0 && p.col >= 0 && p.cells >= 0 && p.cells <= 2, what() + ": out of range");
  if (p.cells > 0) FUZZ_CHECK(p.col + p.cells <= width || p.col == 0, what() + ": past the row end");
  if (before)
    FUZZ_CHECK(p.row > before->row || (p.row == before->row && p.col >= before->col + before->cells),
               what() + ": before the end of the previous character at row " + std::to_string(before->row) +
                   " col " + std::to_string(before->col));
}

// A line being typed, and what the editor should hold.
struct Typing {
  Cursor cursor;
  LineEditor editor;
  std::string typed;                  // what was added minus what was removed
  std::vector<std::uint8_t> lengths;  // bytes of each character in `typed`
  std::vector<Placement> where;       // where each one was placed

  void add(std::string_view character, Placement p) {
    editor.add(character, p);
    typed += character;
    lengths.push_back(static_cast<std::uint8_t>(character.size()));
    where.push_back(p);
  }
};

// A line of 'x's 16 short of the editor's limit, typed once at 80 columns.
constexpr std::size_t kFullBase = LineEditor::kMaxCharacters - 16;
const Typing& nearly_full() {
  static const Typing base = [] {
    Typing t;
    for (std::size_t i = 0; i < kFullBase; ++i) t.add("x", t.cursor.place(1));
    return t;
  }();
  return base;
}

// The line each input types into, kept from one input to the next and set by
// copy assignment, which keeps the storage: under the sanitizers, fresh
// buffers for a line of 10,000 characters cost far more than the typing.
Typing& typing_from(std::size_t prefill) {
  static const Typing empty;
  static Typing line;
  line = prefill >= kFullBase ? nearly_full() : empty;
  return line;
}

// read_line: Enter ends a line, Backspace takes back the last character,
// printable keys are echoed where the cursor places them.
void type_keys(const std::deque<std::string>& keys, int width, std::size_t prefill, Random& random) {
  static const LineEditor kNoLine;
  Typing& t = typing_from(prefill);
  Cursor& cursor = t.cursor;
  LineEditor& editor = t.editor;
  std::string& typed = t.typed;
  std::vector<std::uint8_t>& lengths = t.lengths;
  std::vector<Placement>& where = t.where;
  cursor.set_width(width);
  while (editor.size() < prefill) t.add("x", cursor.place(1));
  auto check_text = [&](auto&& after) {
    FUZZ_CHECK(editor.text() == typed,
               after() + ": editor holds " + quoted(editor.text()) + ", typed " + quoted(typed));
  };
  for (const std::string& key : keys) {
    auto after = [&] { return "after key " + quoted(key); };
    if (random.next(32) == 0) cursor.set_width(1 + static_cast<int>(random.next(300)));
    if (key[0] == kEnterKey) {
      check_text(after);
      if (typed.size() < 1024) check_answers(editor.text());
      cursor.newline();
      editor = kNoLine;  // a copy, so that the storage stays
      typed.clear();
      lengths.clear();
      where.clear();
    } else if (key[0] == kBackspaceKey) {
      const std::optional<Placement> p = editor.remove_last();
      FUZZ_CHECK(p.has_value() == !where.empty(), after() + ": nothing to remove, or nothing removed");
      if (p) {
        const Placement& q = where.back();
        FUZZ_CHECK(p->row == q.row && p->col == q.col && p->cells == q.cells,
                   after() + ": removed placement differs");
        cursor.move_to(p->row, p->col);
        typed.resize(typed.size() - lengths.back());
        lengths.pop_back();
        where.pop_back();
        // The same character typed again lands where this one was.
        if (p->col + p->cells <= cursor.width()) {
          Cursor again = cursor;
          const Placement r = again.place(p->cells);
          FUZZ_CHECK(r.row == p->row && r.col == p->col, after() + ": retyped elsewhere");
        }
      }
    } else if (static_cast<unsigned char>(key[0]) >= 0x20 && editor.has_room()) {
      const DisplayUnit unit = display_unit_at(key, 0);
      fuzz::check_display_unit(key, 0);
      const Placement p = cursor.place(unit.cells);
      check_placement(p, cursor.width(), where.empty() ? nullptr : &where.back());
      t.add(key, p);
    } else if (static_cast<unsigned char>(key[0]) >= 0x20) {
      FUZZ_CHECK(editor.size() == LineEditor::kMaxCharacters, after() + ": no room before the limit");
    }
    FUZZ_CHECK(editor.size() == lengths.size(), after() + ": size " + std::to_string(editor.size()));
    FUZZ_CHECK(editor.size() <= LineEditor::kMaxCharacters, after() + ": too many characters");
    FUZZ_CHECK(editor.text().size() == typed.size(), after() + ": text length");
    if (typed.size() < 256) check_text(after);
    FUZZ_CHECK(cursor.row() >= 0 && cursor.col() >= 0, after() + ": cursor out of range");
  }
  check_text([] { return std::string("at the end"); });
  if (typed.size() < 1024) check_answers(editor.text());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const bool line_input = data[0] & 1;
  const std::size_t prefill = (data[0] & 0x0E) == 0x0E ? LineEditor::kMaxCharacters - 1 - (data[0] >> 4) : 0;
  const int width = 1 + (data[1] | data[2] << 8) % 300;
  Random random(data[3]);
  const std::string_view input(reinterpret_cast<const char*>(data) + 4, size - 4);

  // All at once.
  std::deque<std::string> whole;
  KeyDecoder decoder(line_input);
  decoder.feed(input, whole);
  decoder.flush(whole);
  FUZZ_CHECK(!decoder.pending(), "pending after flush");
  for (const std::string& key : whole) check_key(key, line_input, input);
  if (input.find('\x1b') == std::string_view::npos) {
    std::string spelt;
    for (const std::string& key : whole) spelt += key;
    FUZZ_CHECK(spelt == expected_key_bytes(input, line_input),
               "keys " + joined(whole) + "from " + quoted(input));
  }

  // In pieces: the same keys.
  std::deque<std::string> pieces;
  KeyDecoder split(line_input);
  for (std::size_t pos = 0; pos < input.size();) {
    const std::size_t n = 1 + random.next(random.next(4) == 0 ? 64 : 4);
    split.feed(input.substr(pos, n), pieces);
    pos += n;
  }
  split.flush(pieces);
  FUZZ_CHECK(pieces == whole,
             "split keys " + joined(pieces) + "whole " + joined(whole) + "from " + quoted(input));

  // In pieces with the escape timeout passing now and then, as at a terminal.
  std::deque<std::string> timed;
  KeyDecoder slow(line_input);
  for (std::size_t pos = 0; pos < input.size();) {
    const std::size_t n = 1 + random.next(8);
    slow.feed(input.substr(pos, n), timed);
    pos += n;
    if (slow.pending() && random.next(4) == 0) slow.flush(timed);
  }
  slow.flush(timed);
  for (const std::string& key : timed) check_key(key, line_input, input);

  type_keys(timed, width, prefill, random);

  fuzz::check_display_text(input);
  check_answers(input);
  return 0;
}
