#include "logs/log_names.h"

#include <vector>

#include "logs/data_folders.h"
#include "logs/split_logs.h"
#include "system/file.h"
#include "system/user_folders.h"

std::optional<std::string> existing_log_name_in(const std::string& folder) {
  if (is_existing_file(path_in_folder(folder, kDefaultLogName))) return kDefaultLogName;
  const std::vector<FolderFile> files = ordinary_files_in(folder);
  std::string dated = newest_split_log(files);
  if (dated.empty()) dated = newest_jtdx_log(files);
  if (dated.empty()) return std::nullopt;
  return dated;
}

std::string log_folder() {
  if (existing_log_name_in("")) return {};
  const DataFolders folders = log_data_folders();
  for (const std::string& folder : {folders.wsjtx, folders.jtdx})
    if (!folder.empty() && existing_log_name_in(folder)) return folder;
  return folders.wsjtx;
}

std::string default_log_name() {
  const std::string folder = log_folder();
  return path_in_folder(folder, existing_log_name_in(folder).value_or(kDefaultLogName));
}

bool is_decode_log_name(std::string_view file_name) {
  return file_name == kDefaultLogName || file_name == kDecodedLogName || is_dated_log_name(file_name);
}
