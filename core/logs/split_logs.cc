#include "split_logs.h"

namespace {

bool all_digits(std::string_view text) {
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return !text.empty();
}

constexpr std::string_view kSplitTail = "-ALL.TXT";

}  // namespace

bool is_split_log_name(std::string_view name) {
  if (name.size() < kSplitTail.size() || name.substr(name.size() - kSplitTail.size()) != kSplitTail)
    return false;
  const std::string_view period = name.substr(0, name.size() - kSplitTail.size());
  if (period.size() == 4) return all_digits(period);  // yyyy
  return period.size() == 7 && all_digits(period.substr(0, 4)) && period[4] == '-' &&
         all_digits(period.substr(5));  // yyyy-MM
}

std::string newest_split_log(const std::vector<FolderFile>& files) {
  const FolderFile* newest = nullptr;
  for (const FolderFile& file : files) {
    if (!is_split_log_name(file.name)) continue;
    if (newest == nullptr || file.modified > newest->modified ||
        (file.modified == newest->modified && file.name > newest->name))
      newest = &file;
  }
  return newest == nullptr ? std::string() : newest->name;
}
