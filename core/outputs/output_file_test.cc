#include "outputs/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// With a refresh, a reader finds the state before until the refresh has
// passed or the file has doubled; an end from outside puts the last whole
// state in place, and leaves no copy beside it.
TEST(OutputFile, AStateWaitsForItsRefreshAndAnEndFromOutsidePlacesTheLast) {
  const fs::path dir =
      fs::temp_directory_path() / ("output_file_test_" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  const fs::path name = dir / "T.TXT";
  OutputFile out = open_output((dir / "T.TXT").string(), "OURS", "OURS 0123456789");
  ASSERT_EQ(out.refusal, OutputRefusal::none);
  out.refresh = std::chrono::milliseconds(1500);
  start_output(out, "OURS 0123456789");  // the first state at once
  EXPECT_EQ(contents(name), "OURS 0123456789");
  write_line(out, "a");
  refresh_output(out);  // too early
  EXPECT_EQ(contents(name), "OURS 0123456789");
  write_line(out, "bcdefghijk");  // doubled
  EXPECT_EQ(contents(name), "OURS 0123456789a\r\nbcdefghijk\r\n");
  write_line(out, "l");
  std::this_thread::sleep_for(std::chrono::milliseconds(1600));
  refresh_output(out);
  EXPECT_EQ(contents(name), "OURS 0123456789a\r\nbcdefghijk\r\nl\r\n");
  write_line(out, "m");
#ifndef _WIN32
  move_at_end();  // what the console's handlers do at an ending signal
  out.file.close();
#else
  close_output(out);  // Windows moves no file held open
#endif
  EXPECT_EQ(contents(name), "OURS 0123456789a\r\nbcdefghijk\r\nl\r\nm\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);  // no copy left beside it
  fs::remove_all(dir);
}

}  // namespace
