// A file of ours (a track, a table) that every reader finds whole: the run
// writes a working copy beside it, and each new state goes in place as a
// copy of that, moved over the file in one step; a program that opens the
// file (a viewer, a copy) gets the state before or the new one, never a
// mix, however it reads. No handle of ours holds the file itself: on
// Windows, a reader that shares reading only opens it, but for the instant
// of each move, when the moved file is still open for the move and the
// reader is told to try again (a sharing violation). A line that cannot
// be written whole is taken back: the file holds the state before it, and
// nothing more is written. The failure is remembered, not reported at once.
//
// A state goes in place at once, or at most every `refresh` (then also when
// the file has doubled since, and at the close); an end from outside (an
// ending signal) moves the working copy's last whole state in place.
#ifndef OUTPUTS_OUTPUT_FILE_H
#define OUTPUTS_OUTPUT_FILE_H

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "system/file.h"

// The name of a file made new for a run, which the run has not started
// writing: the file is removed when its holder is destroyed (the run ended
// before writing it), unless kept. Only moved, so that it is removed once.
class NewFile {
 public:
  NewFile() = default;
  explicit NewFile(std::string name) : name_(std::move(name)) {}
  NewFile(NewFile&& other) noexcept : name_(std::exchange(other.name_, {})) {}
  NewFile& operator=(NewFile&& other) noexcept {
    if (this != &other) {
      remove();
      name_ = std::exchange(other.name_, {});
    }
    return *this;
  }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;
  ~NewFile() { remove(); }

  // Removes the file now; nothing when none is held.
  void remove();
  // The run writes the file: it stays.
  void keep() { name_.clear(); }

 private:
  std::string name_;
};

struct OutputFile {
  std::string name;
  std::string working_name;                     // the working copy beside it: ".~NAME"
  std::string placing_name;                     // a state on its way in place: ".~~NAME"
  FileHandle file;                              // the working copy
  std::uint64_t size = 0;                       // the bytes of its last whole state
  bool lost_lines = false;                      // a line could not be written, or the close failed
  OutputRefusal refusal = OutputRefusal::none;  // why it could not be opened
  NewFile made;                                 // the file, when it was not there before
  std::chrono::milliseconds refresh{0};         // zero: each state in place at once
  bool whole = false;                           // the working copy holds a whole state of this run
  bool waiting = false;                         // a state not yet in place
  std::uint64_t placed_size = 0;                // the size of the state in place
  std::chrono::steady_clock::time_point placed_at;
};

// Checks `name` for a file of ours, without changing it yet: taken when it
// is one these programs wrote (it begins with `own_start`) or empty;
// anything else, a link or a file of another program, is refused and left
// as it is (see `refusal`). A missing file is made, holding `first_state`
// (which begins with `own_start`) from its first moment, so that a reader
// never finds it without a whole state. The copies left beside it by a run
// that was killed are removed; anything else of their names is none of
// ours, and the file is refused. A file made here is removed again when the
// OutputFile is destroyed before start_output.
OutputFile open_output(const std::string& name, std::string_view own_start, std::string_view first_state);
// Puts `text` in place of all the file held before.
void start_output(OutputFile& out, std::string_view text);
void write_line(OutputFile& out, std::string_view text);
// Puts the waiting state in place when `refresh` has passed since the last.
void refresh_output(OutputFile& out);
// Puts the last state in place (a reader that holds the file on Windows is
// waited for a little) and leaves no copy beside it.
void close_output(OutputFile& out);

// Puts `text` in place of the file's bytes from `offset` on (which must lie
// within its size). When that fails, the file keeps its last whole state
// (`old_rest` is what stood there); lost_lines is then set and the file is
// not written any more. False when nothing was replaced.
bool replace_rest(OutputFile& out, std::uint64_t offset, std::string_view text, std::string_view old_rest);

#endif  // OUTPUTS_OUTPUT_FILE_H
