// The position reports of a decode log, in one pass over it with threads
// of its own (marked_line_pass.h), for log_lister and log_tracker.
#ifndef LOGS_REPORT_PASS_H
#define LOGS_REPORT_PASS_H

#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>

#include "logs/marked_line_pass.h"
#include "report/decode_record.h"
#include "system/file.h"

// For each position report of the log, in order: make(const DecodeRecord&)
// on a thread of its own, while the lines are read on others, and
// use(const Item&) on this thread with what it made. go_on() is asked on
// this thread every few hundred reports and every kGoOnCheck; when it says
// no, the pass stops there.
template <typename Make, typename Use, typename GoOn>
PassEnd for_each_report(FileHandle file, Make make, Use&& use, GoOn&& go_on) {
  using Item = std::invoke_result_t<Make&, const DecodeRecord&>;
  MarkedLinePass<Item> pass(std::move(file), kReportFilter,
                            [make](std::string_view line) -> std::optional<Item> {
                              const std::optional<DecodeRecord> report = parse_log_line(line);
                              if (!report) return std::nullopt;
                              return make(*report);
                            });
  return pass.use_each(use, go_on);
}

#endif  // LOGS_REPORT_PASS_H
