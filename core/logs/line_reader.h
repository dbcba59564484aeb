// Lines of a decode log, read in large blocks and split as LineSplitter
// splits them (line_splitter.h). Only the first columns of each line are
// kept, so memory stays the same however long a line or file is.
//
//   for_each_line(file, kLastUsedColumn, [&](std::string_view line) {
//     ...;
//     return true;  // false: no more lines wanted
//   });
#ifndef LOGS_LINE_READER_H
#define LOGS_LINE_READER_H

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

#include "logs/line_splitter.h"
#include "system/file.h"

inline constexpr std::size_t kLineBlockSize = 1 << 20;

// The memory for_each_line reads into: a block. Each call makes its own; a
// caller that reads a great many small files (the fuzz target) may keep one
// and lend it to every call.
class LineBlock {
 public:
  LineBlock() : bytes_(new char[kLineBlockSize]()) {}
  char* get() const { return bytes_.get(); }

 private:
  std::unique_ptr<char[]> bytes_;
};

// Calls on_line(std::string_view) for each line of `file`, cut to `kept`
// bytes, until it returns false or the text ends. The view is valid during
// the call only. False when a read failed, which ends the text there.
template <typename OnLine>
bool for_each_line(const FileHandle& file, std::size_t kept, const LineBlock& block, OnLine&& on_line) {
  LineSplitter lines(kept);
  while (file) {
    const BlockRead read = read_block(file, block.get(), kLineBlockSize);
    if (read.failed) return false;
    if (read.size == 0) break;
    if (!lines.feed(std::string_view(block.get(), read.size), on_line) || lines.ended()) return true;
  }
  lines.finish(on_line);
  return true;
}
template <typename OnLine>
bool for_each_line(const FileHandle& file, std::size_t kept, OnLine&& on_line) {
  return for_each_line(file, kept, LineBlock(), on_line);
}

// The first line of `file` (cut to `kept` bytes); "" when there is none.
// Reads no more than `kept` bytes.
std::string first_line(const FileHandle& file, std::size_t kept);

#endif  // LOGS_LINE_READER_H
