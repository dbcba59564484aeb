// For the follower's tests: a scratch folder of real files, removed with
// all it holds when the test ends, and the writes of a program that
// appends to a log, each done and closed at once.
#ifndef LOG_TRACKER_TEST_LOGS_H
#define LOG_TRACKER_TEST_LOGS_H

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

class ScratchFolder {
 public:
  ScratchFolder()
      : path_(std::filesystem::temp_directory_path() /
              ("log_tracker_test_" + std::to_string(std::random_device{}()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string folder() const { return path_.string(); }
  // The file `name` in it.
  std::string path(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void append_to(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::app).write(bytes.data(), std::streamsize(bytes.size()));
}

// The file's bytes replaced by `bytes`: emptied and written anew, it stays
// the same file (its identity kept).
inline void rewrite(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
}

#endif  // LOG_TRACKER_TEST_LOGS_H
