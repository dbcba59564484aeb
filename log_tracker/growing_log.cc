#include "log_tracker/growing_log.h"

#include <algorithm>

#include "logs/line_reader.h"
#include "report/decode_record.h"

namespace {

// The bytes before the place read up to that must be the same at the next
// read: a log emptied and written anew past that place is told this way.
constexpr std::size_t kTailKept = 64;

}  // namespace

GrowingLog::GrowingLog(std::string path, bool from_start, std::span<char> block)
    : path_(std::move(path)), block_(block), lines_(kLastUsedColumn) {
  file_ = open_for_reading(path_, Sharing::read_write_delete);
  const std::optional<FileStatus> status = file_ ? open_file_status(file_) : std::nullopt;
  if (!status) {
    file_ = FileHandle{};
    return;
  }
  identity_ = status->identity;
  if (from_start) return;
  offset_ = status->size;
  const std::uint64_t from = offset_ > kTailKept ? offset_ - kTailKept : 0;
  if (seek_file(file_, from)) {
    tail_.assign(block_.data(), read_block(file_, block_.data(), offset_ - from).size);
    drop_next_line_ = !tail_.empty() && !is_line_stop(tail_.back());
  }
}

void GrowingLog::start_over() {
  offset_ = 0;
  tail_.clear();
  drop_next_line_ = false;
  lines_.restart();
}

void GrowingLog::fail() {
  failing_ = true;
  failed_ = true;
}

std::optional<bool> GrowingLog::unchanged_before_offset() {
  if (tail_.empty()) return true;
  const std::size_t n = tail_.size();
  if (!seek_file(file_, offset_ - n)) return std::nullopt;
  const BlockRead read = read_block(file_, block_.data(), n);
  if (read.failed) return std::nullopt;
  return read.size == n && tail_.compare(0, n, block_.data(), n) == 0;
}

bool GrowingLog::take_copy() {
  if (offset_ == 0) return false;
  FileHandle copy = open_for_reading(path_, Sharing::read_write_delete);
  const std::optional<FileStatus> status = copy ? open_file_status(copy) : std::nullopt;
  if (!status || status->size < offset_) return false;
  std::swap(file_, copy);
  const std::optional<bool> unchanged = unchanged_before_offset();
  if (!unchanged || !*unchanged) {
    std::swap(file_, copy);
    return false;
  }
  identity_ = status->identity;
  return true;
}

bool GrowingLog::read_added(const LineSink& on_line, const GoOn& go_on) {
  if (!file_) return true;
  const std::optional<FileStatus> status = open_file_status(file_);
  if (!status) return true;
  if (status->size < offset_) {
    start_over();  // emptied
  } else {
    const std::optional<bool> unchanged = unchanged_before_offset();
    if (!unchanged) {  // cannot be read now: the next read tries again
      fail();
      return true;
    }
    if (!*unchanged) start_over();  // emptied and written anew past where it was read
  }
  if (status->size == offset_) {
    failing_ = false;
    return true;
  }
  const auto give = [&](std::string_view line) {
    if (drop_next_line_)
      drop_next_line_ = false;
    else
      on_line(line);
    return true;
  };
  // Up to the size seen at the start of the read: what comes meanwhile is
  // the next read's, which first checks that the file is still the same.
  if (!seek_file(file_, offset_)) return true;
  while (offset_ < status->size) {
    const std::uint64_t wanted = std::min<std::uint64_t>(block_.size(), status->size - offset_);
    const BlockRead read = read_block(file_, block_.data(), static_cast<std::size_t>(wanted));
    const std::size_t n = read.size;
    if (n == 0) {  // the next read reads on from here
      if (read.failed) fail();
      return true;
    }
    failing_ = false;
    lines_.feed(std::string_view(block_.data(), n), give);
    const std::size_t keep = std::min(n, kTailKept);
    tail_.append(block_.data() + n - keep, keep);
    if (tail_.size() > kTailKept) tail_.erase(0, tail_.size() - kTailKept);
    offset_ += n;
    if (!go_on()) return false;
  }
  return true;
}
