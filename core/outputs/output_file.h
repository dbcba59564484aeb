// A text file written line by line: every line, with its CR LF, goes to the
// file in one write at once, so whatever was printed is in the file even if
// the run is killed. A line that cannot be written whole is taken back: the
// file is cut to the lines before it, and nothing more is written to it.
// The failure is remembered, not reported at once.
#ifndef OUTPUTS_OUTPUT_FILE_H
#define OUTPUTS_OUTPUT_FILE_H

#include <cstdint>
#include <string>
#include <string_view>

#include "system/file.h"

struct OutputFile {
  std::string name;
  FileHandle file;
  std::uint64_t size = 0;                       // the bytes of its last whole state
  bool lost_lines = false;                      // a line could not be written, or the close failed
  OutputRefusal refusal = OutputRefusal::none;  // why it could not be opened
  bool created = false;                         // it was not there before
};

// Opens `name` for a file of ours, without changing it yet: created when
// missing, taken when it is one these programs wrote (it begins with
// `own_start`) or empty; anything else, a link or a file of another
// program, is refused and left as it is (see `refusal`).
OutputFile open_output(const std::string& name, std::string_view own_start);
// Puts `text` in place of all the file held before.
void start_output(OutputFile& out, std::string_view text);
void write_line(OutputFile& out, std::string_view text);
void close_output(OutputFile& out);
// Closes a file opened but never started, and removes it when it was made
// new: the run ends before writing it.
void drop_output(OutputFile& out);

// Puts `text` in place of the file's bytes from `offset` on (which must lie
// within its size). When that fails, `old_rest` (what stood there) is put
// back and the file cut to its size before; lost_lines is then set and the
// file is not written any more. False when nothing was replaced.
bool replace_rest(OutputFile& out, std::uint64_t offset, std::string_view text, std::string_view old_rest);

#endif  // OUTPUTS_OUTPUT_FILE_H
