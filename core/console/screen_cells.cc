#include "console/screen_cells.h"

#include <algorithm>

void ScreenCursor::set_size(int width, int height) {
  width_ = std::max(width, 1);
  height_ = std::max(height, 1);
  if (col_ >= width_ || row_ >= height_) move_to(col_, row_);
}

void ScreenCursor::move_to(int col, int row) {
  col_ = std::clamp(col, 0, width_ - 1);
  row_ = std::clamp(row, 0, height_ - 1);
  pending_ = false;
}

std::vector<CellWrite> ScreenCursor::place(std::size_t count) {
  std::vector<CellWrite> writes;
  for (std::size_t done = 0; done < count;) {
    CellWrite w;
    if (pending_) {
      w.scroll_before = 1;
      pending_ = false;
      ++scrolled_;
    }
    w.row = row_;
    w.col = col_;
    w.first = done;
    w.count = std::min(count - done, static_cast<std::size_t>(width_ - col_));
    done += w.count;
    col_ += static_cast<int>(w.count);
    if (col_ == width_) {
      col_ = 0;
      if (row_ + 1 < height_)
        ++row_;
      else
        pending_ = true;
    }
    writes.push_back(w);
  }
  return writes;
}

int ScreenCursor::newline() {
  col_ = 0;
  if (pending_) {
    pending_ = false;
    scrolled_ += 2;
    return 2;
  }
  if (row_ + 1 < height_) {
    ++row_;
    return 0;
  }
  ++scrolled_;
  return 1;
}

int ScreenCursor::screen_row(std::int64_t tracked) const {
  const std::int64_t row = tracked - scrolled_;
  return static_cast<int>(std::clamp<std::int64_t>(row, 0, height_ - 1));
}

char16_t visible_character(char16_t c) {
  if (c < 0x20) return static_cast<char16_t>(0x2400 + c);
  if (c == 0x7F) return u'\u2421';
  if (c >= 0x80 && c < 0xA0) return u'\uFFFD';
  return c;
}
