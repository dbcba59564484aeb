// The decode log that log_lister and log_tracker read in one pass: which one
// is proposed, and its position reports.
#ifndef LOGS_LOG_SOURCE_H
#define LOGS_LOG_SOURCE_H

#include <optional>
#include <string>
#include <type_traits>

#include "logs/marked_line_pass.h"
#include "report/decode_record.h"
#include "system/file.h"

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

// The "-" of JTDX's FT8 and FT4 reports stands where WSJT-X's lines have the
// sign of a negative DT: there it counts only after JTDX's "_".
inline constexpr MarkGuard kReportGuard{kJtdxReportMarkPlaces, kJtdxDateEndIndex, kJtdxDateEnd};

// For each position report of the log, in order: make(const DecodeRecord&)
// on a thread of its own, while the lines are read on others, and
// use(const Item&) on this thread with what it made. go_on() is asked on
// this thread every few hundred reports and every kGoOnCheck; when it says
// no, the pass stops there.
template <typename Make, typename Use, typename GoOn>
PassEnd for_each_report(FileHandle file, Make make, Use&& use, GoOn&& go_on) {
  using Item = std::invoke_result_t<Make&, const DecodeRecord&>;
  MarkedLinePass<Item> pass(
      std::move(file), kLastUsedColumn, kReportMarkPlaces, kPositionMark,
      [make](std::string_view line) -> std::optional<Item> {
        const std::optional<DecodeRecord> report = parse_log_line(line);
        if (!report) return std::nullopt;
        return make(*report);
      },
      kReportGuard);
  return pass.use_each(use, go_on);
}

#endif  // LOGS_LOG_SOURCE_H
