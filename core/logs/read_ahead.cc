#include "logs/read_ahead.h"

#include <utility>

#include "system/thread_signals.h"

ReadAhead::ReadAhead(const FileHandle& file, std::array<char*, 2> buffers, std::size_t block_size,
                     Prepare prepare, Reading reading)
    : file_(file),
      buffers_(buffers),
      block_size_(block_size),
      prepare_(std::move(prepare)),
      thread_(reading == Reading::ahead ? start_thread_without_signals([this] { read_blocks(); })
                                        : std::thread()) {}

ReadAhead::~ReadAhead() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

// The thread: fills the buffers in turn, each once it is handed back, until
// the end of the file.
void ReadAhead::read_blocks() {
  for (int b = 0;; b ^= 1) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stopping_ || !filled_[b]; });
      if (stopping_) return;
    }
    const BlockRead read = read_into(b);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      filled_[b] = true;
      reads_[b] = read;
    }
    changed_.notify_all();
    if (read.size == 0) return;
  }
}

BlockRead ReadAhead::read_into(int b) {
  const BlockRead read = file_ ? read_block(file_, buffers_[b], block_size_) : BlockRead{};
  if (read.size != 0 && prepare_) prepare_(b, read.size);
  return read;
}

ReadAhead::Block ReadAhead::next() {
  if (ended_) return {current_ < 0 ? 0 : current_, 0, false};
  const int b = current_ < 0 ? 0 : current_ ^ 1;
  if (!thread_.joinable()) {  // read when wanted
    const BlockRead read = read_into(b);
    current_ = b;
    ended_ = read.size == 0;
    return {b, read.size, read.failed};
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (current_ >= 0) {
    filled_[current_] = false;  // to be read into again
    changed_.notify_all();
  }
  changed_.wait(lock, [&] { return filled_[b]; });
  current_ = b;
  ended_ = reads_[b].size == 0;
  return {b, reads_[b].size, reads_[b].failed};
}
