// Files around an end-to-end test: where the programs are, a scratch
// directory per test, reading and writing files byte for byte, and the
// empty track document.
#ifndef TESTS_TEST_FILES_H
#define TESTS_TEST_FILES_H

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

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

// The lines of a text, each without its LF or CR LF; a last line without a
// line end counts too.
std::vector<std::string> lines_of(std::string_view text);

// The track that tests/golden/sample-track.kml holds, byte for byte.
const std::string& golden_kml();
// The track document of a run that accepted no position: the golden
// track's opening lines up to its first placemark, and its last two.
const std::string& empty_kml();

// Whether the test runs in a network namespace of its own
// (tests/own_network.sh, which ctest puts around the tests that take UDP
// port 16004).
bool in_own_network();
inline constexpr const char* kNoOwnNetwork =
    "skipped: UDP port 16004 is taken only in a network namespace of the test's own, "
    "and none could be made here (tests/own_network.sh needs root, unshare and ip)";

// A program on the PATH, or "" when there is none.
std::string on_path(const std::string& name);

// Writes bytes exactly, replacing the file; throws on failure.
void write_file(const std::filesystem::path& path, std::string_view bytes);
// The exact bytes of a file; throws if it cannot be read.
std::string read_file(const std::filesystem::path& path);

}  // namespace e2e

// In a test that takes UDP port 16004: skips it at once, saying why, outside
// a network namespace of its own.
#define SKIP_UNLESS_OWN_NETWORK() \
  if (!e2e::in_own_network()) GTEST_SKIP() << e2e::kNoOwnNetwork

#endif  // TESTS_TEST_FILES_H
