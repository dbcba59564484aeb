#include "logs/split_logs.h"

namespace {

bool all_digits(std::string_view text) {
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return !text.empty();
}

constexpr std::string_view kSplitTail = "-ALL.TXT";
constexpr std::string_view kJtdxTail = "_ALL.TXT";

// The period before `tail` in `name`, or "" when `name` does not end so.
std::string_view period_before(std::string_view name, std::string_view tail) {
  if (name.size() <= tail.size() || name.substr(name.size() - tail.size()) != tail) return {};
  return name.substr(0, name.size() - tail.size());
}

}  // namespace

bool is_split_log_name(std::string_view name) {
  const std::string_view period = period_before(name, kSplitTail);
  if (period.size() == 4) return all_digits(period);  // yyyy
  return period.size() == 7 && all_digits(period.substr(0, 4)) && period[4] == '-' &&
         all_digits(period.substr(5));  // yyyy-MM
}

bool is_jtdx_log_name(std::string_view name) {
  const std::string_view period = period_before(name, kJtdxTail);
  return period.size() == 6 && all_digits(period);  // yyyyMM
}

namespace {

int number_of(std::string_view digits) {
  int n = 0;
  for (const char c : digits) n = n * 10 + (c - '0');
  return n;
}

// yyyy * 100 + MM; a yearly log counts as month 0 of its year.
int period_of(std::string_view dated_log) {
  const std::string_view period = dated_log.substr(0, dated_log.size() - kSplitTail.size());
  const std::string_view month = period.size() == 7 ? period.substr(5) : period.substr(4);
  return number_of(period.substr(0, 4)) * 100 + number_of(month);
}

template <typename IsName>
std::string newest_of(const std::vector<FolderFile>& files, IsName is_name) {
  const FolderFile* newest = nullptr;
  for (const FolderFile& file : files)
    if (is_name(file.name) && (newest == nullptr || is_later_split_log(file.name, newest->name)))
      newest = &file;
  return newest == nullptr ? std::string() : newest->name;
}

}  // namespace

bool is_later_split_log(std::string_view a, std::string_view b) {
  const int pa = period_of(a), pb = period_of(b);
  return pa != pb ? pa > pb : a > b;
}

std::string newest_split_log(const std::vector<FolderFile>& files) {
  return newest_of(files, is_split_log_name);
}

std::string newest_jtdx_log(const std::vector<FolderFile>& files) {
  return newest_of(files, is_jtdx_log_name);
}
