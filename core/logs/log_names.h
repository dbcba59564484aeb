// The names of decode logs, and which log the programs propose: here, or in
// the data folders of WSJT-X and JTDX.
#ifndef LOGS_LOG_NAMES_H
#define LOGS_LOG_NAMES_H

#include <optional>
#include <string>
#include <string_view>

inline constexpr const char* kDefaultLogName = "ALL.TXT";

// The file name of the log in `folder` ("" the current folder): ALL.TXT;
// when it is missing, the newest of the yearly or monthly logs that WSJT-X
// 2.6 and later split it into; when there is none of those either, the
// newest of JTDX's monthly logs; nothing when there is none at all.
std::optional<std::string> existing_log_name_in(const std::string& folder);

// The folder of the log the programs propose: "" (the current folder) when
// it holds one; else the first of WSJT-X's and JTDX's data folders that
// holds one; else WSJT-X's data folder when there is one (where its
// ALL.TXT will be); else "".
std::string log_folder();

// DECODED.TXT as the first WSJT-X releases wrote it (WSJT-X 2.x writes
// decoded.txt).
inline constexpr const char* kDecodedLogName = "DECODED.TXT";

// Whether `file_name` (in capitals, no folder) names a decode log that the
// programs read or follow: ALL.TXT, DECODED.TXT, a yearly or monthly log.
bool is_decode_log_name(std::string_view file_name);

// The log of log_folder(), or ALL.TXT there when it holds none, by its
// path (its name alone in the current folder).
std::string default_log_name();

#endif  // LOGS_LOG_NAMES_H
