// Line input as the user types it: where each character lands on the screen,
// so that Backspace can take back a whole character, also across a row that
// has wrapped.
#ifndef CONSOLE_LINE_EDITOR_H
#define CONSOLE_LINE_EDITOR_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A cell position, rows counted from where tracking began.
struct Placement {
  std::int64_t row = 0;
  int col = 0;  // 0-based
  int cells = 0;
};

// The cursor of a terminal whose rows are `width` cells wide. Like the
// terminal, it stays in the last row it filled until the next character
// comes (col == width means "row full").
class CursorTracker {
 public:
  void set_width(int width) { width_ = width > 0 ? width : 1; }
  int width() const { return width_; }
  // Places a character of `cells` columns; returns where it starts.
  Placement place(int cells);
  // Ends the line; returns the number of line feeds the terminal needs: two
  // after a row that text filled exactly, which leaves one empty row.
  int newline();
  void move_to(std::int64_t row, int col);
  bool row_full() const { return col_ >= width_; }
  std::int64_t row() const { return row_; }
  int col() const { return col_; }

 private:
  int width_ = 80;
  std::int64_t row_ = 0;
  int col_ = 0;
};

class LineEditor {
 public:
  static constexpr std::size_t kMaxCharacters = 10000;

  // Whether one more character would be kept (and so shown).
  bool has_room() const { return placements_.size() < kMaxCharacters; }
  // Stores a typed character (one UTF-8 character) placed at `where`.
  void add(std::string_view character, Placement where);
  // Forgets the last character; where it was, or nothing when none is held.
  std::optional<Placement> remove_last();
  const std::string& text() const { return text_; }
  std::size_t size() const { return placements_.size(); }
  // After the line has been drawn anew: `place` gets every character, in
  // order, and returns where it now stands.
  template <typename Place>
  void place_again(Place place) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < placements_.size(); ++i) {
      placements_[i] = place(std::string_view(text_).substr(start, lengths_[i]));
      start += lengths_[i];
    }
  }

 private:
  std::string text_;
  std::vector<Placement> placements_;
  std::vector<std::uint8_t> lengths_;  // bytes of each character
};

#endif  // CONSOLE_LINE_EDITOR_H
