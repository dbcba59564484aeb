// A file read ahead in a thread of its own, so that reading the next block
// (the system's copy out of the file cache) and a first pass over it (a
// scan) go on while the blocks before are worked through. The buffers are
// filled in turn, each once it is handed back: with three, one is read,
// one waits ready and one is the caller's.
//
//   ReadAhead ahead(file, {first, second, third}, kLineBlockSize, [&](int buffer, std::size_t size) {
//     ...;  // in the reading thread, on each block read, in order
//   });
//   for (ReadAhead::Block b = ahead.next(); b.size != 0; b = ahead.next())
//     ...;  // the bytes at buffers[b.buffer], until the next call
#ifndef LOGS_READ_AHEAD_H
#define LOGS_READ_AHEAD_H

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "system/file.h"

class ReadAhead {
 public:
  // What the reading thread does with each block read (of 1 byte or
  // more), before handing it on.
  using Prepare = std::function<void(int buffer, std::size_t size)>;

  // Where the blocks are read: ahead in a thread of its own, as the
  // programs read. Testing: when_wanted reads in the caller's thread when
  // next() wants a block (the same blocks into the same buffers), for the
  // fuzz target, which reads a great many small files: a thread for each
  // costs far more than the reading under the sanitizers.
  enum class Reading { ahead, when_wanted };

  // Reading ahead starts at once. The file and the buffers (two or more),
  // `block_size` bytes each, must outlive the object.
  ReadAhead(const FileHandle& file, std::vector<char*> buffers, std::size_t block_size,
            Prepare prepare = nullptr, Reading reading = Reading::ahead);
  // The file is held by reference: a temporary, destroyed at once, would not do.
  ReadAhead(FileHandle&& file, std::vector<char*> buffers, std::size_t block_size, Prepare prepare = nullptr,
            Reading reading = Reading::ahead) = delete;
  // Stops the reading, after the read and the first pass under way if any.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  struct Block {
    int buffer;        // which of the buffers
    std::size_t size;  // 0 at the end of the file or on a failed read
    bool failed;       // a read failed: the text ends here
  };

  // The next block; the buffer of the one before goes back to be read into.
  Block next();

 private:
  // What a buffer holds, under the mutex.
  enum class State { free, ready, handed };
  struct Slot {
    State state = State::free;
    BlockRead read;
  };

  void read_blocks();
  // Waits until buffer `b` is in `state`; false when stopping.
  bool wait_for(int b, State state);
  int after(int b) const { return b + 1 == static_cast<int>(buffers_.size()) ? 0 : b + 1; }

  const FileHandle& file_;
  const std::vector<char*> buffers_;
  const std::size_t block_size_;
  const Prepare prepare_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Slot> slots_;  // under the mutex
  bool stopping_ = false;

  // The caller's side, its own thread only.
  int current_ = -1;  // the buffer handed out last
  bool ended_ = false;

  // Last: it starts once everything above is set; none when_wanted.
  std::thread reader_;
};

#endif  // LOGS_READ_AHEAD_H
