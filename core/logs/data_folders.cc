#include "logs/data_folders.h"

#include <string_view>

#include "system/file.h"
#include "system/user_folders.h"

namespace {

constexpr std::string_view kWsjtxFolder = "WSJT-X";
constexpr std::string_view kRigFolderStart = "WSJT-X - ";
constexpr std::string_view kJtdxFolder = "JTDX";

}  // namespace

std::string wsjtx_folder_in(const std::string& base) {
  std::string rig_folder;
  int rig_folders = 0;
  for (const std::string& name : folder_names_in(base)) {
    if (name == kWsjtxFolder) return path_in_folder(base, name);
    if (name.size() > kRigFolderStart.size() && name.starts_with(kRigFolderStart)) {
      rig_folder = name;
      ++rig_folders;
    }
  }
  return rig_folders == 1 ? path_in_folder(base, rig_folder) : std::string();
}

DataFolders log_data_folders() {
  DataFolders folders;
  const std::string base = user_data_folder();
  if (base.empty()) return folders;
  folders.wsjtx = wsjtx_folder_in(base);
  for (const std::string& name : folder_names_in(base))
    if (name == kJtdxFolder) folders.jtdx = path_in_folder(base, name);
  return folders;
}
