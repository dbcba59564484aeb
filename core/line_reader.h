// Lines of a decode log, read in large blocks. A line ends at CR, CR LF or a
// lone LF; a Ctrl-Z byte ends the text. Only the first columns of each line
// are kept, so memory stays the same however long a line or file is.
#ifndef CORE_LINE_READER_H
#define CORE_LINE_READER_H

#include <memory>
#include <string>

#include "decode_record.h"
#include "text_file.h"

class LineReader {
 public:
  static constexpr std::size_t kBlockSize = 1 << 16;

  explicit LineReader(FileHandle file, std::size_t kept_columns = kLastUsedColumn);

  // The next line, without its line end and cut to the kept columns; false
  // at the end of the text.
  bool next(std::string& line);

 private:
  bool fill();

  FileHandle file_;
  std::size_t kept_;
  std::unique_ptr<char[]> block_;
  std::size_t pos_ = 0, end_ = 0;
  bool ended_ = false;     // end of file, a failed read, or Ctrl-Z
  bool skip_lf_ = false;   // the last line ended at a CR: a LF next belongs to it
};

#endif  // CORE_LINE_READER_H
