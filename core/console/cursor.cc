#include "console/cursor.h"

#include <algorithm>

void Cursor::set_width(int width) { width_ = std::max(width, 1); }

void Cursor::set_size(int width, int height) {
  width_ = std::max(width, 1);
  height_ = std::max(height, 1);
  if (col_ > width_ || row_ - top_ >= height_) move_to(row_, col_);
}

Placement Cursor::place(int cells) {
  if (cells > 0 && col_ + cells > width_) {  // wraps to the next row
    ++row_;
    col_ = 0;
    scroll_to_cursor();
  }
  const Placement p{row_, col_, cells};
  col_ += cells;
  return p;
}

int Cursor::newline() {
  const int feeds = row_full() ? 2 : 1;
  row_ += feeds;
  col_ = 0;
  scroll_to_cursor();
  return feeds;
}

void Cursor::move_to(std::int64_t row, int col) {
  row_ = row;
  col_ = col;
  if (height_ == 0) return;
  row_ = std::clamp<std::int64_t>(row, top_, top_ + height_ - 1);
  col_ = std::clamp(col, 0, width_ - 1);
}

int Cursor::screen_row(std::int64_t row) const {
  const std::int64_t last = std::max(height_, 1) - 1;
  return static_cast<int>(std::clamp<std::int64_t>(row - top_, 0, last));
}

void Cursor::scroll_to_cursor() {
  if (height_ > 0 && row_ - top_ >= height_) top_ = row_ - height_ + 1;
}
