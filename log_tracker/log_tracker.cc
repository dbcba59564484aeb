#include "log_tracker/log_tracker.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

#include "console/console.h"
#include "dialogue/destination.h"
#include "dialogue/dialogue.h"
#include "dialogue/source_question.h"
#include "log_tracker/log_follower.h"
#include "logs/line_reader.h"
#include "logs/log_names.h"
#include "logs/report_pass.h"
#include "outputs/kml_track.h"
#include "report/report_line.h"
#include "system/clock.h"
#include "system/thread_signals.h"

namespace {

// WSJT-X 2.x writes DECODED.TXT in small letters (on a system where case
// matters).
constexpr const char* kDecodedSmallName = "decoded.txt";
// Follow mode: one polling step this often, a check when the seconds read this.
constexpr int kPollingStepMs = 950;
constexpr int kCheckSecond = 59;
// The track in its file at most this often (and at the end): a reader then
// finds the track of a fast pass whole, at the cost of one copy a time.
constexpr std::chrono::milliseconds kTrackRefresh{500};

// A position report as the run adds it to the track and shows it.
struct ShownReport {
  PreparedPoint point;
  std::string line;
};

ShownReport shown_report(const DecodeRecord& report) {
  return {prepare_point({report.latitude, report.longitude}), report_line(report, ReportStyle::log_reader)};
}

// A position report: added to the track, and shown.
void add_and_show(const ShownReport& report, KmlTrack& track) {
  // The track first: a report on the screen is already in the file,
  // however the program is ended the moment after; ended from outside, the
  // report is in the file and on the console, or in neither.
  const EndSignalsHeld held;
  add_prepared_point(track, report.point);
  print_coloured_line(kReportColour, report.line);
}

// The reports of a batch pass, queued to go in the track together and be
// shown after: their lines, each string's room kept for the next batch.
struct QueuedReports {
  std::vector<std::string> lines;
  std::size_t count = 0;
};

void queue_report(const ShownReport& report, KmlTrack& track, QueuedReports& queued) {
  queue_point(track, report.point);
  if (queued.count == queued.lines.size()) queued.lines.emplace_back();
  queued.lines[queued.count++].assign(report.line);
}

// The reports queued: added to the track in one write, then shown; as
// add_and_show does for one, ended from outside, all of them are in the
// file and on the console, or none.
void add_and_show_queued(KmlTrack& track, QueuedReports& queued) {
  const EndSignalsHeld held;
  write_queued_points(track);
  for (std::size_t i = 0; i < queued.count; ++i) print_coloured_line(kReportColour, queued.lines[i]);
  queued.count = 0;
}

// The reports are made ready on the threads that read the log, and go in
// the track a batch at a time. Esc (or Ctrl+C) ends the pass where it is.
PassEnd batch_pass(FileHandle source, KmlTrack& track) {
  QueuedReports queued;
  const PassEnd end = for_each_report(
      std::move(source), shown_report,
      [&](const ShownReport& report) { queue_report(report, track, queued); },
      [&] {
        add_and_show_queued(track, queued);
        refresh_output(track.out);
        return !stop_key_pressed();
      });
  add_and_show_queued(track, queued);
  return end;
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
  return first_line(open_for_reading(name, Sharing::read_write), kLastUsedColumn);
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
        if (const std::optional<DecodeRecord> report = parse_log_line(line))
          add_and_show(shown_report(*report), track);
        handled = std::move(line);
      }
    }
    if (esc) return;
  }
}

// "'A'", "'A' and 'B'", "'A', 'B' and 'C'".
std::string quoted_names(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
    text += "'" + names[i] + "'";
  }
  return text;
}

void print_followed(const std::vector<std::string>& names) {
  print_coloured_line(kMessageColour, "Extract decoded data as it arrives via " + quoted_names(names));
}

// The names in `now` that are not in `before`.
std::vector<std::string> added_names(const std::vector<std::string>& before,
                                     const std::vector<std::string>& now) {
  std::vector<std::string> added;
  for (const std::string& name : now)
    if (std::find(before.begin(), before.end(), name) == before.end()) added.push_back(name);
  return added;
}

// Every line added to the logs, a step at a time, until Esc. The screen
// says so when the logs followed change, and at once when a log cannot be
// read and when it can again.
void follow_log(LogFollower& log, KmlTrack& track) {
  print_esc_instruction();
  bool dots_open = false;  // the row of dots has no line end yet
  const auto end_dots = [&] {
    if (dots_open) print_newline();
    dots_open = false;
  };
  const auto on_line = [&](std::string_view line) {
    const std::optional<DecodeRecord> report = parse_log_line(line);
    if (!report) return;
    end_dots();
    add_and_show(shown_report(*report), track);
  };
  // Between blocks of a large addition: Esc ends it there.
  const auto go_on = [&] {
    refresh_output(track.out);
    return !stop_key_pressed();
  };
  std::vector<std::string> followed = log.names();
  std::vector<std::string> failing;
  bool esc = false;
  while (!esc) {
    pause_ms(kPollingStepMs);
    esc = is_stop_key(poll_key());
    print_text(".");
    dots_open = true;
    if (esc || (esc = !log.step(on_line, go_on))) break;
    refresh_output(track.out);
    const std::vector<std::string> failing_now = log.failing();
    for (const std::string& name : added_names(failing, failing_now)) {
      end_dots();
      print_line(name + " Cannot be read now");
    }
    for (const std::string& name : added_names(failing_now, failing)) {
      end_dots();
      print_line(name + " Is read again");
    }
    failing = failing_now;
    if (std::vector<std::string> now = log.names(); now != followed) {
      end_dots();
      print_followed(now);
      followed = std::move(now);
    }
  }
  end_dots();
}

// What the run reads: a log in one pass, the log as WSJT-X appends to it,
// or the first line of DECODED.TXT once a minute.
enum class Mode { one_pass, follow_log, follow_decoded };

struct Source {
  Mode mode = Mode::one_pass;
  std::string name;
  FileHandle file;                 // one pass: the log, open
  std::optional<LogFollower> log;  // following the log
};

// The question of the mode, then the log of the pass or the file followed;
// the failure when the log of the pass cannot be read.
std::optional<Failure> choose_source(Source& source) {
  print_text("Read incoming data in real time     [Y]/n   ");
  if (answers_no(read_line())) {
    source.mode = Mode::one_pass;
    source.name = ask_source_name();
    return open_source(source.name, source.file);
  }
  source.name = decoded_file_name();
  if (!source.name.empty()) {
    source.mode = Mode::follow_decoded;
    print_followed({source.name});
    return std::nullopt;
  }
  source.mode = Mode::follow_log;
  const std::vector<std::string> names = source.log.emplace().names();
  source.name = names.front();
  print_followed(names);
  return std::nullopt;
}

}  // namespace

int run_log_tracker() {
  print_opening(
      {"Generates .KML file for plotting on Google Earth. Read WSJT data from 'ALL.TXT' or in real "
       "time from 'DECODED.TXT'"});
  print_newline();
  Source source;
  if (const std::optional<Failure> failure = choose_source(source)) return failed_run(*failure);

  print_newline();
  KmlTrack track;
  const std::string kml_name = ask_destination(default_destination_name(local_time()));
  const OtherFile log = {source.name, kml_name + " Is the source file and cannot be the destination"};
  if (const std::optional<Failure> failure = open_destination(track, kml_name, kml_name, log))
    return failed_run(*failure);
  track.out.refresh = kTrackRefresh;
  start_track(track);

  PassEnd pass;  // of the log read in one pass
  switch (source.mode) {
    case Mode::one_pass: pass = batch_pass(std::move(source.file), track); break;
    case Mode::follow_log: follow_log(*source.log, track); break;
    case Mode::follow_decoded: follow_decoded(source.name, track); break;
  }

  finish_track(track);
  const bool written = !track.out.lost_lines;
  print_line(written_text(track.out, " Generated"));
  // A pass that a failed read ended early: the track holds the points read
  // up to there. Following, a read that failed at some step.
  bool read = true;
  if (source.mode == Mode::one_pass) read = tell_whether_read_whole(source.name, !pass.read_failed);
  if (source.mode == Mode::follow_log)
    for (const std::string& name : source.log->failed()) read = tell_whether_read_whole(name, false);
  if (pass.stopped) print_line(source.name + " Was not read to its end");
  wait_for_key();
  return written && read ? 0 : 1;
}
