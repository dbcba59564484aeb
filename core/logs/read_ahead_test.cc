#include "logs/read_ahead.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kBlock = 4096;

class ReadAheadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = (std::filesystem::temp_directory_path() /
             ("read_ahead_test_" + std::to_string(std::random_device{}())))
                .string();
  }
  void TearDown() override { std::filesystem::remove(name_); }

  // A file of `size` bytes, byte k being k % 251.
  std::string write_file(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t k = 0; k < size; ++k) bytes[k] = static_cast<char>(k % 251);
    std::ofstream(name_, std::ios::binary) << bytes;
    return bytes;
  }

  std::string name_;
  std::vector<char> first_ = std::vector<char>(kBlock), second_ = std::vector<char>(kBlock);
};

// Read ahead in a thread or when wanted, with two buffers or three, the same
// blocks in the same buffers in turn, each prepared before it is handed on.
TEST_F(ReadAheadTest, BlocksComeInOrderEachPreparedThenTheEnd) {
  const std::string bytes = write_file(5 * kBlock + 123);
  std::vector<char> third(kBlock);
  for (const std::vector<char*>& buffers : {std::vector<char*>{first_.data(), second_.data()},
                                            std::vector<char*>{first_.data(), second_.data(), third.data()}})
    for (ReadAhead::Reading reading : {ReadAhead::Reading::ahead, ReadAhead::Reading::when_wanted}) {
      FileHandle file = open_for_reading(name_);
      std::vector<std::size_t> prepared;  // its thread's; read here after each handover
      std::string read;
      {
        ReadAhead ahead(
            file, buffers, kBlock,
            [&](int buffer, std::size_t size) {
              prepared.push_back(size);
              buffers[buffer][0] ^= 0x55;  // seen before the block is handed on
            },
            reading);
        int expected_buffer = 0;
        for (ReadAhead::Block b = ahead.next(); b.size != 0; b = ahead.next()) {
          EXPECT_EQ(b.buffer, expected_buffer);
          expected_buffer = (expected_buffer + 1) % static_cast<int>(buffers.size());
          buffers[b.buffer][0] ^= 0x55;
          read.append(buffers[b.buffer], b.size);
        }
        EXPECT_EQ(ahead.next().size, 0u);  // and again after the end
      }
      file.close();
      EXPECT_EQ(read, bytes);
      EXPECT_EQ(prepared, (std::vector<std::size_t>{kBlock, kBlock, kBlock, kBlock, kBlock, 123}));
    }
}

TEST_F(ReadAheadTest, StopsAtOnceWhenLeftEarly) {
  write_file(64 * kBlock);
  FileHandle file = open_for_reading(name_);
  std::size_t blocks = 0;
  {
    ReadAhead ahead(file, {first_.data(), second_.data()}, kBlock, [&](int, std::size_t) { ++blocks; });
    EXPECT_EQ(ahead.next().size, kBlock);
  }  // the reading thread waits for the second buffer back: it must end here
  file.close();
  EXPECT_LE(blocks, 3u);
}

TEST_F(ReadAheadTest, NothingFromAnEmptyOrMissingFile) {
  write_file(0);
  FileHandle empty = open_for_reading(name_);
  {
    ReadAhead ahead(empty, {first_.data(), second_.data()}, kBlock);
    EXPECT_EQ(ahead.next().size, 0u);
  }
  empty.close();
  const FileHandle missing = open_for_reading("/nonexistent/file");
  ReadAhead none(missing, {first_.data(), second_.data()}, kBlock);
  EXPECT_EQ(none.next().size, 0u);
  EXPECT_EQ(none.next().size, 0u);
}

}  // namespace
