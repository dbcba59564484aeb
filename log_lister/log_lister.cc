#include "log_lister.h"

#include "console.h"
#include "log_source.h"
#include "national_grid.h"
#include "report_line.h"

int run_log_lister() {
  const std::string name = ask_source_name();
  FileHandle file = open_source_or_end(name);

  for_each_report_line(file, [](std::string_view line) {
    std::optional<DecodeRecord> report = parse_log_line(line);
    if (report) {
      report->grid_ref = to_national_grid(report->latitude, report->longitude,
                                          grid_digits(ReportStyle::log_reader));
      print_line(format_report_line(*report, ReportStyle::log_reader));
    }
  });
  close_file(file);
  // A read that failed (a failing disk, a share gone) ends the pass early.
  const bool complete = !read_error_seen();
  if (!complete) print_line(name + " Was not completely read");
  wait_for_key();
  return complete ? 0 : 1;
}
