#include "console/line_editor.h"

Placement CursorTracker::place(int cells) {
  if (cells > 0 && col_ + cells > width_) {  // wraps to the next row
    ++row_;
    col_ = 0;
  }
  const Placement p{row_, col_, cells};
  col_ += cells;
  return p;
}

int CursorTracker::newline() {
  const int feeds = row_full() ? 2 : 1;
  row_ += feeds;
  col_ = 0;
  return feeds;
}

void CursorTracker::move_to(std::int64_t row, int col) {
  row_ = row;
  col_ = col;
}

void LineEditor::add(std::string_view character, Placement where) {
  if (!has_room()) return;
  text_.append(character);
  placements_.push_back(where);
  lengths_.push_back(static_cast<std::uint8_t>(character.size()));
}

std::optional<Placement> LineEditor::remove_last() {
  if (placements_.empty()) return std::nullopt;
  const Placement p = placements_.back();
  text_.resize(text_.size() - lengths_.back());
  placements_.pop_back();
  lengths_.pop_back();
  return p;
}
