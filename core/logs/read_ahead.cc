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
                                        : std::thread()),
      preparer_(reading == Reading::ahead && prepare_
                    ? start_thread_without_signals([this] { prepare_blocks(); })
                    : std::thread()) {}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (reader_.joinable()) reader_.join();
  if (preparer_.joinable()) preparer_.join();
}

bool ReadAhead::wait_for(int b, State state) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return stopping_ || slots_[b].state == state; });
  return !stopping_;
}

void ReadAhead::set(int b, State state) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    slots_[b].state = state;
  }
  changed_.notify_all();
}

// The reading thread: fills the buffers in turn, each once it is handed
// back, until the end of the file. Without a first pass, a block read is
// ready at once.
void ReadAhead::read_blocks() {
  for (int b = 0;; b = after(b)) {
    if (!wait_for(b, State::free)) return;
    const BlockRead read = file_ ? read_block(file_, buffers_[b], block_size_) : BlockRead{};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slots_[b].read = read;
      slots_[b].state = prepare_ ? State::read : State::ready;
    }
    changed_.notify_all();
    if (read.size == 0) return;
  }
}

// The thread of the first pass: each block read, in order.
void ReadAhead::prepare_blocks() {
  for (int b = 0;; b = after(b)) {
    if (!wait_for(b, State::read)) return;
    const std::size_t size = slots_[b].read.size;  // the reader leaves a read slot alone
    if (size != 0) prepare_(b, size);
    set(b, State::ready);
    if (size == 0) return;
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
