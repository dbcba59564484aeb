#include "live_tracker/live_tracker.h"

#include <chrono>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "console/console.h"
#include "dialogue/destination.h"
#include "dialogue/dialogue.h"
#include "live_tracker/seen_decodes.h"
#include "outputs/kml_track.h"
#include "outputs/output_file.h"
#include "report/mask_format.h"
#include "report/report_line.h"
#include "system/clock.h"
#include "system/thread_signals.h"
#include "wsjtx/datagram_reader.h"
#include "wsjtx/host_identity.h"
#include "wsjtx/udp_listener.h"

namespace {

constexpr int kReceiveWaitMs = 20000;
// Memory for datagrams taken off the socket but not yet handled, at most.
constexpr std::size_t kQueueLimitBytes = 64 << 20;

constexpr const char* kCsvHeader = "Time, Lat , Long";
constexpr const char* kCsvMask = "\\    \\, +00.#####, +000.#####";
constexpr const char* kAddressMask = "#_.#_.#_.#";

std::int64_t milliseconds_now() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Shows who we are and opens the socket; the normal colour after.
OpenedListener open_listener() {
  const HostIdentity host = host_identity();
  set_text_colour(kHostColour);
  print_line("Host name " + host.name);
  print_newline();
  OpenedListener opened = open_udp_listener(kListenPort);
  if (!opened.socket) {
    set_text_colour(kNormalColour);
    return opened;
  }
  const auto& a = host.address;
  print_line("Listening for broadcasts to " + format_mask(kAddressMask, {a[0], a[1], a[2], a[3]}) + ":" +
             number_text(kListenPort) + "...");
  set_text_colour(kNormalColour);
  print_newline();
  return opened;
}

// One CSV line: time text, latitude, longitude.
std::string csv_line(const DecodeRecord& r) {
  return format_mask(kCsvMask, {r.time_text, r.latitude, r.longitude});
}

// A position message: decoded, reported, added to the track and the CSV
// file; false, with nothing done, when its position is rejected.
struct LiveOutputs {
  KmlTrack track;
  OutputFile csv;
};

// The decodes handled since the files were last written: their points
// queued in the track, their table lines, and the lines to show, in order
// (each string's room kept for the next time).
struct ShownLine {
  bool report = false;  // a position report, else a plain decode
  std::string text;
};
struct PendingDecodes {
  std::string csv_lines;
  std::vector<ShownLine> lines;
  std::size_t count = 0;
};
// Decodes handled at most before the files are written, while more wait.
constexpr std::size_t kMostPending = 256;

void add_shown_line(PendingDecodes& pending, bool report, std::string_view text) {
  if (pending.count == pending.lines.size()) pending.lines.emplace_back();
  ShownLine& line = pending.lines[pending.count++];
  line.report = report;
  line.text.assign(text);
}

void show_line(const ShownLine& line) {
  if (line.report) {
    print_coloured_line(kReportColour, line.text);
  } else {
    set_text_colour(kPlainDecodeColour);  // stays until the next colour change
    print_line(line.text);
  }
}

// The pending decodes go out: their points to the track and their lines to
// the table, one write each, then their lines to the screen. A report on
// the screen is already in both files, however the program is ended the
// moment after; ended from outside, the reports are in the files and on
// the console, or in neither. The plain decodes after the last report are
// shown as any other output, an end from outside not waiting for them.
void write_and_show(LiveOutputs& outputs, PendingDecodes& pending) {
  std::size_t shown = 0;
  if (!pending.csv_lines.empty()) {
    std::size_t reports_end = pending.count;
    while (!pending.lines[reports_end - 1].report) --reports_end;
    const EndSignalsHeld held;
    write_queued_points(outputs.track);
    replace_rest(outputs.csv, outputs.csv.size, pending.csv_lines, {});
    for (; shown < reports_end; ++shown) show_line(pending.lines[shown]);
  }
  for (; shown < pending.count; ++shown) show_line(pending.lines[shown]);
  pending.csv_lines.clear();
  pending.count = 0;
}

bool record_position(DecodeRecord record, std::string_view message, LiveOutputs& outputs,
                     PendingDecodes& pending) {
  record.message = message;
  if (!set_position(record)) return false;
  queue_point(outputs.track, prepare_point({record.latitude, record.longitude}));
  pending.csv_lines.append(csv_line(record)).append("\r\n");
  add_shown_line(pending, true, report_line(record, ReportStyle::live));
  return true;
}

// A decoded message: a position message is passed to record_position; a
// plain one, or one that record_position rejects, is shown in cyan.
void handle_decode(const DecodeRecord& record, LiveOutputs& outputs, PendingDecodes& pending) {
  // A "-" in the position message's place is common in ordinary messages
  // too ("K1ABC -12"): those that are no position message are shown like
  // any other, as sent.
  const std::string_view message = sent_message(record.message);
  if (is_position_message(message) && record_position(record, message, outputs, pending)) return;
  add_shown_line(pending, false, record.message);
}

// Receives until Esc. Datagrams already waiting are moved to our own queue
// between two decodes, so that a burst is not lost while the console is busy.
// A decode already handled (a replay, a copy from another interface) is
// passed over. The decodes of a burst go to the files and to the screen
// together, once none waits (or kMostPending of them were handled).
void receive_loop(const UdpHandle& socket, LiveOutputs& outputs) {
  PendingDecodes pending;
  SeenDecodes seen;
  SeenDecodes seen_reports(kSeenReportSpanMs, kSeenReportBytes);
  std::deque<std::string> queue;
  std::size_t queued_bytes = 0;  // what the queue costs (queued_cost)
  std::string received;          // its room of a whole datagram kept for the next
  std::string datagram;
  for (;;) {
    if (is_stop_key(poll_key())) return write_and_show(outputs, pending);
    if (key_waiting()) continue;  // take the next key first, without a wait
    if (queue.empty()) {
      write_and_show(outputs, pending);  // before waiting for the next
      if (receive_datagram(socket, received, kReceiveWaitMs, key_wake()) != ReceiveResult::datagram) continue;
      queue.emplace_back(received.data(), received.size());
      queued_bytes += queued_cost(queue.back());
    }
    if (queued_bytes < kQueueLimitBytes)
      queued_bytes += take_waiting_datagrams(socket, queue, kQueueLimitBytes - queued_bytes);
    queued_bytes -= queued_cost(queue.front());
    datagram = std::move(queue.front());
    queue.pop_front();
    const std::optional<DecodeRecord> record = parse_decode_datagram(datagram);
    if (!record) continue;
    // A replay never puts a point in the track twice, however long ago.
    SeenDecodes& memory = decode_position(sent_message(record->message)) ? seen_reports : seen;
    if (memory.first_arrival(decode_key(datagram), milliseconds_now()))
      handle_decode(*record, outputs, pending);
    if (pending.count == kMostPending) write_and_show(outputs, pending);
  }
}

// What is said, with a beep, when the socket cannot be opened (`error`).
Failure port_failure(int error) {
  const bool taken = is_port_taken_error(error);
  return {.line = "UDP port " + number_text(kListenPort) +
                  (taken ? " Is in use by another program" : " Cannot be opened"),
          .beep = true};
}

// Asks for the destination, then opens both files. Both are checked before
// either is changed: a track of an earlier run is not emptied when the
// table cannot be made (and one made new for this run is removed again).
std::optional<Failure> open_outputs(LiveOutputs& outputs) {
  const std::string kml_name = ask_destination(default_destination_name(local_time()));
  const std::string csv_name = csv_name_for(kml_name);
  const OtherFile csv = {csv_name, csv_name + " Cannot be both the .KML file and the .CSV file"};
  LiveOutputs opened;
  if (std::optional<Failure> failure =
          open_destination(opened.track, kml_name, kml_name + " And  " + csv_name, csv))
    return failure;
  const std::string csv_head = std::string(kCsvHeader) + "\r\n";
  opened.csv = open_output(csv_name, csv_head, csv_head);
  if (std::optional<Failure> failure = refusal_of(opened.csv)) return failure;
  outputs = std::move(opened);
  start_track(outputs.track);
  start_output(outputs.csv, csv_head);
  return std::nullopt;
}

}  // namespace

std::string csv_name_for(const std::string& kml_name, std::string_view separators) {
  return kml_name.substr(0, kml_name.find('.', file_name_start(kml_name, separators))) + ".CSV";
}

int run_live_tracker() {
  print_opening({"Generates .KML and .CSV files for plotting on Google Earth.",
                 "Reads UDP Mesages sent from WSJT-X in real time"});
  print_newline();
  print_newline();
  const OpenedListener listener = open_listener();
  if (!listener.socket) return failed_run(port_failure(listener.error));

  LiveOutputs outputs;
  if (const std::optional<Failure> failure = open_outputs(outputs)) return failed_run(*failure);
  print_esc_instruction();

  receive_loop(listener.socket, outputs);

  finish_track(outputs.track);
  close_output(outputs.csv);
  print_line("KML and .CSV File generation terminated ");
  set_text_colour(kClosingColour);
  print_line(written_text(outputs.track.out, " Has been generated in the WSJT folder."));
  print_newline();
  print_line("Use  'Open With Google Earth' to view");
  print_newline();
  print_newline();
  print_line(written_text(outputs.csv, " Has been generated in the WSJT folder. "));
  print_newline();
  set_text_colour(kNormalColour);
  print_line("Any key to close this window...");
  print_newline();
  wait_for_key();
  return outputs.track.out.lost_lines || outputs.csv.lost_lines ? 1 : 0;
}
