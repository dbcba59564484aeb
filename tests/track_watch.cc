#include "track_watch.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>

#include "test_files.h"

namespace e2e {

std::string track_kml(const std::vector<std::string>& points) {
  // The golden track with its points in place of the golden ones: the Start
  // point follows the first "      <coordinates>", the End point the last,
  // and the path lies between "     <coordinates>" and "        </coordinates>".
  const std::vector<std::string> golden = lines_of(golden_kml());
  const auto at = [&](const char* line, std::size_t from = 0) {
    return static_cast<std::size_t>(std::find(golden.begin() + from, golden.end(), line) - golden.begin());
  };
  const std::size_t start = at("      <coordinates>");
  const std::size_t path = at("     <coordinates>");
  const std::size_t path_end = at("        </coordinates>", path);
  const std::size_t end =
      golden.size() - 1 -
      static_cast<std::size_t>(std::find(golden.rbegin(), golden.rend(), "      <coordinates>") -
                               golden.rbegin());
  std::string out;
  const auto add = [&out](const std::string& line) { out += line + "\r\n"; };
  const auto copy = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) add(golden[i]);
  };
  copy(0, start + 1);
  add(points.front());
  copy(start + 2, path + 1);
  for (const std::string& p : points) add(p);
  copy(path_end, end + 1);
  add(points.back());
  copy(end + 2, golden.size());
  return out;
}

std::vector<std::string> track_points(const std::string& kml) {
  // Whole lines: the Start point's "      <coordinates>" holds the path's.
  const std::string open = "\n     <coordinates>\r\n";
  const std::string close = "\n        </coordinates>\r\n";
  const std::size_t from = kml.find(open);
  const std::size_t to = kml.find(close);
  if (from == std::string::npos || to == std::string::npos || to < from) return {};
  return lines_of(std::string_view(kml).substr(from + open.size(), to + 1 - from - open.size()));
}

TrackWatch::TrackWatch(std::string path) : path_(std::move(path)) {
  thread_ = std::thread([this] {
    // A read that a write of the program overlaps may see some of each
    // (reading a file takes several calls): a look counts once two reads in
    // a row agree, as the file stands between two writes.
    std::string before;
    while (!stop_) {
      std::ifstream in(path_, std::ios::binary);
      if (in) {
        std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (text == before && (seen_.empty() || seen_.back() != text)) seen_.push_back(text);
        before = std::move(text);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
}

TrackWatch::~TrackWatch() { stop(); }

const std::vector<std::string>& TrackWatch::stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  return seen_;
}

std::string growing_track_fault(const std::vector<std::string>& seen,
                                const std::vector<std::string>& points) {
  std::size_t before = 0;
  for (std::size_t i = 0; i < seen.size(); ++i) {
    const std::string& text = seen[i];
    const std::string where = "look " + std::to_string(i) + ": ";
    if (text == empty_kml()) {
      if (before > 0) return where + "the empty document after " + std::to_string(before) + " points";
      continue;
    }
    const std::vector<std::string> got = track_points(text);
    if (got.empty() || got.size() > points.size()) return where + "not a track of the points sent:\n" + text;
    if (got.size() < before) return where + "fewer points than the look before";
    const std::vector<std::string> first(points.begin(), points.begin() + static_cast<long>(got.size()));
    if (text != track_kml(first)) return where + "not the whole track of the first points:\n" + text;
    before = got.size();
  }
  return "";
}

std::string track_prefix_fault(std::string_view copy, std::string_view final_kml) {
  if (copy == empty_kml()) return "";
  // The copy's path ends at a line end of the final path; the End point
  // after it is the copy's last point, the rest as in the final document.
  constexpr std::string_view kPathEnd = "\n        </coordinates>\r\n";
  constexpr std::string_view kEndPoint = "      <coordinates>\r\n";
  const std::size_t copy_end = copy.find(kPathEnd);
  const std::size_t final_end = final_kml.find(kPathEnd);
  if (copy_end == std::string_view::npos || final_end == std::string_view::npos || copy_end > final_end)
    return "no path, or a longer one than the final track's";
  // Equal through the copy's last line end: a line end of the final path.
  if (copy.substr(0, copy_end + 1) != final_kml.substr(0, copy_end + 1))
    return "the path is not the final track's first points (it differs before byte " +
           std::to_string(copy_end + 1) + ")";
  const std::size_t last_start = copy.rfind('\n', copy_end - 1) + 1;
  const std::string_view last = copy.substr(last_start, copy_end - 1 - last_start);
  std::string tail(final_kml.substr(final_end + 1));
  const std::size_t end_at = tail.rfind(kEndPoint) + kEndPoint.size();
  tail.replace(end_at, tail.find('\r', end_at) - end_at, last);
  if (copy.substr(copy_end + 1) != tail)
    return "the closing part is not the final one with the End at the last point";
  return "";
}

}  // namespace e2e
