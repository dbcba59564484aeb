// Which decodes a run has already handled, so that a copy of one is passed
// over: WSJT-X sends its band activity again (New false) when any program
// asks it to replay, and sends each datagram once per interface when it
// sends on several.
//
// A decode is named by a key, the bytes that say what was decoded (its time,
// SNR, DT, audio offset, mode and message: decode_key in
// wsjtx/datagram_reader.h); the caller gives the time of arrival on a clock
// of its own. The memory is bounded twice: a decode is kept for kSeenSpanMs
// after its first arrival, and the keys kept cost at most kSeenBytes (the
// oldest forgotten first). A forgotten decode counts as new when it comes
// again.
#ifndef LIVE_TRACKER_SEEN_DECODES_H
#define LIVE_TRACKER_SEEN_DECODES_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_set>

// Two hours: longer than WSJT-X's band activity usually reaches back.
inline constexpr std::int64_t kSeenSpanMs = std::int64_t{2} * 60 * 60 * 1000;
// Some 30 000 decodes of ordinary length.
inline constexpr std::size_t kSeenBytes = 4 << 20;
// The position reports tracked are kept apart, for the whole run, however
// many ordinary decodes come between: some 400 000 of them, a report every
// 30 s for four months.
inline constexpr std::int64_t kSeenReportSpanMs = std::numeric_limits<std::int64_t>::max();
inline constexpr std::size_t kSeenReportBytes = 64 << 20;

class SeenDecodes {
 public:
  explicit SeenDecodes(std::int64_t span_ms = kSeenSpanMs, std::size_t most_bytes = kSeenBytes)
      : span_ms_(span_ms), most_bytes_(most_bytes) {}

  // True when `key` is not remembered: it is remembered from `now_ms` on.
  // False for a copy of a remembered decode. `now_ms` never goes back.
  bool first_arrival(std::string_view key, std::int64_t now_ms);

  // What the keys remembered cost, as counted against the limit.
  std::size_t cost() const { return cost_; }

 private:
  struct Arrival {
    std::int64_t at_ms;
    std::unordered_set<std::string>::const_iterator key;
  };
  void forget_oldest();

  std::int64_t span_ms_;
  std::size_t most_bytes_;
  std::unordered_set<std::string> keys_;
  std::deque<Arrival> arrivals_;  // oldest first
  std::size_t cost_ = 0;
};

// What one remembered key costs: its bytes and its bookkeeping.
inline std::size_t seen_cost(std::string_view key) { return key.size() + 96; }

#endif  // LIVE_TRACKER_SEEN_DECODES_H
