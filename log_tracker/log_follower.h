// The decode logs of a folder followed while WSJT-X or JTDX appends to
// them: ALL.TXT, the yearly or monthly logs that WSJT-X 2.6 and later split
// it into, and JTDX's monthly logs, whichever are there, side by side. Each
// step reads what was added to each of them since the step before and gives
// the complete lines, each once, log by log in the order written.
//
// What a log held when following began is old and not given. A log that
// appears later is read from its start, as is a new file that takes a log's
// name. A log that is renamed or erased is read to its end first (it is
// held open from step to step). A log emptied or written anew is read from
// its new start; a log only touched gives nothing.
#ifndef LOG_TRACKER_LOG_FOLLOWER_H
#define LOG_TRACKER_LOG_FOLLOWER_H

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "log_tracker/growing_log.h"

class LogFollower {
 public:
  // Follows the logs of `folder` ("" the current one), from the end of each
  // log that is there now. Without a folder, those of log_folder(): the
  // folder where the log was found at the start, the current one or the
  // data folder of WSJT-X or JTDX.
  explicit LogFollower(std::string folder);
  LogFollower();
  LogFollower(const LogFollower&) = delete;
  LogFollower& operator=(const LogFollower&) = delete;

  // The logs followed, by their paths (names alone in the current folder),
  // or ALL.TXT waited for when there is none.
  std::vector<std::string> names() const;

  // One step: on_line for each line completed since the step before;
  // go_on() between blocks of a large addition. False when go_on() said no.
  bool step(const LineSink& on_line, const GoOn& go_on);

  // The logs whose last read failed, and those whose reads failed at some
  // step, by their paths.
  std::vector<std::string> failing() const;
  std::vector<std::string> failed() const;

 private:
  // The file names of the decode logs in the folder now.
  std::vector<std::string> logs_now() const;
  // Follows the log `file_name` anew: from its start, or from its end when
  // what it holds is old.
  bool follow_new(const std::string& file_name, bool from_start, const LineSink& on_line, const GoOn& go_on);

  std::string folder_;
  std::unique_ptr<char[]> block_;
  std::map<std::string, GrowingLog> logs_;  // by file name
  std::vector<std::string> failed_;         // logs let go after a failed read
  std::set<std::string> unopened_;          // there at the start, not opened yet
};

#endif  // LOG_TRACKER_LOG_FOLLOWER_H
