#include "log_tracker.h"

#include <optional>

#include "clock.h"
#include "console.h"
#include "destination.h"
#include "dialogue.h"
#include "error_state.h"
#include "kml_track.h"
#include "line_reader.h"
#include "log_follower.h"
#include "log_source.h"
#include "report_line.h"
#include "source_question.h"
#include "thread_signals.h"

namespace {

// WSJT-X 2.x writes DECODED.TXT in small letters (on a system where case
// matters).
constexpr const char* kDecodedSmallName = "decoded.txt";
// Follow mode: one polling step this often, a check when the seconds read this.
constexpr int kPollingStepMs = 950;
constexpr int kCheckSecond = 59;

// A position report as the run adds it to the track and shows it.
struct ShownReport {
  PreparedPoint point;
  std::string line;
};

ShownReport shown_report(const DecodeRecord& report) {
  return {prepare_point({report.latitude, report.longitude}),
          report_line(report, ReportStyle::log_reader)};
}

// A position report: added to the track, and shown.
void report_step(const ShownReport& report, KmlTrack& track) {
  // The track first: a report on the screen is already in the file,
  // however the program is ended the moment after; ended from outside, the
  // report is in the file and on the console, or in neither.
  const EndSignalsHeld held;
  add_prepared_point(track, report.point);
  print_coloured_line(kReportColour, report.line);
}

// A log line: reported when it holds a position report.
void report_step(std::string_view line, KmlTrack& track) {
  if (const std::optional<DecodeRecord> report = parse_log_line(line))
    report_step(shown_report(*report), track);
}

// The reports are made ready on the threads that read the log. Esc (or
// Ctrl+C) ends the pass where it is; false then.
bool batch_pass(FileHandle& source, KmlTrack& track) {
  const bool to_the_end =
      for_each_report(source, shown_report, [&](const ShownReport& report) { report_step(report, track); },
                      [] { return !stop_key_pressed(); });
  close_file(source);
  return to_the_end;
}

// DECODED.TXT in the current folder when it is an ordinary file (also under
// its small-letter name); "" when there is none.
std::string decoded_file_name() {
  for (const char* name : {kDecodedLogName, kDecodedSmallName})
    if (is_existing_file(name)) return name;
  return {};
}

// The first line of `name`, "" when it is missing or empty.
std::string first_line_of(const std::string& name) {
  FileHandle file = open_for_reading(name, Sharing::read_write);
  std::string line = first_line(file, kLastUsedColumn);
  close_file(file);
  return line;
}

// The first line of DECODED.TXT, once a minute and at Esc. A line just as
// the one handled before is the same decode: it adds no second point.
void follow_decoded(const std::string& name, KmlTrack& track) {
  print_esc_instruction();
  std::string handled;
  for (;;) {
    pause_ms(kPollingStepMs);
    const int second = local_time().second;
    const bool esc = is_stop_key(poll_key());
    print_text(".");
    if (esc || second == kCheckSecond) {
      print_newline();
      std::string line = first_line_of(name);
      if (line != handled) {
        report_step(line, track);
        handled = std::move(line);
      }
    }
    if (esc) return;
  }
}

// Every line added to the log, a step at a time, until Esc.
void follow_log(LogFollower& log, KmlTrack& track) {
  print_esc_instruction();
  bool dots_open = false;  // the row of dots has no line end yet
  bool esc = false;
  const auto on_line = [&](std::string_view line) {
    const std::optional<DecodeRecord> report = parse_log_line(line);
    if (!report) return;
    if (dots_open) print_newline();
    dots_open = false;
    report_step(shown_report(*report), track);
  };
  // Between blocks of a large addition: Esc ends it there.
  const auto go_on = [&] {
    esc = stop_key_pressed();
    return !esc;
  };
  while (!esc) {
    pause_ms(kPollingStepMs);
    esc = is_stop_key(poll_key());
    print_text(".");
    dots_open = true;
    if (!esc) log.step(on_line, go_on);
  }
  if (dots_open) print_newline();
}

}  // namespace

int run_log_tracker() {
  print_opening(
      {"Generates .KML file for plotting on Google Earth. Read WSJT data from 'ALL.TXT' or in real "
       "time from 'DECODED.TXT'"});
  print_newline();

  print_text("Read incoming data in real time     [Y]/n   ");
  const bool follow_mode = !answers_no(read_line());

  FileHandle source;
  std::string source_name;
  std::string decoded_name;
  std::optional<LogFollower> log;
  if (follow_mode) {
    decoded_name = decoded_file_name();
    if (decoded_name.empty()) log.emplace();
    source_name = log ? log->name() : decoded_name;
    print_coloured_line(kMessageColour, "Extract decoded data as it arrives via '" + source_name + "'");
  } else {
    source_name = ask_source_name();
    source = open_source_or_end(source_name);
  }

  print_newline();
  KmlTrack track;
  const std::string kml_name = ask_destination(default_destination_name(local_time()));
  print_will_generate(kml_name);
  if (is_same_file(kml_name, source_name))
    end_with_failure(kml_name + " Is the source file and cannot be the destination");
  refuse_unfit_destination(kml_name);
  open_track_or_end(track, kml_name);
  start_track(track);

  bool to_the_end = true;  // of the log read in one pass
  if (log)
    follow_log(*log, track);
  else if (follow_mode)
    follow_decoded(decoded_name, track);
  else
    to_the_end = batch_pass(source, track);

  finish_track(track);
  const bool written = !track.out.lost_lines;
  print_line(written_text(track.out, " Generated"));
  // A pass that a failed read ended early: the track holds the points read
  // up to there. Following, a read that failed at some step.
  const bool read = log ? tell_whether_read_whole(log->name(), !log->read_failed())
                    : follow_mode ? true
                                  : tell_whether_read_whole(source_name, !read_error_seen());
  if (!to_the_end) print_line(source_name + " Was not read to its end");
  wait_for_key();
  return written && read ? 0 : 1;
}
