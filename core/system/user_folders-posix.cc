#include <cstdlib>

#include "system/user_folders.h"

std::optional<std::string> environment_value(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::string user_data_folder() {
  const std::string home = environment_value("HOME").value_or("");
#ifdef __APPLE__
  return home.empty() ? home : home + "/Library/Application Support";
#else
  const std::string xdg = environment_value("XDG_DATA_HOME").value_or("");
  if (!xdg.empty() && xdg.front() == '/') return xdg;  // a relative one is not taken
  return home.empty() ? home : home + "/.local/share";
#endif
}

std::string path_in_folder(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string path(folder);
  if (path.back() != '/') path += '/';
  return path.append(name);
}
