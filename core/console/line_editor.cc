#include "console/line_editor.h"

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
