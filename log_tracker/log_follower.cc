#include "log_tracker/log_follower.h"

#include <algorithm>

#include "logs/log_names.h"
#include "logs/split_logs.h"
#include "system/user_folders.h"

namespace {

// Blocks small enough that a large addition still answers Esc at once.
constexpr std::size_t kFollowBlockSize = 256 * 1024;

}  // namespace

LogFollower::LogFollower() : folder_(log_folder()), block_(new char[kFollowBlockSize]) {
  for (const std::string& name : logs_now()) {
    GrowingLog log(path_in_folder(folder_, name), /*from_start=*/false, {block_.get(), kFollowBlockSize});
    if (log.is_open())
      logs_.emplace(name, std::move(log));
    else
      unopened_.insert(name);
  }
}

std::vector<std::string> LogFollower::logs_now() const {
  std::vector<std::string> names;
  if (is_existing_file(path_in_folder(folder_, kDefaultLogName))) names.push_back(kDefaultLogName);
  for (const FolderFile& file : ordinary_files_in(folder_))
    if (is_dated_log_name(file.name)) names.push_back(file.name);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> LogFollower::names() const {
  std::vector<std::string> names;
  for (const auto& [name, log] : logs_) names.push_back(log.path());
  if (names.empty()) names.push_back(path_in_folder(folder_, kDefaultLogName));
  return names;
}

bool LogFollower::follow_new(const std::string& file_name, bool from_start, const LineSink& on_line,
                             const GoOn& go_on) {
  GrowingLog log(path_in_folder(folder_, file_name), from_start, {block_.get(), kFollowBlockSize});
  if (!log.is_open()) {  // held by another program for a moment: the next step
    if (!from_start) unopened_.insert(file_name);
    return true;
  }
  const auto [place, added] = logs_.insert_or_assign(file_name, std::move(log));
  return place->second.read_added(on_line, go_on);
}

bool LogFollower::step(const LineSink& on_line, const GoOn& go_on) {
  // What was added to each file held, whatever its name is now: the last
  // lines of a log before it was renamed or erased, or another file took
  // its name.
  for (auto& [name, log] : logs_)
    if (!log.read_added(on_line, go_on)) return false;
  const std::vector<std::string> now = logs_now();
  for (auto held = logs_.begin(); held != logs_.end();) {
    if (std::binary_search(now.begin(), now.end(), held->first)) {
      ++held;
      continue;
    }
    if (held->second.failed()) failed_.push_back(held->second.path());
    held = logs_.erase(held);  // gone, read to its end
  }
  for (const std::string& name : now) {
    const auto held = logs_.find(name);
    const std::optional<FileStatus> status = file_status(path_in_folder(folder_, name));
    if (held != logs_.end() && (!status || held->second.holds(*status) || held->second.take_copy())) continue;
    if (held != logs_.end() && held->second.failed()) failed_.push_back(held->second.path());
    // Old when it was there at the start but could not be opened then.
    const bool old = unopened_.erase(name) > 0;
    if (!follow_new(name, !old, on_line, go_on)) return false;
  }
  return true;
}

std::vector<std::string> LogFollower::failing() const {
  std::vector<std::string> names;
  for (const auto& [name, log] : logs_)
    if (log.failing()) names.push_back(log.path());
  return names;
}

std::vector<std::string> LogFollower::failed() const {
  std::vector<std::string> names = failed_;
  for (const auto& [name, log] : logs_)
    if (log.failed() && std::find(names.begin(), names.end(), log.path()) == names.end())
      names.push_back(log.path());
  return names;
}
