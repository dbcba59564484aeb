#include "outputs/output_file.h"

#include "system/clock.h"
#include "system/thread_signals.h"

namespace {

using Clock = std::chrono::steady_clock;

// How long the close waits for a reader that holds the file without sharing
// its deletion (Windows), in tries a pause apart.
constexpr int kCloseTries = 40;
constexpr int kCloseTryPauseMs = 50;

// No working copy any more.
void drop_working_copy(OutputFile& out) {
  out.file.close();
  remove_file(out.working_name);
  set_move_at_end("", "");
  out.waiting = false;
}

// A working copy that holds the state in place, made when there is none.
bool make_working_copy(OutputFile& out) {
  if (out.file) return true;
  OpenedOutput made = open_output_file(out.working_name, {});
  if (!made.file) return false;
  out.file = std::move(made.file);
  bool copied = true;
  if (out.size > 0) {
    const FileHandle placed = open_for_reading(out.name, Sharing::read_write_delete);
    const std::optional<FileStatus> status = open_file_status(placed);
    copied = status && status->size == out.size && copy_file_start(placed, out.file, out.size);
  }
  if (!copied || !cut_file(out.file, out.size)) {
    drop_working_copy(out);
    return false;
  }
  set_move_at_end(out.working_name, out.name);
  return true;
}

// Puts the working copy in place of the file; false when it could not be
// (it is then kept for the next try, or dropped when it cannot be).
bool place_state(OutputFile& out) {
  const EndSignalsHeld held;
  if (!out.file.close()) {
    drop_working_copy(out);
    out.lost_lines = true;
    return false;
  }
  if (!move_file_over(out.working_name, out.name)) {
    out.file = open_output_file(out.working_name, {}).file;
    if (!out.file) {
      drop_working_copy(out);
      out.lost_lines = true;
    }
    return false;
  }
  set_move_at_end("", "");
  out.waiting = false;
  out.started = true;
  out.placed_size = out.size;
  out.placed_at = Clock::now();
  return true;
}

bool refresh_due(const OutputFile& out) {
  return out.refresh.count() == 0 || Clock::now() - out.placed_at >= out.refresh ||
         out.size >= 2 * out.placed_size;
}

// True when the file `name` holds the first bytes of `own_start` and no
// more: a working copy whose making was cut short.
bool holds_start_of(const std::string& name, std::string_view own_start) {
  const FileHandle file = open_for_reading(name);
  std::string start(own_start.size() + 1, '\0');
  std::size_t got = 0;
  for (BlockRead r; file && got < start.size(); got += r.size)
    if (r = read_block(file, start.data() + got, start.size() - got); r.failed || r.size == 0) break;
  return file && got <= own_start.size() &&
         own_start.substr(0, got) == std::string_view(start).substr(0, got);
}

}  // namespace

std::string working_name_for(const std::string& name) {
  const std::size_t file_start = name.find_last_of("/\\") + 1;  // 0 without a folder
  return name.substr(0, file_start) + ".~" + name.substr(file_start);
}

OutputFile open_output(const std::string& name, std::string_view own_start) {
  OutputFile out;
  out.name = name;
  out.working_name = working_name_for(name);
  OpenedOutput opened = open_output_file(name, own_start);
  out.refusal = opened.refusal;
  out.created = opened.created;
  out.size = opened.size;
  if (out.refusal != OutputRefusal::none) return out;
  opened.file.close();  // not held between two states
  OpenedOutput left = open_output_file(out.working_name, own_start);
  if (left.refusal == OutputRefusal::not_ours && holds_start_of(out.working_name, own_start))
    left.refusal = OutputRefusal::none;
  if (left.refusal != OutputRefusal::none) {
    out.refusal = OutputRefusal::cannot_create;
    drop_output(out);
    return out;
  }
  left.file.close();
  remove_file(out.working_name);
  return out;
}

void start_output(OutputFile& out, std::string_view text) {
  out.size = 0;  // nothing of the file before is kept: no copy of it
  replace_rest(out, 0, text, {});
}

void write_line(OutputFile& out, std::string_view text) {
  thread_local std::string line;  // its room kept from line to line
  line.assign(text);
  line += "\r\n";
  replace_rest(out, out.size, line, {});
}

bool replace_rest(OutputFile& out, std::uint64_t offset, std::string_view text, std::string_view old_rest) {
  if (out.lost_lines) return false;  // left as it was at the failure
  const EndSignalsHeld held;         // the working copy is whole whenever a run may end
  const std::uint64_t end = offset + text.size();
  if (!make_working_copy(out)) {
    out.lost_lines = true;
    return false;
  }
  if (write_at(out.file, offset, text) && (end >= out.size || cut_file(out.file, end))) {
    out.size = end;
    out.waiting = true;
    if (refresh_due(out)) place_state(out);
    return true;
  }
  // Back to the last whole state: what was overwritten, then the old length;
  // that goes in place, unless the file still holds what it held before.
  out.lost_lines = true;
  if (write_at(out.file, offset, old_rest) && cut_file(out.file, out.size) && out.started)
    place_state(out);
  else
    drop_working_copy(out);
  return false;
}

void refresh_output(OutputFile& out) {
  if (out.waiting && Clock::now() - out.placed_at >= out.refresh) place_state(out);
}

void close_output(OutputFile& out) {
  for (int i = 0; out.waiting && !place_state(out) && out.waiting; ++i) {
    if (i == kCloseTries) {
      out.lost_lines = true;  // the file holds an earlier state
      drop_working_copy(out);
      return;
    }
    pause_ms(kCloseTryPauseMs);
  }
  if (out.file) drop_working_copy(out);
}

void drop_output(OutputFile& out) {
  if (out.created) remove_file(out.name);
}
