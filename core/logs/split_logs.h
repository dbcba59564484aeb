// The names under which WSJT-X 2.6 and later can split ALL.TXT: one file a
// year (yyyy-ALL.TXT) or one a month (yyyy-MM-ALL.TXT), in its data folder.
#ifndef LOGS_SPLIT_LOGS_H
#define LOGS_SPLIT_LOGS_H

#include <string>
#include <string_view>
#include <vector>

#include "text_file.h"

bool is_split_log_name(std::string_view name);

// The split log written last among `files` (of two written at the same time,
// the later name); "" when there is none.
std::string newest_split_log(const std::vector<FolderFile>& files);

#endif  // LOGS_SPLIT_LOGS_H
