// A file read one block ahead, in a thread of its own, so that reading the
// next block (the system's copy out of the file cache) and a first pass
// over it go on while the block before is worked through. Two buffers are
// filled in turn.
//
//   ReadAhead ahead(file, {first, second}, kLineBlockSize, [&](int buffer, std::size_t size) {
//     ...;  // in the reading thread, on each block read
//   });
//   for (ReadAhead::Block b = ahead.next(); b.size != 0; b = ahead.next())
//     ...;  // the bytes at buffers[b.buffer], until the next call
#ifndef LOGS_READ_AHEAD_H
#define LOGS_READ_AHEAD_H

#include <array>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>

#include "system/file.h"

class ReadAhead {
 public:
  // What the reading thread does with each block it has read (of 1 byte or
  // more), before handing it on.
  using Prepare = std::function<void(int buffer, std::size_t size)>;

  // Where the blocks are read: a block ahead in a thread of its own, as the
  // programs read. Testing: when_wanted reads in the caller's thread when
  // next() wants a block (the same blocks into the same buffers), for the
  // fuzz target, which reads a great many small files: a thread for each
  // costs far more than the reading under the sanitizers.
  enum class Reading { ahead, when_wanted };

  // Reading ahead starts at once. The file and the buffers, `block_size`
  // bytes each, must outlive the object.
  ReadAhead(const FileHandle& file, std::array<char*, 2> buffers, std::size_t block_size,
            Prepare prepare = nullptr, Reading reading = Reading::ahead);
  // The file is held by reference: a temporary, destroyed at once, would not do.
  ReadAhead(FileHandle&& file, std::array<char*, 2> buffers, std::size_t block_size,
            Prepare prepare = nullptr, Reading reading = Reading::ahead) = delete;
  // Stops the reading, after the read under way if any.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  struct Block {
    int buffer;        // 0 or 1
    std::size_t size;  // 0 at the end of the file or on a failed read
    bool failed;       // a read failed: the text ends here
  };

  // The next block; the buffer of the one before goes back to be read into.
  Block next();

 private:
  void read_blocks();
  // Reads the next block into buffers_[b] and prepares it.
  BlockRead read_into(int b);

  const FileHandle& file_;
  std::array<char*, 2> buffers_;
  std::size_t block_size_;
  Prepare prepare_;

  std::mutex mutex_;
  std::condition_variable changed_;
  // Under the mutex: what each buffer holds for the reader.
  std::array<bool, 2> filled_{false, false};
  std::array<BlockRead, 2> reads_{};
  bool stopping_ = false;

  // The reader's side, its own thread only.
  int current_ = -1;  // the buffer handed out last
  bool ended_ = false;

  std::thread thread_;  // last: starts once everything above is set; none when_wanted
};

#endif  // LOGS_READ_AHEAD_H
