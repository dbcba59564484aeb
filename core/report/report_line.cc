#include "report/report_line.h"

#include "report/mask_format.h"
#include "report/national_grid.h"

std::string report_line(const DecodeRecord& r, ReportStyle style) {
  if (style == ReportStyle::live)
    return format_mask(kLiveReportMask,
                       {r.time_text, r.message, r.latitude, r.longitude,
                        to_national_grid(r.latitude, r.longitude, 3), r.snr_db, r.dt_s, r.audio_offset_hz});
  return format_mask(kLogReportMask, {r.time_text, r.message, r.latitude, r.longitude,
                                      to_national_grid(r.latitude, r.longitude, 4), r.snr_db,
                                      r.audio_offset_hz, r.time_text});
}
