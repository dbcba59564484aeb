// The lines of a decode log that carry a given byte at one of a few places,
// found without splitting the others. In a log of ordinary decodes about one
// line in a hundred is a position report, and each report has its "-" in one
// of a few columns (one per layout of the line); a scan for that byte
// standing that far after a line end passes over the rest at memory speed. The file is read and scanned a
// block ahead in a second thread (read_ahead.h) while this one takes the lines found.
//
// The lines are exactly those of for_each_line (line_reader.h): CR, CR LF
// or a lone LF ends a line, Ctrl-Z ends the text, each is cut to `kept`
// bytes, and those whose byte i is `mark` for some place i of `places` (and,
// for a place of a guard, whose byte at the guard's index is its byte) are
// passed on in order, each once.
//
//   for_each_marked_line(file, kLastUsedColumn, kReportMarkPlaces, '-',
//                        [&](std::string_view line) {
//                          ...;
//                          return true;  // false: no more lines wanted
//                        });
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
#include "system/file.h"

// What a MarkedLineReader works with: two buffers, each the last chunk of
// the block before, the block and room for the scan past it; what the scan
// of each found; and where the blocks are read. Each reader makes its own,
// reading ahead in a thread. A caller that reads a great many small files
// (the fuzz target) may keep one, reading when wanted, and lend it to each
// reader in turn: new memory and a thread for each file cost far more than
// the reading under the sanitizers.
struct MarkedLineWorkspace {
  explicit MarkedLineWorkspace(ReadAhead::Reading reading = ReadAhead::Reading::ahead);
  std::array<std::unique_ptr<char[]>, 2> buffers;
  std::array<std::unique_ptr<MarkHit[]>, 2> hits;
  ReadAhead::Reading reading;
};

class MarkedLineReader {
 public:
  // Needs places below `kept` and below kLastMarkIndex + 1 (mark_scan.h),
  // and a mark that is no control byte. Works with `workspace` when one is
  // lent (it must outlive the reader and serve no other at the same time).
  // Reading ahead starts at once. Once `*stop` (when given) is true, the
  // text ends at the next block.
  MarkedLineReader(const FileHandle& file, std::size_t kept, MarkPlaces places, char mark,
                   MarkedLineWorkspace* workspace = nullptr, const std::atomic<bool>* stop = nullptr,
                   const MarkGuard& guard = {});

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

  const std::size_t kept_;
  const MarkPlaces places_;
  const std::size_t farthest_place_;
  const char mark_;
  const MarkGuard guard_;
  const std::atomic<bool>* const stop_;
  // The two buffers, read into in turn (the last chunk of the block before
  // is put in front of each, so that a line begun there is seen whole up to
  // its mark); and what the scan of each found.
  const std::unique_ptr<MarkedLineWorkspace> own_workspace_;
  MarkedLineWorkspace& work_;
  std::array<ScanResult, 2> scans_{};
  // Reading thread: the end of the block read last; at first line ends, as
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

// Calls on_line(std::string_view) for each marked line of `file` until it
// returns false, the text ends or `*stop` becomes true. The view is valid
// during the call only. A mark at a place of `guard` counts only when its
// line holds the guard's byte at the guard's index (mark_scan.h). False
// when a read failed, which ends the text there.
template <typename OnLine>
bool for_each_marked_line(const FileHandle& file, std::size_t kept, MarkPlaces places, char mark,
                          OnLine&& on_line, const std::atomic<bool>* stop = nullptr,
                          const MarkGuard& guard = {}) {
  MarkedLineReader reader(file, kept, places, mark, nullptr, stop, guard);
  std::string_view line;
  while (reader.next(line))
    if (!on_line(line)) break;
  return !reader.read_failed();
}

#endif  // LOGS_MARKED_LINES_H
