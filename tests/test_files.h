// Files around an end-to-end test: where the programs are, a scratch
// directory per test, and reading and writing files byte for byte.
#ifndef TESTS_TEST_FILES_H
#define TESTS_TEST_FILES_H

#include <filesystem>
#include <string>
#include <string_view>

namespace e2e {

// The program built next to the running test executable (both go to bin/).
std::string program_path(std::string_view name);

// A fresh directory under /tmp, removed with everything in it when the
// object goes. Set E2E_KEEP_TMP=1 to keep it for a look after a failure.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string file(std::string_view name) const;

 private:
  std::string path_;
};

// Writes bytes exactly, replacing the file; throws on failure.
void write_file(const std::filesystem::path& path, std::string_view bytes);
// The exact bytes of a file; throws if it cannot be read.
std::string read_file(const std::filesystem::path& path);

}  // namespace e2e

#endif  // TESTS_TEST_FILES_H
