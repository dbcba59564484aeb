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

namespace {

int number_of(std::string_view digits) {
  int n = 0;
  for (const char c : digits) n = n * 10 + (c - '0');
  return n;
}

// yyyy * 100 + MM; a yearly log counts as month 0 of its year.
int period_of(std::string_view split_log) {
  const std::string_view period = split_log.substr(0, split_log.size() - kSplitTail.size());
  return number_of(period.substr(0, 4)) * 100 + (period.size() > 4 ? number_of(period.substr(5)) : 0);
}

}  // namespace

bool is_later_split_log(std::string_view a, std::string_view b) {
  const int pa = period_of(a), pb = period_of(b);
  return pa != pb ? pa > pb : a > b;
}

std::string newest_split_log(const std::vector<FolderFile>& files) {
  const FolderFile* newest = nullptr;
  for (const FolderFile& file : files)
    if (is_split_log_name(file.name) && (newest == nullptr || is_later_split_log(file.name, newest->name)))
      newest = &file;
  return newest == nullptr ? std::string() : newest->name;
}
