// The marked lines of a log made into items on a thread of their own, and
// the items used in order on the calling thread: the reading and scanning
// thread, the one that takes and reads the lines, and the one that uses
// what they hold work side by side.
//
//   for_each_marked_item<DecodeRecord>(file, kLastUsedColumn, kReportMarkPlaces, '-',
//       [](std::string_view line) { return parse_log_line(line); },  // its thread
//       [&](const DecodeRecord& record) { ... });                    // this thread
#ifndef LOGS_MARKED_ITEMS_H
#define LOGS_MARKED_ITEMS_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "marked_lines.h"
#include "thread_signals.h"

// Batches of items handed from the thread that makes them to the one that
// uses them, a few at most at a time, so that memory stays bounded.
template <typename Item>
class ItemBatches {
 public:
  static constexpr std::size_t kBatchItems = 256;
  static constexpr std::size_t kMostBatches = 8;

  // Maker: waits for room.
  void put(std::vector<Item>&& batch) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return full_.size() < kMostBatches; });
    full_.push_back(std::move(batch));
    changed_.notify_all();
  }
  // Maker: no more batches come.
  void finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    changed_.notify_all();
  }
  // User: the next batch, waiting at most `wait`; empty once the maker has
  // finished and all were taken, or when the wait passed (`waited` then).
  std::vector<Item> take(std::chrono::milliseconds wait, bool& waited) {
    std::unique_lock<std::mutex> lock(mutex_);
    waited = !changed_.wait_for(lock, wait, [&] { return finished_ || !full_.empty(); });
    if (full_.empty()) return {};
    std::vector<Item> batch = std::move(full_.front());
    full_.pop_front();
    changed_.notify_all();
    return batch;
  }
 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::vector<Item>> full_;
  bool finished_ = false;
};

// How often, at least, the user's go_on() is asked while no item comes (a
// long stretch of the file without marked lines).
inline constexpr std::chrono::milliseconds kGoOnCheck{100};

// Calls make(line) -> std::optional<Item> for each marked line of `file`
// (as for_each_marked_line gives them, with `guard`) on a thread of its own, and
// use(const Item&) on this thread for each item made, in the order of the
// lines. go_on() is asked on this thread after each batch of items and
// every kGoOnCheck while none comes; when it says no, the reading stops at
// the next block and the items of the lines read so far are still used.
// True when the whole file was read, false when go_on() ended it first.
template <typename Item, typename Make, typename Use, typename GoOn>
bool for_each_marked_item(FileHandle file, std::size_t kept, MarkPlaces places, char mark,
                          Make&& make, Use&& use, GoOn&& go_on, const MarkGuard& guard = {}) {
  ItemBatches<Item> batches;
  std::atomic<bool> stop{false};  // the reading ends at the next block
  std::thread maker = start_thread_without_signals([&] {
    std::vector<Item> batch;
    batch.reserve(ItemBatches<Item>::kBatchItems);
    for_each_marked_line(file, kept, places, mark, [&](std::string_view line) {
      std::optional<Item> item = make(line);
      if (!item) return true;
      batch.push_back(std::move(*item));
      if (batch.size() == ItemBatches<Item>::kBatchItems) {
        batches.put(std::move(batch));
        batch = {};
        batch.reserve(ItemBatches<Item>::kBatchItems);
      }
      return true;
    }, &stop, guard);
    if (!batch.empty()) batches.put(std::move(batch));
    batches.finish();
  });
  bool whole = true;
  for (;;) {
    bool waited = false;
    const std::vector<Item> batch = batches.take(kGoOnCheck, waited);
    if (batch.empty() && !waited) break;  // every item used
    for (const Item& item : batch) use(item);
    if (whole && !go_on()) {
      whole = false;
      stop = true;
    }
  }
  maker.join();
  return whole;
}

#endif  // LOGS_MARKED_ITEMS_H
