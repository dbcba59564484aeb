// Where this user's programs keep their data, as the environment tells it.
// The environment is read here alone, and only for that: to find the logs
// where WSJT-X and JTDX write them.
#ifndef SYSTEM_USER_FOLDERS_H
#define SYSTEM_USER_FOLDERS_H

#include <optional>
#include <string>
#include <string_view>

// The value of the environment variable `name`; nothing when it is not set.
std::optional<std::string> environment_value(const char* name);

// The folder in which programs keep this user's data, as Qt (and so WSJT-X
// and JTDX) finds it: on Linux $XDG_DATA_HOME when it is an absolute path,
// else ~/.local/share; on macOS ~/Library/Application Support; on Windows
// %LOCALAPPDATA%. "" when the environment does not tell.
std::string user_data_folder();

// `name` in `folder`, joined with the system's separator; `name` alone when
// `folder` is "" (the current folder).
std::string path_in_folder(std::string_view folder, std::string_view name);

#endif  // SYSTEM_USER_FOLDERS_H
