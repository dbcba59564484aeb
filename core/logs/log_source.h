// The decode log that log_lister and log_tracker read in one pass: which one
// is proposed, and its lines that may hold a report.
#ifndef LOGS_LOG_SOURCE_H
#define LOGS_LOG_SOURCE_H

#include <optional>
#include <string>

#include "decode_record.h"
#include "marked_lines.h"
#include "text_file.h"

inline constexpr const char* kDefaultLogName = "ALL.TXT";

// ALL.TXT in the current folder; when it is missing, the newest of the
// yearly or monthly logs that WSJT-X 2.6 and later split it into; nothing
// when there is neither.
std::optional<std::string> existing_log_name();

// existing_log_name(), or ALL.TXT when there is none.
std::string default_log_name();

// Calls on_line(std::string_view) for each line of the log that may hold a
// position report (its "-" in place; parse_log_line decides), in order,
// cut to the columns used.
template <typename OnLine>
void for_each_report_line(FileHandle file, OnLine&& on_line) {
  for_each_marked_line(file, kLastUsedColumn, kReportMarkPlaces, kPositionMark,
                       [&](std::string_view line) {
                         on_line(line);
                         return true;
                       });
}

#endif  // LOGS_LOG_SOURCE_H
