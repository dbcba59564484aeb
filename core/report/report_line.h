// The console line shown for each position report: the one road from a
// decoded record to what the person at the radio reads.
#ifndef REPORT_REPORT_LINE_H
#define REPORT_REPORT_LINE_H

#include <string>

#include "report/decode_record.h"

enum class ReportStyle {
  log_reader,  // log_lister and log_tracker: 4-digit references, SNR and offset
  live,        // live_tracker: 3-digit references, SNR, DT and offset
};

// The report mask of each style.
inline constexpr const char* kLogReportMask =
    "\\  \\   \\           \\  +##.##### +###.#####  \\        \\  +##.#dB  +###Hz \\  \\ ";
inline constexpr const char* kLiveReportMask =
    "\\   \\  \\           \\   +##.##### +###.#####  \\        \\   ###dB #.##s #####Hz";

// The report line of a record: its time, message, position and National
// Grid reference (the style's digits; "" outside the grid's window, "Not
// valid" off the grid), and the style's signal figures.
std::string report_line(const DecodeRecord& record, ReportStyle style);

#endif  // REPORT_REPORT_LINE_H
