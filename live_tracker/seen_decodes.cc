#include "live_tracker/seen_decodes.h"

void SeenDecodes::forget_oldest() {
  cost_ -= seen_cost(*arrivals_.front().key);
  keys_.erase(arrivals_.front().key);
  arrivals_.pop_front();
}

bool SeenDecodes::first_arrival(std::string_view key, std::int64_t now_ms) {
  while (!arrivals_.empty() && now_ms - arrivals_.front().at_ms >= span_ms_) forget_oldest();
  // Iterators of an unordered_set stay valid through rehashing.
  const auto [place, added] = keys_.emplace(key);
  if (!added) return false;
  arrivals_.push_back({now_ms, place});
  cost_ += seen_cost(key);
  while (cost_ > most_bytes_ && arrivals_.size() > 1) forget_oldest();
  return true;
}
