// The lines of a decode log that carry a given byte at one of a few places,
// found without splitting the others. In a log of ordinary decodes about one
// line in a hundred is a position report, and each report has its "-" in one
// of a few columns (one per layout of the line); a scan for that byte
// standing that far after a line end passes over the rest at memory speed.
// The file is read ahead, and each block scanned, in a second thread
// while this one takes the lines found (read_ahead.h).
//
// The lines are exactly those of for_each_line (line_reader.h): CR, CR LF
// or a lone LF ends a line, Ctrl-Z ends the text, each is truncated to
// filter.kept bytes, and those that the filter wants (report/mark_filter.h)
// are passed on in order, each once.
//
//   for_each_marked_line(file, kReportFilter, [&](std::string_view line) {
//     ...;
//     return true;  // false: no more lines wanted
//   });
#ifndef LOGS_MARKED_LINES_H
#define LOGS_MARKED_LINES_H

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "logs/mark_scan.h"
#include "logs/read_ahead.h"
#include "report/mark_filter.h"
#include "system/file.h"

struct MarkedLineWorkspace;  // in the testing part below

// The buffers read into in turn: one being read, one being scanned and one
// whose lines are taken.
inline constexpr std::size_t kMarkedLineBuffers = 3;

class MarkedLineReader {
 public:
  // Needs places below filter.kept and below kLastMarkIndex + 1
  // (mark_scan.h), and a mark that is no control byte. Reading ahead starts
  // at once. Once `*stop` (when given) is true, the text ends at the next
  // block.
  MarkedLineReader(const FileHandle& file, const MarkFilter& filter, const std::atomic<bool>* stop = nullptr);
  // Testing: works with the borrowed `workspace` (below), which must
  // outlive the reader and serve no other at the same time.
  MarkedLineReader(const FileHandle& file, const MarkFilter& filter, MarkedLineWorkspace& workspace);
  ~MarkedLineReader();
  MarkedLineReader(const MarkedLineReader&) = delete;
  MarkedLineReader& operator=(const MarkedLineReader&) = delete;

  // The next marked line, valid until the next call; false when the text
  // has ended (a failed read ends it).
  bool next(std::string_view& line);
  // True once a read has failed (and so ended the text).
  bool read_failed() const { return read_failed_; }

 private:
  // Reading thread: puts the end of the block before in front of a block
  // just read, and scans it.
  void prepare_block(int buffer, std::size_t size);
  // This thread.
  bool take_line_at(std::size_t at, std::string_view& line);
  bool read_block_after(std::string_view& line);
  void walk_scan(int buffer);

  MarkedLineReader(const FileHandle& file, const MarkFilter& filter, MarkedLineWorkspace* workspace,
                   const std::atomic<bool>* stop);

  const MarkFilter filter_;
  const std::size_t farthest_place_;
  const std::atomic<bool>* const stop_;
  // The buffers, read into in turn (the last chunk of the block before
  // is put in front of each, so that a line begun there is seen whole up to
  // its mark); and what the scan of each found.
  const std::unique_ptr<MarkedLineWorkspace> own_workspace_;
  MarkedLineWorkspace& work_;
  std::array<ScanResult, kMarkedLineBuffers> scans_{};
  // Scanning thread: the end of the block scanned last; at first line ends, as
  // the text begins as a line after a line end does.
  std::array<char, kScanChunk> tail_;

  // The block being walked, and where the walk over its marks stands: the
  // hits left, the chunk of the hit taken, its marks left.
  const char* bytes_;
  const MarkHit* hits_walked_ = nullptr;
  std::size_t total_, text_end_;
  std::size_t next_hit_ = 0, hit_count_ = 0, chunk_ = 0;
  std::uint64_t marks_ = 0;
  // Where in the text the block walked begins and the next one will; where
  // the last line taken begins (a line with marks at two places is taken
  // once).
  std::int64_t block_origin_ = 0, next_origin_ = 0, last_taken_ = -1;
  std::string open_line_;  // a marked line whose end lies past the bytes read so far
  bool line_open_ = false;
  bool ended_ = false;
  bool read_failed_ = false;

  ReadAhead ahead_;  // last: its thread starts once everything above is set
};

// Calls on_line(std::string_view) for each line of `file` that `filter`
// wants until it returns false, the text ends or `*stop` becomes true. The
// view is valid during the call only. False when a read failed, which ends
// the text there.
template <typename OnLine>
bool for_each_marked_line(const FileHandle& file, const MarkFilter& filter, OnLine&& on_line,
                          const std::atomic<bool>* stop = nullptr) {
  MarkedLineReader reader(file, filter, stop);
  std::string_view line;
  while (reader.next(line))
    if (!on_line(line)) break;
  return !reader.read_failed();
}

// --- Testing: for the fuzz target only ---

// What a MarkedLineReader works with: its buffers, each the last chunk of
// the block before, the block and room for the scan past it; what the scan
// of each found; and where the blocks are read. Each reader makes its own,
// reading ahead in a thread. The fuzz target, which reads a great many small
// files, keeps one, reading when wanted, and each reader borrows it in turn:
// new memory and a thread for each file cost far more than the reading under
// the sanitizers.
struct MarkedLineWorkspace {
  explicit MarkedLineWorkspace(ReadAhead::Reading reading = ReadAhead::Reading::ahead);
  std::array<std::unique_ptr<char[]>, kMarkedLineBuffers> buffers;
  std::array<std::unique_ptr<MarkHit[]>, kMarkedLineBuffers> hits;
  ReadAhead::Reading reading;
};

#endif  // LOGS_MARKED_LINES_H
