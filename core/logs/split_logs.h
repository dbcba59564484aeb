// The names under which WSJT-X 2.6 and later can split ALL.TXT: one file a
// year (yyyy-ALL.TXT) or one a month (yyyy-MM-ALL.TXT), in its data folder.
#ifndef LOGS_SPLIT_LOGS_H
#define LOGS_SPLIT_LOGS_H

#include <string>
#include <string_view>
#include <vector>

#include "text_file.h"

bool is_split_log_name(std::string_view name);

// Whether split log `a` covers a later period than split log `b`, from their
// names: a later year, or in one year a month (yyyy-MM) after the year's
// own log (yyyy). When a log was written says nothing: a backup program or
// an antivirus may touch an old one.
bool is_later_split_log(std::string_view a, std::string_view b);

// The split log of the latest period among `files`; "" when there is none.
std::string newest_split_log(const std::vector<FolderFile>& files);

#endif  // LOGS_SPLIT_LOGS_H
