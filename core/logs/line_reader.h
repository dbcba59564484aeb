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

namespace line_reader_detail {
template <typename OnLine>
bool for_each_line_in(const FileHandle& file, std::size_t kept, char* block, OnLine& on_line) {
  LineSplitter lines(kept);
  while (file) {
    const BlockRead read = read_block(file, block, kLineBlockSize);
    if (read.failed) return false;
    if (read.size == 0) break;
    if (!lines.feed(std::string_view(block, read.size), on_line) || lines.ended()) return true;
  }
  lines.finish(on_line);
  return true;
}
}  // namespace line_reader_detail

// Calls on_line(std::string_view) for each line of `file`, truncated to
// `kept` bytes, until it returns false or the text ends. The view is valid
// during the call only. False when a read failed, which ends the text there.
template <typename OnLine>
bool for_each_line(const FileHandle& file, std::size_t kept, OnLine&& on_line) {
  const std::unique_ptr<char[]> block(new char[kLineBlockSize]());
  return line_reader_detail::for_each_line_in(file, kept, block.get(), on_line);
}

// The first line of `file` (cut to `kept` bytes); "" when there is none.
// Reads no more than `kept` bytes.
std::string first_line(const FileHandle& file, std::size_t kept);

// --- Testing: for the fuzz target only ---

// The memory for_each_line reads into: a block. Each call makes its own; the
// fuzz target, which reads a great many small files, keeps one and lends it
// to every call.
class LineBlock {
 public:
  LineBlock() : bytes_(new char[kLineBlockSize]()) {}
  char* get() const { return bytes_.get(); }

 private:
  std::unique_ptr<char[]> bytes_;
};

// for_each_line, reading into `block`.
template <typename OnLine>
bool for_each_line(const FileHandle& file, std::size_t kept, const LineBlock& block, OnLine&& on_line) {
  return line_reader_detail::for_each_line_in(file, kept, block.get(), on_line);
}

#endif  // LOGS_LINE_READER_H
