// Line input as the user types it: each character with where it landed on
// the screen (cursor.h), so that Backspace can take back a whole character.
#ifndef CONSOLE_LINE_EDITOR_H
#define CONSOLE_LINE_EDITOR_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/cursor.h"

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
