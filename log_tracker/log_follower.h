// ALL.TXT followed while WSJT-X appends to it: each step reads what was
// added since the step before and gives its complete lines, in order, each
// once. The log is ALL.TXT, or the newest of the yearly or monthly logs that
// WSJT-X 2.6 and later split it into, or of JTDX's monthly logs (by their
// names: the follower moves on to a later period, never back to an earlier
// one). The file is held open
// from step to step, so that what was added to it just before it was
// renamed or erased is still read; when a new file takes the name (or the
// log is emptied and written anew, or a new split log begins), its lines
// are followed from its start. Lines that were there when following began
// are not given. The log is looked for in the folder where it was found at
// the start: the current one, or the data folder of WSJT-X or JTDX.
#ifndef LOG_TRACKER_LOG_FOLLOWER_H
#define LOG_TRACKER_LOG_FOLLOWER_H

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "logs/line_splitter.h"
#include "system/file.h"

class LogFollower {
 public:
  // Starts at the end of the log that is there now, if any.
  LogFollower();
  LogFollower(const LogFollower&) = delete;
  LogFollower& operator=(const LogFollower&) = delete;

  // The log followed, or the one waited for (ALL.TXT), by its path (its
  // name alone in the current folder).
  const std::string& name() const { return name_; }

  // One step: on_line for each line completed since the step before;
  // go_on() between blocks of a large addition. False when go_on() said no.
  bool step(const std::function<void(std::string_view)>& on_line, const std::function<bool()>& go_on);

  // Whether a read of the log failed at some step (a failing disk, a share
  // gone); the steps after it read on from where it failed.
  bool read_failed() const { return read_failed_; }

 private:
  // The file name of the log to follow now: the newest, unless it is of an
  // earlier period than the one followed.
  std::optional<std::string> log_to_follow() const;
  bool read_added(const std::function<void(std::string_view)>& on_line, const std::function<bool()>& go_on);
  void open_from_start(const std::string& file_name);
  void release();     // the file held is let go
  void start_over();  // the file read from its start
  // Whether the bytes before offset_ are still the ones read; nothing when
  // they cannot be read now.
  std::optional<bool> unchanged_before_offset();

  std::string folder_;           // where the log is looked for, "" here
  std::string file_name_;        // the log's name in it
  std::string name_;             // its path
  FileHandle file_;              // the log held open, when there is one
  std::uint64_t identity_ = 0;   // of that file
  std::uint64_t offset_ = 0;     // bytes of it read
  std::string tail_;             // its last bytes before offset_
  bool drop_next_line_ = false;  // the line begun before following began
  bool read_failed_ = false;
  LineSplitter lines_;
  std::unique_ptr<char[]> block_;
};

#endif  // LOG_TRACKER_LOG_FOLLOWER_H
