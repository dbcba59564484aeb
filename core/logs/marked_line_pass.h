// A pass over the marked lines of a log in three stages side by side: a
// thread reads and scans the file, a second takes the marked lines and makes
// an item of each, and the caller's thread uses the items in order. The pass
// owns the file and its threads: it stops and joins them however the caller
// leaves it.
//
//   MarkedLinePass<DecodeRecord> pass(std::move(file), kReportFilter,
//       [](std::string_view line) { return parse_log_line(line); });  // its thread
//   const PassEnd end = pass.use_each([&](const DecodeRecord& record) { ... },  // this thread
//                                     [] { return !stop_key_pressed(); });
#ifndef LOGS_MARKED_LINE_PASS_H
#define LOGS_MARKED_LINE_PASS_H

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

#include "logs/marked_lines.h"
#include "system/file.h"
#include "system/thread_signals.h"

// Batches of items handed from the thread that makes them to the one that
// uses them, a few at most at a time, so that memory stays bounded.
template <typename Item>
class BatchQueue {
 public:
  static constexpr std::size_t kBatchItems = 256;
  static constexpr std::size_t kMostBatches = 8;

  // Maker: waits for room; the batch is dropped once the user has gone.
  void put(std::vector<Item>&& batch) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return abandoned_ || full_.size() < kMostBatches; });
    if (abandoned_) return;
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
  // User: takes no more batches; a maker waiting for room goes on.
  void abandon() {
    std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
    full_.clear();
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::vector<Item>> full_;
  bool finished_ = false;
  bool abandoned_ = false;
};

// How often, at least, the user's go_on() is asked while no item comes (a
// long stretch of the file without marked lines).
inline constexpr std::chrono::milliseconds kGoOnCheck{100};

// How a pass ended.
struct PassEnd {
  bool stopped = false;      // stopped before the end of the log
  bool read_failed = false;  // a read failed, which ended the text there
};

template <typename Item>
class MarkedLinePass {
 public:
  // Starts the pass over the lines of `file` that `filter` wants (as
  // for_each_marked_line gives them): make(line) -> std::optional<Item> is
  // called on a thread of its own for each.
  template <typename Make>
  MarkedLinePass(FileHandle file, const MarkFilter& filter, Make make)
      : file_(std::move(file)), maker_(start_thread_without_signals([this, filter, make = std::move(make)] {
          make_items(filter, make);
        })) {}
  // Stops the reading and joins the threads, whether or not every item
  // was used.
  ~MarkedLinePass() {
    stop();
    batches_.abandon();
    maker_.join();
  }
  MarkedLinePass(const MarkedLinePass&) = delete;
  MarkedLinePass& operator=(const MarkedLinePass&) = delete;

  // The reading ends at the next block; the items of the lines read so far
  // still come.
  void stop() { stop_ = true; }

  // Calls use(const Item&) on this thread for each item, in the order of the
  // lines. go_on() is asked after each batch of items and every kGoOnCheck
  // while none comes; when it says no, the pass stops. Returns once every
  // item made has been used.
  template <typename Use, typename GoOn>
  PassEnd use_each(Use&& use, GoOn&& go_on) {
    PassEnd end;
    for (;;) {
      bool waited = false;
      const std::vector<Item> batch = batches_.take(kGoOnCheck, waited);
      if (batch.empty() && !waited) break;  // every item used
      for (const Item& item : batch) use(item);
      if (!end.stopped && !go_on()) {
        end.stopped = true;
        stop();
      }
    }
    end.read_failed = read_failed_;  // set before the maker finished the queue
    return end;
  }

 private:
  template <typename Make>
  void make_items(const MarkFilter& filter, const Make& make) {
    std::vector<Item> batch;
    batch.reserve(BatchQueue<Item>::kBatchItems);
    const bool read_whole = for_each_marked_line(
        file_, filter,
        [&](std::string_view line) {
          std::optional<Item> item = make(line);
          if (!item) return true;
          batch.push_back(std::move(*item));
          if (batch.size() == BatchQueue<Item>::kBatchItems) {
            batches_.put(std::move(batch));
            batch = {};
            batch.reserve(BatchQueue<Item>::kBatchItems);
          }
          return true;
        },
        &stop_);
    if (!batch.empty()) batches_.put(std::move(batch));
    read_failed_ = !read_whole;
    batches_.finish();
  }

  const FileHandle file_;
  BatchQueue<Item> batches_;
  std::atomic<bool> stop_{false};
  bool read_failed_ = false;  // the maker's, until it finishes the queue
  std::thread maker_;         // last: starts once everything above is set
};

#endif  // LOGS_MARKED_LINE_PASS_H
