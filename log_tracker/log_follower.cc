#include "log_tracker/log_follower.h"

#include "logs/line_reader.h"
#include "logs/log_source.h"
#include "logs/split_logs.h"
#include "report/decode_record.h"
#include "system/user_folders.h"

namespace {

// Blocks small enough that a large addition still answers Esc at once.
constexpr std::size_t kFollowBlockSize = 256 * 1024;
// The bytes before the place read up to that must be the same at the next
// read: a log emptied and written anew past that place is told this way.
constexpr std::size_t kTailKept = 64;

}  // namespace

LogFollower::LogFollower()
    : folder_(log_folder()), lines_(kLastUsedColumn), block_(new char[kFollowBlockSize]) {
  open_from_start(existing_log_name_in(folder_).value_or(kDefaultLogName));
  const std::optional<FileStatus> status = file_ ? open_file_status(file_) : std::nullopt;
  if (!status) return;
  // What is there is old: start at its end, inside its last line if that
  // is still being written.
  offset_ = status->size;
  const std::uint64_t from = offset_ > kTailKept ? offset_ - kTailKept : 0;
  if (seek_file(file_, from)) {
    tail_.assign(block_.get(), read_block(file_, block_.get(), offset_ - from).size);
    drop_next_line_ = !tail_.empty() && !is_line_stop(tail_.back());
  }
}

void LogFollower::release() { file_ = FileHandle{}; }

void LogFollower::start_over() {
  offset_ = 0;
  tail_.clear();
  drop_next_line_ = false;
  lines_.restart();
}

void LogFollower::open_from_start(const std::string& file_name) {
  release();
  file_name_ = file_name;
  name_ = path_in_folder(folder_, file_name);
  start_over();
  file_ = open_for_reading(name_, Sharing::read_write_delete);
  const std::optional<FileStatus> status = file_ ? open_file_status(file_) : std::nullopt;
  if (status)
    identity_ = status->identity;
  else
    release();
}

std::optional<std::string> LogFollower::log_to_follow() const {
  std::optional<std::string> now = existing_log_name_in(folder_);
  if (now && *now != file_name_ && is_dated_log_name(*now) && is_dated_log_name(file_name_) &&
      is_later_split_log(file_name_, *now))
    return is_existing_file(name_) ? std::optional<std::string>(file_name_) : std::nullopt;
  return now;
}

bool LogFollower::step(const std::function<void(std::string_view)>& on_line,
                       const std::function<bool()>& go_on) {
  // What was added to the file held, whatever its name is now: its last
  // lines before it was renamed, erased or followed by a new log.
  if (file_ && !read_added(on_line, go_on)) return false;
  const std::optional<std::string> now = log_to_follow();
  if (!now) {  // erased: the next one is read from its start
    release();
    start_over();
    return true;
  }
  const std::optional<FileStatus> status = file_status(path_in_folder(folder_, *now));
  if (*now != file_name_ || !file_ || !status || status->identity != identity_) {
    open_from_start(*now);
    if (!file_) return true;  // held by another program for a moment: the next step
  }
  return read_added(on_line, go_on);
}

std::optional<bool> LogFollower::unchanged_before_offset() {
  if (tail_.empty()) return true;
  const std::size_t n = tail_.size();
  if (!seek_file(file_, offset_ - n)) return std::nullopt;
  const BlockRead read = read_block(file_, block_.get(), n);
  if (read.failed) return std::nullopt;
  return read.size == n && tail_.compare(0, n, block_.get(), n) == 0;
}

bool LogFollower::read_added(const std::function<void(std::string_view)>& on_line,
                             const std::function<bool()>& go_on) {
  const std::optional<FileStatus> status = open_file_status(file_);
  if (!status) return true;
  if (status->size < offset_) {
    start_over();  // emptied
  } else {
    const std::optional<bool> unchanged = unchanged_before_offset();
    if (!unchanged) {  // cannot be read now: the next step tries again
      read_failed_ = true;
      return true;
    }
    if (!*unchanged) start_over();  // emptied and written anew past where it was read
  }
  if (status->size == offset_) return true;
  const auto give = [&](std::string_view line) {
    if (drop_next_line_)
      drop_next_line_ = false;
    else
      on_line(line);
    return true;
  };
  // Up to the size seen at the start of the step: what comes meanwhile is
  // the next step's, which first checks that the file is still the same.
  if (!seek_file(file_, offset_)) return true;
  while (offset_ < status->size) {
    const std::uint64_t wanted = std::min<std::uint64_t>(kFollowBlockSize, status->size - offset_);
    const BlockRead read = read_block(file_, block_.get(), static_cast<std::size_t>(wanted));
    const std::size_t n = read.size;
    if (n == 0) {  // a failed read is told at the end; the next step reads on from here
      if (read.failed) read_failed_ = true;
      break;
    }
    lines_.feed(std::string_view(block_.get(), n), give);
    const std::size_t keep = std::min(n, kTailKept);
    tail_.append(block_.get() + n - keep, keep);
    if (tail_.size() > kTailKept) tail_.erase(0, tail_.size() - kTailKept);
    offset_ += n;
    if (!go_on()) return false;
  }
  return true;
}
