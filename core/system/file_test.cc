#include "system/file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("file_test_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string path(const char* name) const { return (dir_ / name).string(); }
  static void write(const std::string& name, std::string_view bytes, bool append = false) {
    std::ofstream(name, std::ios::binary | (append ? std::ios::app : std::ios::trunc))
        .write(bytes.data(), std::streamsize(bytes.size()));
  }
  static std::string contents(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // What reads give from where the file stands up to its end.
  static std::string read_on(const FileHandle& file) {
    std::string text;
    char block[4];  // smaller than what is added
    for (BlockRead r; (r = read_block(file, block, sizeof block)).size > 0;) text.append(block, r.size);
    return text;
  }

 private:
  fs::path dir_;
};

// A log read to its end reads on when a program appends to it, and stays
// the file it is (its identity) until another file takes its name; the
// file held still reads its own bytes then.
TEST_F(FileTest, AGrowingFileReadsOnUntilAnotherTakesItsName) {
  const std::string log = path("ALL.TXT");
  write(log, "line 1\n");
  const FileHandle file = open_for_reading(log, Sharing::read_write_delete);
  ASSERT_TRUE(file);
  EXPECT_EQ(read_on(file), "line 1\n");
  write(log, "line 2\nline 3\n", /*append=*/true);
  ASSERT_TRUE(open_file_status(file));
  EXPECT_EQ(open_file_status(file)->size, 21u);
  EXPECT_EQ(read_on(file), "line 2\nline 3\n");
  EXPECT_EQ(open_file_status(file)->identity, file_status(log)->identity);
#ifndef _WIN32  // Windows lets no file take the name of one held open
  write(path("new"), "other\n");
  ASSERT_TRUE(move_file_over(path("new"), log));
  EXPECT_NE(open_file_status(file)->identity, file_status(log)->identity);
  ASSERT_TRUE(seek_file(file, 7));
  EXPECT_EQ(read_on(file), "line 2\nline 3\n");
  EXPECT_EQ(contents(log), "other\n");
#endif
}

// How a state of an output goes in place: the start of the working copy,
// past one block of the copy, over a longer file that is then cut to it;
// a copy of more than the working copy holds fails.
TEST_F(FileTest, TheStartOfAWorkingCopyReplacesALongerFileWhole) {
  std::string state;
  std::mt19937 bytes(7);
  while (state.size() < (5u << 19)) state += std::to_string(bytes()) + "\r\n";  // 2.5 MiB
  OpenedOutput working = open_output_file(path(".~T.KML"), {});
  OpenedOutput placing = open_output_file(path(".~~T.KML"), {});
  ASSERT_TRUE(working.file && placing.file);
  ASSERT_TRUE(write_at(working.file, 0, state + "a line half written"));
  ASSERT_TRUE(write_at(placing.file, 0, std::string(state.size() + 100, 'x')));
  EXPECT_TRUE(copy_file_start(working.file, placing.file, state.size()));
  EXPECT_TRUE(cut_file(placing.file, state.size()));
  EXPECT_TRUE(placing.file.close());
  EXPECT_EQ(contents(path(".~~T.KML")), state);
  const OpenedOutput other = open_output_file(path("other"), {});
  EXPECT_FALSE(copy_file_start(working.file, other.file, state.size() + 100));
}

// An end from outside moves each working copy added, once, over its file
// (made when missing); one removed stays where it is.
TEST_F(FileTest, TheMovesAtTheEndAreThoseAddedAndNotRemoved) {
  write(path(".~A"), "A whole\n");
  write(path("A"), "A before\n");
  write(path(".~B"), "B whole\n");
  write(path(".~C"), "C whole\n");
  write(path("C"), "C before\n");
  add_move_at_end(path(".~A"), path("A"));
  add_move_at_end(path(".~B"), path("B"));
  add_move_at_end(path(".~C"), path("C"));
  remove_move_at_end(path(".~C"));
  move_at_end();
  EXPECT_EQ(contents(path("A")), "A whole\n");
  EXPECT_EQ(contents(path("B")), "B whole\n");
  EXPECT_EQ(contents(path("C")), "C before\n");
  EXPECT_FALSE(fs::exists(path(".~A")));
  EXPECT_TRUE(fs::exists(path(".~C")));
  write(path(".~A"), "A later\n");
  move_at_end();  // nothing left to move
  EXPECT_EQ(contents(path("A")), "A whole\n");
}

// A new file takes a free name, and only a free one: a file that has it
// (a link to nowhere too) is never replaced, and the new one stays.
TEST_F(FileTest, ANewFileTakesOnlyAFreeName) {
  write(path(".~~T"), "first state\n");
  EXPECT_TRUE(is_free_name(path("T")));
  ASSERT_TRUE(give_free_name(path(".~~T"), path("T")));
  EXPECT_EQ(contents(path("T")), "first state\n");
  EXPECT_FALSE(fs::exists(path(".~~T")));
  write(path(".~~T"), "later\n");
  EXPECT_FALSE(is_free_name(path("T")));
  EXPECT_FALSE(give_free_name(path(".~~T"), path("T")));
  EXPECT_EQ(contents(path("T")), "first state\n");
  EXPECT_EQ(contents(path(".~~T")), "later\n");
#ifndef _WIN32
  fs::create_symlink(path("nowhere"), path("L"));
  EXPECT_FALSE(is_free_name(path("L")));
  EXPECT_FALSE(give_free_name(path(".~~T"), path("L")));
  EXPECT_TRUE(fs::is_symlink(path("L")));
#endif
}

}  // namespace
