// A text file written line by line: every line, with its CR LF, goes to the
// file in one write at once, so whatever was printed is in the file even if
// the run is killed. A failed write is remembered, not reported at once.
#ifndef OUTPUTS_OUTPUT_FILE_H
#define OUTPUTS_OUTPUT_FILE_H

#include <string>
#include <string_view>

#include "text_file.h"

struct OutputFile {
  std::string name;
  FileHandle file;
  bool lost_lines = false;  // a line could not be written, or the close failed
};

// Creates `name` (emptied when it exists); check `file` for success.
OutputFile create_output(const std::string& name);
void write_line(OutputFile& out, std::string_view text);
void close_output(OutputFile& out);

#endif  // OUTPUTS_OUTPUT_FILE_H
