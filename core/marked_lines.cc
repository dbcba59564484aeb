#include "marked_lines.h"

#include <algorithm>
#include <cstring>

#include "line_reader.h"
#include "mark_scan.h"

namespace {

constexpr std::size_t kHistory = kScanChunk;
constexpr std::size_t kRoomPast = 2 * kScanChunk;  // that the scan may read past the bytes
constexpr std::size_t kWords = (kHistory + kLineBlockSize + kRoomPast) / kScanChunk;

bool is_line_stop(char c) { return c == '\r' || c == '\n' || c == kEndOfText; }

}  // namespace

MarkedLineReader::MarkedLineReader(FileHandle file, std::size_t kept, std::size_t index, char mark)
    : file_(file),
      kept_(kept),
      index_(index),
      mark_(mark),
      buffer_(new char[kHistory + kLineBlockSize + kRoomPast]()),
      words_(new std::uint64_t[kWords]()),
      summary_(new std::uint64_t[kWords / 64 + 1]()),
      // As if a block had been walked that held nothing.
      total_(kHistory),
      text_end_(kHistory),
      last_word_(0) {
  std::memset(buffer_.get(), '\n', kHistory);  // the text begins as a line after a line end does
}

bool MarkedLineReader::next(std::string_view& line) {
  while (!ended_) {
    if (marks_ != 0) {
      const std::size_t at = word_ * kScanChunk + static_cast<std::size_t>(__builtin_ctzll(marks_));
      marks_ &= marks_ - 1;
      if (at >= text_end_) break;
      if (take_line_at(at, line)) return true;
    } else if (chunks_ != 0) {
      word_ = group_ * 64 + static_cast<std::size_t>(__builtin_ctzll(chunks_));
      chunks_ &= chunks_ - 1;
      marks_ = words_[word_];
    } else if (group_ < last_word_ / 64) {
      chunks_ = chunks_in_group(++group_);
    } else if (text_end_ < total_) {
      break;  // the block held a Ctrl-Z
    } else if (read_block_after(line)) {
      return true;
    }
  }
  ended_ = true;
  return false;
}

// The line whose mark stands at `at`, when a line starts `index_` bytes
// before it; false when none does, or when the line runs on into the next
// block (it is then kept open and the block's walk ends).
bool MarkedLineReader::take_line_at(std::size_t at, std::string_view& line) {
  const char* const bytes = buffer_.get();
  const std::size_t start = at - index_;
  // The line stop before the mark must be the one just before `start`: none
  // between them (a CR LF pair has its LF there).
  for (std::size_t k = start; k < at; ++k)
    if (is_line_stop(bytes[k])) return false;
  const std::size_t limit = start + kept_;
  std::size_t stop = at + 1;
  while (stop < total_ && stop < limit && !is_line_stop(bytes[stop])) ++stop;
  if (stop == total_ && stop < limit) {
    open_line_.assign(bytes + start, stop - start);
    line_open_ = true;
    marks_ = chunks_ = 0;
    group_ = last_word_ / 64;
    return false;
  }
  line = std::string_view(bytes + start, stop - start);
  return true;
}

// Reads the next block after the one walked; true when that finishes an
// open line, which is then `line`.
bool MarkedLineReader::read_block_after(std::string_view& line) {
  char* const bytes = buffer_.get();
  char* const data = bytes + kHistory;
  std::memmove(bytes, bytes + total_ - kHistory, kHistory);
  const std::size_t end = file_ ? read_block(file_, data, kLineBlockSize) : 0;
  if (end == 0) {
    ended_ = true;
    if (!line_open_) return false;
    line_open_ = false;
    line = open_line_;
    return true;
  }
  total_ = kHistory + end;
  if (!line_open_) {
    scan_block();
    return false;
  }
  std::size_t stop = 0;
  const std::size_t wanted = kept_ - open_line_.size();
  while (stop < end && stop < wanted && !is_line_stop(data[stop])) ++stop;
  open_line_.append(data, stop);
  if (stop == end && stop < wanted) {  // it runs on through this block too
    text_end_ = total_;
    last_word_ = 0;
    group_ = 0;
    chunks_ = marks_ = 0;
    return false;
  }
  line_open_ = false;
  line = open_line_;
  if (stop < end && data[stop] == kEndOfText)
    ended_ = true;
  else
    scan_block();
  return true;
}

void MarkedLineReader::scan_block() {
  text_end_ = scan_marks(buffer_.get(), total_, mark_, index_, words_.get(), summary_.get());
  last_word_ = std::min(text_end_, total_ - 1) / kScanChunk;
  group_ = 0;
  chunks_ = chunks_in_group(0);
  marks_ = 0;
}

// The chunks of a group of 64 that hold marks, up to the last one scanned.
// Chunk 0 holds the end of the block before, whose lines were taken with it.
std::uint64_t MarkedLineReader::chunks_in_group(std::size_t group) const {
  std::uint64_t chunks = summary_[group];
  if (group == 0) chunks &= ~std::uint64_t{1};
  if (group == last_word_ / 64) chunks &= (std::uint64_t{2} << (last_word_ % 64)) - 1;
  return chunks;
}
