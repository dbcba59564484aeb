#include "output_file.h"

OutputFile create_output(const std::string& name) {
  return OutputFile{name, create_for_writing(name), false};
}

void write_line(OutputFile& out, std::string_view text) {
  thread_local std::string line;  // its room kept from line to line
  line.assign(text);
  line += "\r\n";
  if (!write_bytes(out.file, line)) out.lost_lines = true;
}

void close_output(OutputFile& out) {
  if (out.file && !close_file(out.file)) out.lost_lines = true;
}
