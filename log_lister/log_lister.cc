#include "log_lister/log_lister.h"

#include "console/console.h"
#include "dialogue/dialogue.h"
#include "dialogue/source_question.h"
#include "logs/report_pass.h"
#include "report/report_line.h"

int run_log_lister() {
  const std::string name = ask_source_name();
  // Esc (or Ctrl+C) ends the pass where it is.
  const PassEnd pass = for_each_report(
      open_source_or_end(name),
      [](const DecodeRecord& report) { return report_line(report, ReportStyle::log_reader); },
      [](const std::string& line) { print_line(line); }, [] { return !stop_key_pressed(); });
  const bool complete = tell_whether_read_whole(name, !pass.read_failed);
  if (pass.stopped) print_line(name + " Was not read to its end");
  wait_for_key();
  return complete ? 0 : 1;
}
