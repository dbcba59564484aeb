// The scan beneath for_each_marked_line (marked_lines.h): where a mark byte
// stands one of a few given distances after a possible line stop, 64 bytes
// at a time, with the widest vectors that the processor has.
#ifndef LOGS_MARK_SCAN_H
#define LOGS_MARK_SCAN_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "logs/line_stops.h"     // kScanChunk
#include "report/mark_filter.h"  // MarkPlaces, MarkGuard

// The farthest place that a mark may stand in its line: the mark and the line
// stop before it must fall in the same chunk or in neighbouring ones.
inline constexpr std::size_t kLastMarkIndex = kScanChunk - 2;

// What a scan found: a chunk holding marks, and its word (bit k for byte
// 64 * chunk + k).
struct MarkHit {
  std::size_t chunk;
  std::uint64_t word;
};

struct ScanResult {
  std::size_t text_end;  // the place of the first Ctrl-Z, or the size
  std::size_t hits;      // hits written
};

// Scans `size` bytes from `bytes` (readable up to two whole chunks past the
// end) for the marks of lines that may have one in `places`: the bytes that
// are `mark` with a control byte up to Ctrl-Z i + 1 places before them, for
// some place i (line stops are CR, LF and Ctrl-Z; the caller checks which it
// is and where its line starts), and for a place of `guard` the byte
// guard.index + 1 places after that control byte `guard.byte`. Bytes before
// `bytes` count as none. Writes one hit for each chunk that holds such
// places, in order, to `hits` (room for one a chunk and one more). Stops
// after the pair of chunks that holds the first Ctrl-Z; hits past that place
// are to be dropped.
// Needs places below kLastMarkIndex + 1, guarded places among them and above
// the guard's index, and a mark that is no control byte.
using MarkScan = ScanResult (*)(const char* bytes, std::size_t size, char mark, MarkPlaces places,
                                const MarkGuard& guard, MarkHit* hits);

// The scan for this processor.
ScanResult scan_marks(const char* bytes, std::size_t size, char mark, MarkPlaces places,
                      const MarkGuard& guard, MarkHit* hits);

// The name of the scan that scan_marks uses: "avx512", "avx2", "sse2",
// "neon" or "plain".
const char* mark_scan_name();

// Every scan that this build holds and this processor runs, from the plain
// one to the widest, for the tests to hold against each other.
struct NamedMarkScan {
  const char* name;
  MarkScan scan;
};
std::vector<NamedMarkScan> available_mark_scans();

#endif  // LOGS_MARK_SCAN_H
