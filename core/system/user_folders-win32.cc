// The environment through the Win32 API, its text given in the ANSI code
// page as all text inside the programs.
#include <windows.h>

#include <vector>

#include "system/user_folders.h"

std::optional<std::string> environment_value(const char* name) {
  const std::string ansi_name(name);
  const int name_size = MultiByteToWideChar(CP_ACP, 0, ansi_name.c_str(), -1, nullptr, 0);
  std::vector<wchar_t> wide_name(static_cast<std::size_t>(name_size));
  MultiByteToWideChar(CP_ACP, 0, ansi_name.c_str(), -1, wide_name.data(), name_size);
  const DWORD size = GetEnvironmentVariableW(wide_name.data(), nullptr, 0);
  if (size == 0) return std::nullopt;  // not set (an empty value still counts one for its end)
  std::vector<wchar_t> value(size);
  if (GetEnvironmentVariableW(wide_name.data(), value.data(), size) >= size) return std::nullopt;
  const int n = WideCharToMultiByte(CP_ACP, 0, value.data(), -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<std::size_t>(n - 1), '\0');
  WideCharToMultiByte(CP_ACP, 0, value.data(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

std::string user_data_folder() { return environment_value("LOCALAPPDATA").value_or(""); }

std::string path_in_folder(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string path(folder);
  if (path.back() != '\\' && path.back() != '/') path += '\\';
  return path.append(name);
}
