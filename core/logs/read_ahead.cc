#include "logs/read_ahead.h"

#include <utility>

#include "system/thread_signals.h"

ReadAhead::ReadAhead(const FileHandle& file, std::vector<char*> buffers, std::size_t block_size,
                     Prepare prepare, Reading reading)
    : file_(file),
      buffers_(std::move(buffers)),
      block_size_(block_size),
      prepare_(std::move(prepare)),
      slots_(buffers_.size()),
      reader_(reading == Reading::ahead ? start_thread_without_signals([this] { read_blocks(); })
                                        : std::thread()) {}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (reader_.joinable()) reader_.join();
}

bool ReadAhead::wait_for(int b, State state) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return stopping_ || slots_[b].state == state; });
  return !stopping_;
}

// The reading thread: fills the buffers in turn, each once it is handed
// back, and makes the first pass over each block read, until the end of
// the file. The first pass stays here, beside the read, rather than in a
// thread of its own: the block is still in this processor's cache, and on
// two cores a third busy thread measured slower, not faster.
void ReadAhead::read_blocks() {
  for (int b = 0;; b = after(b)) {
    if (!wait_for(b, State::free)) return;
    const BlockRead read = file_ ? read_block(file_, buffers_[b], block_size_) : BlockRead{};
    if (read.size != 0 && prepare_) prepare_(b, read.size);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slots_[b].read = read;
      slots_[b].state = State::ready;
    }
    changed_.notify_all();
    if (read.size == 0) return;
  }
}

ReadAhead::Block ReadAhead::next() {
  if (ended_) return {current_ < 0 ? 0 : current_, 0, false};
  const int b = current_ < 0 ? 0 : after(current_);
  if (!reader_.joinable()) {  // read when wanted
    const BlockRead read = file_ ? read_block(file_, buffers_[b], block_size_) : BlockRead{};
    if (read.size != 0 && prepare_) prepare_(b, read.size);
    current_ = b;
    ended_ = read.size == 0;
    return {b, read.size, read.failed};
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (current_ >= 0) {
    slots_[current_].state = State::free;  // to be read into again
    changed_.notify_all();
  }
  changed_.wait(lock, [&] { return slots_[b].state == State::ready; });
  slots_[b].state = State::handed;
  current_ = b;
  ended_ = slots_[b].read.size == 0;
  return {b, slots_[b].read.size, slots_[b].read.failed};
}
