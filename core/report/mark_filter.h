// Which lines of a log a reader hands on without splitting the others: those
// that hold a mark byte at one of a few places (logs/marked_lines.h). The
// report's own filter, kReportFilter, is in decode_record.h.
#ifndef REPORT_MARK_FILTER_H
#define REPORT_MARK_FILTER_H

#include <cstddef>
#include <cstdint>

// The places in its line where a mark may stand: bit i for the place i bytes
// after the line's start.
using MarkPlaces = std::uint64_t;
constexpr MarkPlaces mark_place(std::size_t index) { return MarkPlaces{1} << index; }

// Places whose marks count only when their line also holds `byte` at
// `index`, below each of them: a layout whose mark stands where the lines of
// another layout often have one (JTDX's "-" stands where WSJT-X's lines have
// the sign of a negative DT) is told apart by a byte of its own ("_" after
// JTDX's date). No places: no guard.
struct MarkGuard {
  MarkPlaces places = 0;
  std::size_t index = 0;
  char byte = 0;
};

// The lines wanted: each truncated to `kept` bytes, and of those the ones
// whose byte i is `mark` for some place i of `places` (for a place of
// `guard`, only when the guard's byte stands at its index too).
struct MarkFilter {
  std::size_t kept = 0;
  MarkPlaces places = 0;
  char mark = 0;
  MarkGuard guard;
};

#endif  // REPORT_MARK_FILTER_H
