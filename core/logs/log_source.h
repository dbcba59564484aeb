// The decode log that log_lister and log_tracker read in one pass: which one
// is proposed, and its position reports.
#ifndef LOGS_LOG_SOURCE_H
#define LOGS_LOG_SOURCE_H

#include <optional>
#include <string>

#include "decode_record.h"
#include "marked_items.h"
#include "text_file.h"

inline constexpr const char* kDefaultLogName = "ALL.TXT";

// ALL.TXT in the current folder; when it is missing, the newest of the
// yearly or monthly logs that WSJT-X 2.6 and later split it into; nothing
// when there is neither.
std::optional<std::string> existing_log_name();

// existing_log_name(), or ALL.TXT when there is none.
std::string default_log_name();

// Calls on_report(const DecodeRecord&) for each position report of the log,
// in order. The lines are found and read (parse_log_line) on threads of
// their own while on_report works.
template <typename OnReport>
void for_each_report(FileHandle file, OnReport&& on_report) {
  for_each_marked_item<DecodeRecord>(
      file, kLastUsedColumn, kReportMarkPlaces, kPositionMark,
      [](std::string_view line) { return parse_log_line(line); }, on_report);
}

#endif  // LOGS_LOG_SOURCE_H
