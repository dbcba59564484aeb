// ALL.TXT followed while WSJT-X appends to it: each step reads what was
// added since the step before and gives its complete lines, in order, each
// once. The log is ALL.TXT, or the newest of the yearly or monthly logs that
// WSJT-X 2.6 and later split it into; when it is erased (deleted, or emptied
// and written anew) or a new split log begins, the lines of the new file are
// followed from its start. Lines that were there when following began are
// not given.
#ifndef LOG_TRACKER_LOG_FOLLOWER_H
#define LOG_TRACKER_LOG_FOLLOWER_H

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "line_splitter.h"
#include "text_file.h"

class LogFollower {
 public:
  // Starts at the end of the log that is there now, if any.
  LogFollower();

  // The log followed, or the one waited for (ALL.TXT).
  const std::string& name() const { return name_; }

  // One step: on_line for each line completed since the step before;
  // go_on() between blocks of a large addition. False when go_on() said no.
  bool step(const std::function<void(std::string_view)>& on_line,
            const std::function<bool()>& go_on);

 private:
  bool read_added(const std::function<void(std::string_view)>& on_line,
                  const std::function<bool()>& go_on);
  void start_over();  // the file read from its start
  bool unchanged_before_offset(FileHandle file);

  std::string name_;
  std::optional<FileStatus> known_;  // of the log when it was last read
  std::uint64_t offset_ = 0;         // bytes of it read
  std::string tail_;                 // its last bytes before offset_
  bool drop_next_line_ = false;      // the line begun before following began
  LineSplitter lines_;
  std::unique_ptr<char[]> block_;
};

#endif  // LOG_TRACKER_LOG_FOLLOWER_H
