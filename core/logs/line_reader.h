// Lines of a decode log, read in large blocks. A line ends at CR, CR LF or a
// lone LF; a Ctrl-Z byte ends the text. Only the first columns of each line
// are kept, so memory stays the same however long a line or file is.
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

#include "line_stops.h"
#include "text_file.h"

inline constexpr std::size_t kLineBlockSize = 1 << 20;

// The memory for_each_line reads into: a block, and room for a whole chunk
// past the data (the last chunk is read whole and what lies past the data
// masked off). Each call makes its own; a caller that reads a great many
// small files (the fuzz target) may keep one and lend it to every call.
class LineBlock {
 public:
  static constexpr std::size_t kChunk = 64;
  LineBlock() : bytes_(new char[kLineBlockSize + kChunk]()) {}
  char* get() const { return bytes_.get(); }

 private:
  std::unique_ptr<char[]> bytes_;
};

// Calls on_line(std::string_view) for each line of `file`, cut to `kept`
// bytes, until it returns false or the text ends. The view is valid during
// the call only. A failed read ends the text.
template <typename OnLine>
void for_each_line(FileHandle file, std::size_t kept, const LineBlock& block, OnLine&& on_line) {
  constexpr std::size_t kChunk = LineBlock::kChunk;
  std::string carry;      // the kept part of a line begun in an earlier block
  bool carried = false;   // a line is open from an earlier block
  bool skip_lf = false;   // the last block ended with a CR: a LF first belongs to it
  while (file) {
    const std::size_t end = read_block(file, block.get(), kLineBlockSize);
    if (end == 0) break;
    const char* data = block.get();
    std::size_t start = skip_lf && data[0] == '\n' ? 1 : 0;  // of the current line
    skip_lf = false;
    for (std::size_t chunk = 0; chunk < end; chunk += kChunk) {
      std::uint64_t stops = line_end_mask(data + chunk);
      if (end - chunk < kChunk) stops &= (std::uint64_t{1} << (end - chunk)) - 1;
      for (; stops != 0; stops &= stops - 1) {
        const std::size_t stop = chunk + static_cast<std::size_t>(__builtin_ctzll(stops));
        if (stop < start) continue;  // the LF of a CR LF already taken
        std::string_view line(data + start, std::min(stop - start, kept));
        if (carried) {
          carry.append(line.substr(0, kept - std::min(kept, carry.size())));
          line = std::string_view(carry).substr(0, kept);
        }
        const bool last = data[stop] == kEndOfText;
        if (!(last && line.empty() && !carried) && !on_line(line)) return;
        if (last) return;
        carried = false;
        carry.clear();
        start = stop + 1;
        if (data[stop] == '\r') {
          if (start < end && data[start] == '\n')
            ++start;
          else if (start == end)
            skip_lf = true;
        }
      }
    }
    if (start < end) {  // a line runs on into the next block
      carry.append(data + start, std::min(end - start, kept - std::min(kept, carry.size())));
      carried = true;
    }
  }
  if (carried) on_line(std::string_view(carry));
}
template <typename OnLine>
void for_each_line(FileHandle file, std::size_t kept, OnLine&& on_line) {
  for_each_line(file, kept, LineBlock(), on_line);
}

// The first line of `file` (cut to `kept` bytes); "" when there is none.
// Reads no more than `kept` bytes.
std::string first_line(FileHandle file, std::size_t kept);

#endif  // LOGS_LINE_READER_H
