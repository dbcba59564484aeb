#include "logs/marked_lines.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "logs/line_reader.h"

namespace {

constexpr std::size_t kHistory = kScanChunk;
constexpr std::size_t kRoomPast = 2 * kScanChunk;  // that the scan may read past the bytes
constexpr std::size_t kMostHits = (kHistory + kLineBlockSize) / kScanChunk + 2;
// How many hits ahead of the one taken the bytes of a line are fetched.
constexpr std::size_t kHitsFetchedAhead = 8;

std::array<char, kHistory> line_ends() {
  std::array<char, kHistory> bytes;
  bytes.fill('\n');
  return bytes;
}

}  // namespace

MarkedLineWorkspace::MarkedLineWorkspace(ReadAhead::Reading reading) : reading(reading) {
  for (std::unique_ptr<char[]>& buffer : buffers)
    buffer.reset(new char[kHistory + kLineBlockSize + kRoomPast]());
  for (std::unique_ptr<MarkHit[]>& found : hits) found.reset(new MarkHit[kMostHits]());
}

namespace {
// Where the blocks go in the workspace's buffers: after the chunk before.
std::vector<char*> blocks_in(MarkedLineWorkspace& work) {
  std::vector<char*> blocks;
  for (std::unique_ptr<char[]>& buffer : work.buffers) blocks.push_back(buffer.get() + kHistory);
  return blocks;
}
}  // namespace

MarkedLineReader::MarkedLineReader(const FileHandle& file, const MarkFilter& filter,
                                   const std::atomic<bool>* stop)
    : MarkedLineReader(file, filter, nullptr, stop) {}

MarkedLineReader::MarkedLineReader(const FileHandle& file, const MarkFilter& filter,
                                   MarkedLineWorkspace& workspace)
    : MarkedLineReader(file, filter, &workspace, nullptr) {}

MarkedLineReader::MarkedLineReader(const FileHandle& file, const MarkFilter& filter,
                                   MarkedLineWorkspace* workspace, const std::atomic<bool>* stop)
    : filter_(filter),
      farthest_place_(filter.places == 0 ? 0 : 63 - static_cast<std::size_t>(__builtin_clzll(filter.places))),
      stop_(stop),
      own_workspace_(workspace ? nullptr : std::make_unique<MarkedLineWorkspace>()),
      work_(workspace ? *workspace : *own_workspace_),
      tail_(line_ends()),
      // As if a block had been walked that held nothing.
      bytes_(work_.buffers[0].get()),
      total_(kHistory),
      text_end_(kHistory),
      ahead_(
          file, blocks_in(work_), kLineBlockSize,
          [this](int buffer, std::size_t size) { prepare_block(buffer, size); }, work_.reading) {}

MarkedLineReader::~MarkedLineReader() = default;

void MarkedLineReader::prepare_block(int buffer, std::size_t size) {
  char* const bytes = work_.buffers[buffer].get();
  std::memcpy(bytes, tail_.data(), kHistory);
  std::memcpy(tail_.data(), bytes + size, kHistory);  // the last chunk of this one
  scans_[buffer] = scan_marks(bytes, kHistory + size, filter_.mark, filter_.places, filter_.guard,
                              work_.hits[buffer].get());
}

bool MarkedLineReader::next(std::string_view& line) {
  while (!ended_) {
    if (marks_ != 0) {
      const std::size_t at = chunk_ * kScanChunk + static_cast<std::size_t>(__builtin_ctzll(marks_));
      marks_ &= marks_ - 1;
      if (at >= text_end_) break;
      if (take_line_at(at, line)) return true;
    } else if (next_hit_ < hit_count_) {
      chunk_ = hits_walked_[next_hit_].chunk;
      marks_ = hits_walked_[next_hit_].word;
      ++next_hit_;
      // The block was read and scanned on the other thread, so its bytes are
      // in the other core's cache: the lines of the hits ahead are fetched
      // while this one is taken.
      if (next_hit_ + kHitsFetchedAhead < hit_count_) {
        const char* const ahead = bytes_ + hits_walked_[next_hit_ + kHitsFetchedAhead].chunk * kScanChunk;
        __builtin_prefetch(ahead - kScanChunk);
        __builtin_prefetch(ahead);
        __builtin_prefetch(ahead + kScanChunk);
      }
      // Chunk 0 holds the end of the block before, whose lines were taken with it.
      if (chunk_ == 0) marks_ = 0;
    } else if (text_end_ < total_) {
      break;  // the block held a Ctrl-Z
    } else if (read_block_after(line)) {
      return true;
    }
  }
  ended_ = true;
  return false;
}

// The line whose mark stands at `at`, when that is one of its places and the
// line was not taken before; false otherwise, or when the line runs on into
// the next block (it is then kept open and the block's walk ends).
bool MarkedLineReader::take_line_at(std::size_t at, std::string_view& line) {
  const char* const bytes = bytes_;
  // The scan gives any control byte before a place: the line starts after
  // the last line stop before the mark (a CR LF pair has its LF after it),
  // found among the 64 bytes before it (`at` lies past the first chunk, so
  // they are in the buffer); only those up to the farthest place count.
  const std::uint64_t stops = line_end_mask(bytes + at - kScanChunk) &
                              ~((std::uint64_t{1} << (kScanChunk - 1 - farthest_place_)) - 1);
  if (stops == 0) return false;
  const std::size_t place = static_cast<std::size_t>(__builtin_clzll(stops));  // 63 - last stop's bit
  if ((filter_.places & mark_place(place)) == 0) return false;
  const std::size_t start = at - place;
  // The scan may have found the mark for another place, after a control
  // byte inside the line.
  const MarkGuard& guard = filter_.guard;
  if ((guard.places & mark_place(place)) != 0 && bytes[start + guard.index] != guard.byte) return false;
  const std::int64_t text_start =
      block_origin_ + static_cast<std::int64_t>(start) - static_cast<std::int64_t>(kHistory);
  if (text_start <= last_taken_) return false;
  last_taken_ = text_start;
  const std::size_t limit = start + filter_.kept;
  // Its end: the first line stop after the mark, or where the bytes or the
  // kept columns end.
  const std::size_t stop = next_line_stop(std::string_view(bytes, std::min(total_, limit)), at + 1);
  if (stop == total_ && stop < limit) {
    open_line_.assign(bytes + start, stop - start);
    line_open_ = true;
    marks_ = 0;
    next_hit_ = hit_count_;
    return false;
  }
  line = std::string_view(bytes + start, stop - start);
  return true;
}

// Takes the next block after the one walked; true when that finishes an
// open line, which is then `line`.
bool MarkedLineReader::read_block_after(std::string_view& line) {
  if (stop_ != nullptr && stop_->load(std::memory_order_relaxed)) {
    ended_ = true;
    return false;
  }
  const ReadAhead::Block block = ahead_.next();
  const std::size_t end = block.size;
  if (end == 0) {
    ended_ = true;
    read_failed_ = block.failed;
    if (!line_open_) return false;
    line_open_ = false;
    line = open_line_;
    return true;
  }
  bytes_ = work_.buffers[block.buffer].get();
  total_ = kHistory + end;
  block_origin_ = next_origin_;
  next_origin_ += static_cast<std::int64_t>(end);
  if (!line_open_) {
    walk_scan(block.buffer);
    return false;
  }
  const char* const data = bytes_ + kHistory;
  const std::size_t wanted = filter_.kept - open_line_.size();
  const std::size_t stop = next_line_stop(std::string_view(data, std::min(end, wanted)), 0);
  open_line_.append(data, stop);
  if (stop == end && stop < wanted) {  // it runs on through this block too
    text_end_ = total_;
    next_hit_ = hit_count_ = 0;
    marks_ = 0;
    return false;
  }
  line_open_ = false;
  line = open_line_;
  if (stop < end && data[stop] == kEndOfText)
    ended_ = true;
  else
    walk_scan(block.buffer);
  return true;
}

void MarkedLineReader::walk_scan(int buffer) {
  text_end_ = scans_[buffer].text_end;
  hit_count_ = scans_[buffer].hits;
  hits_walked_ = work_.hits[buffer].get();
  next_hit_ = 0;
  marks_ = 0;
}
