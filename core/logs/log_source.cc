#include "logs/log_source.h"

#include "logs/split_logs.h"

std::optional<std::string> existing_log_name() {
  if (is_existing_file(kDefaultLogName)) return kDefaultLogName;
  const std::vector<FolderFile> files = ordinary_files_here();
  std::string dated = newest_split_log(files);
  if (dated.empty()) dated = newest_jtdx_log(files);
  if (dated.empty()) return std::nullopt;
  return dated;
}

std::string default_log_name() { return existing_log_name().value_or(kDefaultLogName); }

bool is_decode_log_name(std::string_view file_name) {
  return file_name == kDefaultLogName || file_name == kDecodedLogName || is_dated_log_name(file_name);
}
