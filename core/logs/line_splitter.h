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

#include "line_stops.h"

class LineSplitter {
 public:
  explicit LineSplitter(std::size_t kept) : kept_(kept) {}

  // Takes the next piece of the text; calls on_line(std::string_view) for
  // each line that it completes, in order.
  template <typename OnLine>
  void feed(std::string_view piece, OnLine&& on_line);

  // The text starts anew: the line begun is forgotten.
  void restart() {
    open_.clear();
    after_cr_ = ended_ = false;
  }

 private:
  std::size_t kept_;
  std::string open_;        // the kept part of the line begun
  bool after_cr_ = false;   // the last piece ended with a CR: a LF first belongs to it
  bool ended_ = false;      // a Ctrl-Z has ended the text
};

template <typename OnLine>
void LineSplitter::feed(std::string_view piece, OnLine&& on_line) {
  std::size_t i = 0;
  if (after_cr_ && !piece.empty()) {
    after_cr_ = false;
    if (piece[0] == '\n') i = 1;
  }
  while (i < piece.size() && !ended_) {
    std::size_t stop = i;
    while (stop < piece.size() && !is_line_stop(piece[stop])) ++stop;
    if (open_.size() < kept_) open_.append(piece.substr(i, std::min(stop - i, kept_ - open_.size())));
    if (stop == piece.size()) return;  // the line goes on in a later piece
    const char c = piece[stop];
    i = stop + 1;
    if (c == kEndOfText) {
      ended_ = true;
      if (open_.empty()) return;
    } else if (c == '\r') {
      if (i == piece.size())
        after_cr_ = true;
      else if (piece[i] == '\n')
        ++i;
    }
    on_line(std::string_view(open_));
    open_.clear();
  }
}

#endif  // LOGS_LINE_SPLITTER_H
