#include "log_follower.h"

#include "decode_record.h"
#include "line_reader.h"
#include "log_source.h"

namespace {

// Blocks small enough that a large addition still answers Esc at once.
constexpr std::size_t kFollowBlockSize = 256 * 1024;
// The bytes before the place read up to that must be the same at the next
// read: a log emptied and written anew past that place is told this way.
constexpr std::size_t kTailKept = 64;

}  // namespace

LogFollower::LogFollower()
    : name_(existing_log_name().value_or(kDefaultLogName)),
      lines_(kLastUsedColumn),
      block_(new char[kFollowBlockSize]) {
  known_ = file_status(name_);
  if (!known_) return;
  // What is there is old: start at its end, inside its last line if that
  // is still being written.
  offset_ = known_->size;
  FileHandle file = open_for_reading(name_, Sharing::read_write_delete);
  const std::uint64_t from = offset_ > kTailKept ? offset_ - kTailKept : 0;
  if (file && seek_file(file, from)) {
    tail_.assign(block_.get(), read_block(file, block_.get(), offset_ - from));
    drop_next_line_ = !tail_.empty() && !is_line_stop(tail_.back());
  }
  close_file(file);
}

void LogFollower::start_over() {
  known_.reset();
  offset_ = 0;
  tail_.clear();
  drop_next_line_ = false;
  lines_.restart();
}

bool LogFollower::step(const std::function<void(std::string_view)>& on_line,
                       const std::function<bool()>& go_on) {
  const std::optional<std::string> now = existing_log_name();
  if (!now) {  // erased: the next one is read from its start
    start_over();
    return true;
  }
  if (*now != name_) {  // a new split log, or ALL.TXT again: the old one's last lines first
    if (known_ && !read_added(on_line, go_on)) return false;
    name_ = *now;
    start_over();
  }
  return read_added(on_line, go_on);
}

bool LogFollower::unchanged_before_offset(FileHandle file) {
  if (tail_.empty()) return true;
  const std::size_t n = tail_.size();
  return seek_file(file, offset_ - n) && read_block(file, block_.get(), n) == n &&
         tail_.compare(0, n, block_.get(), n) == 0;
}

bool LogFollower::read_added(const std::function<void(std::string_view)>& on_line,
                             const std::function<bool()>& go_on) {
  const std::optional<FileStatus> status = file_status(name_);
  if (!status) {
    start_over();
    return true;
  }
  if (known_ && (status->identity != known_->identity || status->size < offset_)) start_over();
  if (status->size == offset_) {
    known_ = status;
    return true;
  }
  FileHandle file = open_for_reading(name_, Sharing::read_write_delete);
  if (!file) return true;  // held by another program for a moment: the next step
  if (!unchanged_before_offset(file)) start_over();
  known_ = status;
  bool more = seek_file(file, offset_);
  const auto give = [&](std::string_view line) {
    if (drop_next_line_)
      drop_next_line_ = false;
    else
      on_line(line);
  };
  // Up to the size seen at the start of the step: what comes meanwhile is
  // the next step's, which first checks that the file is still the same.
  bool going = true;
  while (more && offset_ < status->size) {
    const std::uint64_t wanted = std::min<std::uint64_t>(kFollowBlockSize, status->size - offset_);
    const std::size_t n = read_block(file, block_.get(), static_cast<std::size_t>(wanted));
    if (n == 0) break;
    lines_.feed(std::string_view(block_.get(), n), give);
    const std::size_t keep = std::min(n, kTailKept);
    tail_.append(block_.get() + n - keep, keep);
    if (tail_.size() > kTailKept) tail_.erase(0, tail_.size() - kTailKept);
    offset_ += n;
    if (!go_on()) {
      going = false;
      break;
    }
  }
  close_file(file);
  return going;
}
