// A viewer's look at a track while a run writes it: a thread that reads the
// file every few milliseconds, as Google Earth's refresh does, and the check
// that every look found a whole document through the points so far.
#ifndef TESTS_TRACK_WATCH_H
#define TESTS_TRACK_WATCH_H

#include <atomic>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace e2e {

// The document of a track through the given coordinate lines (at least
// one), as Google Earth gets it.
std::string track_kml(const std::vector<std::string>& points);

// The coordinate lines of a track's path.
std::vector<std::string> track_points(const std::string& kml);

// Reads `path` every few milliseconds on a thread of its own until stopped;
// keeps each content that two reads in a row found (the file as it stands
// between two writes) and that differs from the one kept before.
class TrackWatch {
 public:
  explicit TrackWatch(std::string path);
  ~TrackWatch();
  TrackWatch(const TrackWatch&) = delete;
  TrackWatch& operator=(const TrackWatch&) = delete;

  // Stops the thread; the contents seen, in order.
  const std::vector<std::string>& stop();

 private:
  std::string path_;
  std::atomic<bool> stop_{false};
  std::vector<std::string> seen_;
  std::thread thread_;
};

// "" when every content seen is the empty document or the whole track
// through the first points of `points`, never fewer than the look before;
// else what was wrong.
std::string growing_track_fault(const std::vector<std::string>& seen, const std::vector<std::string>& points);

// "" when `copy` is a whole track of the first points of `final_kml` (the
// empty document included), closed at the last of them; else what is wrong.
std::string track_prefix_fault(std::string_view copy, std::string_view final_kml);

}  // namespace e2e

#endif  // TESTS_TRACK_WATCH_H
