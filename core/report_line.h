// The console line shown for each position report.
#ifndef CORE_REPORT_LINE_H
#define CORE_REPORT_LINE_H

#include <string>

#include "decode_record.h"

enum class ReportStyle {
  log_reader,  // log_lister and log_tracker: 4-digit references, SNR and offset
  live,        // live_tracker: 3-digit references, SNR, DT and offset
};

// The report mask of each style.
inline constexpr const char* kLogReportMask =
    "\\  \\   \\           \\  +##.##### +###.#####  \\        \\  +##.#dB  +###Hz \\  \\ ";
inline constexpr const char* kLiveReportMask =
    "\\   \\  \\           \\   +##.##### +###.#####  \\        \\   ###dB #.##s #####Hz";

// Digits per coordinate of the grid reference shown in each style.
int grid_digits(ReportStyle style);

// The report line of a record whose grid_ref has been set.
std::string format_report_line(const DecodeRecord& record, ReportStyle style);

#endif  // CORE_REPORT_LINE_H
