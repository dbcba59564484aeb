#include "report_line.h"

#include "mask_format.h"

int grid_digits(ReportStyle style) { return style == ReportStyle::live ? 3 : 4; }

std::string format_report_line(const DecodeRecord& r, ReportStyle style) {
  if (style == ReportStyle::live)
    return format_mask(kLiveReportMask, {r.time_text, r.message, r.latitude, r.longitude,
                                         r.grid_ref, r.snr_db, r.dt_s, r.audio_offset_hz});
  return format_mask(kLogReportMask, {r.time_text, r.message, r.latitude, r.longitude,
                                      r.grid_ref, r.snr_db, r.audio_offset_hz, r.time_text});
}
