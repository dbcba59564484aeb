#include "line_reader.h"

#include <cstring>

namespace {
constexpr char kEndOfText = 26;  // Ctrl-Z
}  // namespace

LineReader::LineReader(FileHandle file, std::size_t kept_columns)
    : file_(file), kept_(kept_columns), block_(new char[kBlockSize]) {}

bool LineReader::fill() {
  if (ended_) return false;
  pos_ = 0;
  end_ = file_ ? read_block(file_, block_.get(), kBlockSize) : 0;
  if (end_ == 0) ended_ = true;
  return end_ > 0;
}

bool LineReader::next(std::string& line) {
  line.clear();
  bool any = false;  // a line has begun (possibly empty, ended by its line end)
  for (;;) {
    if (pos_ == end_ && !fill()) return any;
    if (skip_lf_) {
      skip_lf_ = false;
      if (block_[pos_] == '\n') {
        ++pos_;
        continue;
      }
    }
    const char* begin = block_.get() + pos_;
    const std::size_t left = end_ - pos_;
    // The first line end or Ctrl-Z in the block.
    std::size_t n = 0;
    while (n < left && begin[n] != '\r' && begin[n] != '\n' && begin[n] != kEndOfText) ++n;
    if (line.size() < kept_) line.append(begin, std::min(n, kept_ - line.size()));
    pos_ += n;
    if (n == left) {
      any = any || n > 0;
      continue;
    }
    const char stop = block_[pos_++];
    if (stop == kEndOfText) {
      ended_ = true;
      pos_ = end_;
      return any || n > 0;
    }
    skip_lf_ = stop == '\r';
    return true;
  }
}
