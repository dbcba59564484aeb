// Lines of a text that arrives in pieces, as a log that is followed while it
// grows: a line is given once its line end has arrived, never cut and never
// twice. CR, CR LF or a lone LF ends a line (a CR LF split between two
// pieces is one line end); Ctrl-Z ends the text. Each line is cut to `kept`
// bytes, so memory stays the same however long a line is.
#ifndef LOGS_LINE_SPLITTER_H
#define LOGS_LINE_SPLITTER_H

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "logs/line_stops.h"

class LineSplitter {
 public:
  explicit LineSplitter(std::size_t kept) : kept_(kept) {}

  // Takes the next piece of the text; calls on_line(std::string_view) for
  // each line that it completes, in order, until on_line returns false
  // (false then). The view is valid during the call only.
  template <typename OnLine>
  bool feed(std::string_view piece, OnLine&& on_line);

  // The text has no more pieces: a line begun and not ended is a line too.
  template <typename OnLine>
  void finish(OnLine&& on_line) {
    if (begun_ && !ended_) on_line(std::string_view(open_));
    restart();
  }

  // The text starts anew: the line begun is forgotten.
  void restart() {
    open_.clear();
    begun_ = after_cr_ = ended_ = false;
  }

  // True once a Ctrl-Z has ended the text.
  bool ended() const { return ended_; }

 private:
  std::size_t kept_;
  std::string open_;       // the kept part of the line begun in an earlier piece
  bool begun_ = false;     // a line was begun in an earlier piece
  bool after_cr_ = false;  // the last piece ended with a CR: a LF first belongs to it
  bool ended_ = false;     // a Ctrl-Z has ended the text
};

template <typename OnLine>
bool LineSplitter::feed(std::string_view piece, OnLine&& on_line) {
  if (ended_) return true;
  std::size_t start = 0;  // of the line under way in this piece
  if (after_cr_ && !piece.empty()) {
    after_cr_ = false;
    if (piece[0] == '\n') start = 1;
  }
  // The line stops, a chunk of bytes at a time.
  for (std::size_t chunk = 0; chunk < piece.size(); chunk += kScanChunk) {
    for (std::uint64_t stops = line_stops_at(piece, chunk); stops != 0; stops &= stops - 1) {
      const std::size_t stop = chunk + static_cast<std::size_t>(__builtin_ctzll(stops));
      if (stop < start) continue;  // the LF of a CR LF already taken
      const char c = piece[stop];
      const std::string_view part = piece.substr(start, std::min(stop - start, kept_));
      const bool empty = !begun_ && stop == start;
      start = stop + 1;
      if (c == kEndOfText) {
        ended_ = true;
        if (empty) return true;
      } else if (c == '\r') {
        if (start == piece.size())
          after_cr_ = true;
        else if (piece[start] == '\n')
          ++start;
      }
      // A line within this piece is given where it stands, without a copy.
      std::string_view line = part;
      if (begun_) {
        if (open_.size() < kept_) open_.append(part.substr(0, kept_ - open_.size()));
        line = open_;
      }
      const bool go_on = on_line(line);
      open_.clear();
      begun_ = false;
      if (!go_on) return false;
      if (ended_) return true;
    }
  }
  if (start < piece.size()) {  // the line goes on in a later piece
    if (open_.size() < kept_) open_.append(piece.substr(start, kept_ - open_.size()));
    begun_ = true;
  }
  return true;
}

#endif  // LOGS_LINE_SPLITTER_H
