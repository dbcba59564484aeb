// One decode log followed while a program appends to it: each read gives
// the lines completed since the read before, in order, each once. The file
// is held open from read to read, so that what was added to it just before
// it was renamed or erased is still read. A log emptied, or emptied and
// written anew past the place read up to, is read again from its start.
#ifndef LOG_TRACKER_GROWING_LOG_H
#define LOG_TRACKER_GROWING_LOG_H

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "logs/line_splitter.h"
#include "system/file.h"

using LineSink = std::function<void(std::string_view)>;
using GoOn = std::function<bool()>;

class GrowingLog {
 public:
  // Opens `path`. `from_start`: every line of it is new (a log that appeared
  // while following); else what it holds now is old, and reading starts at
  // its end, inside its last line if that is still being written. `block`
  // is the room reads go through (64 bytes at least), lent for the log's
  // life.
  GrowingLog(std::string path, bool from_start, std::span<char> block);

  const std::string& path() const { return path_; }
  // Whether the file could be opened (another program may hold it for a
  // moment).
  bool is_open() const { return static_cast<bool>(file_); }
  // Whether `now`, the status of the file at the path, is the file held.
  bool holds(const FileStatus& now) const { return is_open() && now.identity == identity_; }

  // Takes the file now at the path in place of the one held when it holds
  // what was read of it (a copy put back by a backup or a synchronising
  // program): reading goes on from where it was. False, with the file held
  // kept, when it holds something else.
  bool take_copy();

  // The lines added since the last read, to on_line; go_on() between blocks
  // of a large addition. False when go_on() said no.
  bool read_added(const LineSink& on_line, const GoOn& go_on);

  // Whether the last read failed (a failing disk, a share gone); the reads
  // after it go on from where it failed.
  bool failing() const { return failing_; }
  // Whether any read failed.
  bool failed() const { return failed_; }

 private:
  void start_over();
  // Whether the bytes before offset_ are still the ones read; nothing when
  // they cannot be read now.
  std::optional<bool> unchanged_before_offset();
  void fail();

  std::string path_;
  std::span<char> block_;
  FileHandle file_;
  std::uint64_t identity_ = 0;   // of that file
  std::uint64_t offset_ = 0;     // bytes of it read
  std::string tail_;             // its last bytes before offset_
  bool drop_next_line_ = false;  // the line begun before following began
  bool failing_ = false;
  bool failed_ = false;
  LineSplitter lines_;
};

#endif  // LOG_TRACKER_GROWING_LOG_H
