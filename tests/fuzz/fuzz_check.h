// Checks for the fuzz targets: a failed check prints what went wrong and
// aborts, which libFuzzer reports as a crash and saves the input for.
#ifndef TESTS_FUZZ_FUZZ_CHECK_H
#define TESTS_FUZZ_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

// Bytes as C-style text: printable ASCII as it is, the rest as \xNN.
inline std::string escaped(std::string_view bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
      out += ch;
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

inline std::string quoted(std::string_view bytes) { return "\"" + escaped(bytes) + "\""; }

// Faults already reported can be let through, so that a long run goes on
// looking for others: FUZZ_KNOWN_FAULTS="name,name" names the checks to
// relax (each check that can be relaxed says its name).
inline bool known_fault(std::string_view name) {
  static const std::string known = [] {
    const char* list = std::getenv("FUZZ_KNOWN_FAULTS");
    return "," + std::string(list ? list : "") + ",";
  }();
  return known.find("," + std::string(name) + ",") != std::string::npos;
}

[[noreturn]] inline void fail(const char* condition, const char* file, int line, const std::string& detail) {
  std::fprintf(stderr, "\nFUZZ CHECK FAILED at %s:%d\n  %s\n  %s\n", file, line, condition, detail.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace fuzz

// FUZZ_CHECK(condition, detail): `detail` (a std::string expression) is only
// evaluated when the condition fails.
#define FUZZ_CHECK(condition, detail)                                         \
  do {                                                                        \
    if (!(condition)) ::fuzz::fail(#condition, __FILE__, __LINE__, (detail)); \
  } while (0)

#endif  // TESTS_FUZZ_FUZZ_CHECK_H
