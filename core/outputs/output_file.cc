#include "outputs/output_file.h"

#include "system/clock.h"
#include "system/thread_signals.h"

namespace {

using Clock = std::chrono::steady_clock;

// How long the close waits for a reader that holds the file without sharing
// its deletion (Windows), in tries a pause apart.
constexpr int kCloseTries = 40;
constexpr int kCloseTryPauseMs = 50;

// True when the file `name` holds the first bytes of `own_start` and no
// more: a copy whose making was cut short.
bool holds_start_of(const std::string& name, std::string_view own_start) {
  const FileHandle file = open_for_reading(name);
  std::string start(own_start.size() + 1, '\0');
  std::size_t got = 0;
  for (BlockRead r; file && got < start.size(); got += r.size)
    if (r = read_block(file, start.data() + got, start.size() - got); r.failed || r.size == 0) break;
  return file && got <= own_start.size() &&
         own_start.substr(0, got) == std::string_view(start).substr(0, got);
}

// Removes a copy that a killed run left at `name` (made anew when missing);
// false when the name holds a file that is none of ours.
bool remove_left_copy(const std::string& name, std::string_view own_start) {
  OpenedOutput left = open_output_file(name, own_start);
  if (left.refusal == OutputRefusal::not_ours && holds_start_of(name, own_start))
    left.refusal = OutputRefusal::none;
  if (left.refusal != OutputRefusal::none) return false;
  left.file.close();
  return remove_file(name);
}

// Removes the copies that a killed run left beside the file; false when
// either name holds a file that is none of ours.
bool remove_left_copies(const OutputFile& out, std::string_view own_start) {
  return remove_left_copy(out.working_name, own_start) && remove_left_copy(out.placing_name, own_start);
}

// Makes the missing file whole from its first moment: `first_state` goes
// into the placing copy, which then takes the name unless a file took it
// meanwhile. Where the file system gives no such step, the name is claimed
// (created empty) and the state moved over it at once. False when nothing
// was made: the name was taken, or the state could not be written.
bool make_with_state(OutputFile& out, std::string_view own_start, std::string_view first_state) {
  const EndSignalsHeld held;
  FileHandle placing = open_output_file(out.placing_name, {}).file;
  const bool written = placing && write_at(placing, 0, first_state) && placing.close();
  bool made = written && give_free_name(out.placing_name, out.name);
  if (written && !made && open_output_file(out.name, own_start).created) {
    made = true;
    move_file_over(out.placing_name, out.name);
  }
  if (made) out.made = NewFile(out.name);
  placing.close();
  remove_file(out.placing_name);  // when it is still there
  return made;
}

// The working copy goes, its state with it.
void drop_working_copy(OutputFile& out) {
  out.file.close();
  remove_move_at_end(out.working_name);
  remove_file(out.working_name);
  out.whole = false;
}

// Puts a copy of the working copy's state in place of the file; false when
// it could not be (tried again at the next state).
bool place_state(OutputFile& out) {
  const EndSignalsHeld held;
  FileHandle placing = open_output_file(out.placing_name, {}).file;
  if (placing && copy_file_start(out.file, placing, out.size) && cut_file(placing, out.size) &&
      placing.close() && move_file_over(out.placing_name, out.name)) {
    out.waiting = false;
    out.placed_size = out.size;
    out.placed_at = Clock::now();
    return true;
  }
  placing.close();
  remove_file(out.placing_name);
  return false;
}

// `prefix` and the file name of `name`, in its folder.
std::string beside(const std::string& name, std::string_view prefix) {
  const std::size_t file_start = name.find_last_of("/\\") + 1;  // 0 without a folder
  return name.substr(0, file_start).append(prefix).append(name, file_start);
}

bool refresh_due(const OutputFile& out) {
  return out.refresh.count() == 0 || Clock::now() - out.placed_at >= out.refresh ||
         out.size >= 2 * out.placed_size;
}

}  // namespace

OutputFile open_output(const std::string& name, std::string_view own_start, std::string_view first_state) {
  OutputFile out;
  out.name = name;
  // Names no user file takes.
  out.working_name = beside(name, ".~");
  out.placing_name = beside(name, ".~~");
  if (is_free_name(name)) {
    if (!remove_left_copies(out, own_start)) {
      out.refusal = OutputRefusal::cannot_create;
      return out;
    }
    if (make_with_state(out, own_start, first_state)) return out;
  }
  OpenedOutput opened = open_output_file(name, own_start);
  out.refusal = opened.refusal;
  if (opened.created) out.made = NewFile(name);
  out.size = opened.size;
  if (out.refusal != OutputRefusal::none) return out;
  opened.file.close();  // never held between two states
  if (!remove_left_copies(out, own_start)) {
    out.refusal = OutputRefusal::cannot_create;
    out.made.remove();
  }
  return out;
}

void start_output(OutputFile& out, std::string_view text) {
  out.made.keep();
  out.size = 0;  // nothing of the file before is kept
  out.file = open_output_file(out.working_name, {}).file;
  if (!out.file) out.lost_lines = true;
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
  if (write_at(out.file, offset, text) && (end >= out.size || cut_file(out.file, end))) {
    out.size = end;
    if (!out.whole) add_move_at_end(out.working_name, out.name);
    out.whole = out.waiting = true;
    if (refresh_due(out)) place_state(out);
    return true;
  }
  // Back to the last whole state: what was overwritten, then the old length.
  out.lost_lines = true;
  if (!write_at(out.file, offset, old_rest) || !cut_file(out.file, out.size)) drop_working_copy(out);
  if (out.whole && out.waiting) place_state(out);
  return false;
}

void refresh_output(OutputFile& out) {
  if (out.waiting && Clock::now() - out.placed_at >= out.refresh) place_state(out);
}

void close_output(OutputFile& out) {
  const EndSignalsHeld held;
  if (!out.file.close()) {
    out.lost_lines = true;  // the system could not complete it
    drop_working_copy(out);
  }
  // The last state moved in place when it is not there yet.
  for (int i = 0; out.whole && out.waiting && !move_file_over(out.working_name, out.name); ++i) {
    if (i == kCloseTries) {
      out.lost_lines = true;  // the file holds an earlier state
      break;
    }
    pause_ms(kCloseTryPauseMs);
  }
  out.waiting = false;
  drop_working_copy(out);
}

void NewFile::remove() {
  if (!name_.empty()) remove_file(std::exchange(name_, {}));
}
