#include "log_source.h"

#include "split_logs.h"

std::optional<std::string> existing_log_name() {
  if (is_existing_file(kDefaultLogName)) return kDefaultLogName;
  std::string split = newest_split_log(ordinary_files_here());
  if (split.empty()) return std::nullopt;
  return split;
}

std::string default_log_name() { return existing_log_name().value_or(kDefaultLogName); }

bool is_decode_log_name(std::string_view file_name) {
  return file_name == kDefaultLogName || file_name == kDecodedLogName || is_split_log_name(file_name);
}
