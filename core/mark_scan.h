// The scan beneath for_each_marked_line (marked_lines.h): where a mark byte
// stands a given distance after a possible line stop, 64 bytes at a time,
// with the widest vectors that the processor has.
#ifndef CORE_MARK_SCAN_H
#define CORE_MARK_SCAN_H

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr std::size_t kScanChunk = 64;  // bytes per mask word
// The farthest place that a mark may stand in its line: the mark and the line
// stop before it must fall in the same chunk or in neighbouring ones.
inline constexpr std::size_t kLastMarkIndex = kScanChunk - 2;

// Scans `size` bytes from `bytes` (readable up to two whole chunks past the
// end) for the places where a line with `mark` at `index` may start: bit k
// of words[c] is set when bytes[64 * c + k] is `mark` and the byte `index` + 1
// places before it a control byte up to Ctrl-Z (line stops are CR, LF and
// Ctrl-Z; the caller checks which it is); bytes before `bytes` count as none.
// Stops after the pair of chunks that holds the first Ctrl-Z and returns its
// place, or `size` when there is none; words past it are unspecified.
// summary[c / 64] has bit c % 64 set when words[c] is not 0 (so that a
// caller can skip empty words 64 at a time).
// Needs index <= kLastMarkIndex and a mark that is no control byte.
using MarkScan = std::size_t (*)(const char* bytes, std::size_t size, char mark,
                                 std::size_t index, std::uint64_t* words,
                                 std::uint64_t* summary);

// The scan for this processor.
std::size_t scan_marks(const char* bytes, std::size_t size, char mark, std::size_t index,
                       std::uint64_t* words, std::uint64_t* summary);

// Every scan that this build holds and this processor runs, the plain one
// first, for the tests to hold against each other.
struct NamedMarkScan {
  const char* name;
  MarkScan scan;
};
std::vector<NamedMarkScan> available_mark_scans();

#endif  // CORE_MARK_SCAN_H
