// The dated names of decode logs: WSJT-X 2.6 and later can split ALL.TXT
// into one file a year (yyyy-ALL.TXT) or one a month (yyyy-MM-ALL.TXT);
// JTDX writes one a month (yyyyMM_ALL.TXT). Each lives in its program's
// data folder.
#ifndef LOGS_SPLIT_LOGS_H
#define LOGS_SPLIT_LOGS_H

#include <string>
#include <string_view>
#include <vector>

#include "system/file.h"

// WSJT-X's yearly or monthly log.
bool is_split_log_name(std::string_view name);
// JTDX's monthly log.
bool is_jtdx_log_name(std::string_view name);
// Either of them.
inline bool is_dated_log_name(std::string_view name) {
  return is_split_log_name(name) || is_jtdx_log_name(name);
}

// Whether dated log `a` covers a later period than dated log `b`, from their
// names: a later year, or in one year a month (yyyy-MM) after the year's
// own log (yyyy). When a log was written says nothing: a backup program or
// an antivirus may touch an old one.
bool is_later_split_log(std::string_view a, std::string_view b);

// The WSJT-X split log of the latest period among `files`; "" when there
// is none.
std::string newest_split_log(const std::vector<FolderFile>& files);
// The same for JTDX's monthly logs.
std::string newest_jtdx_log(const std::vector<FolderFile>& files);

#endif  // LOGS_SPLIT_LOGS_H
