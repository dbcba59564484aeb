#include "outputs/output_file.h"

OutputFile open_output(const std::string& name, std::string_view own_start) {
  OpenedOutput opened = open_output_file(name, own_start);
  return OutputFile{name, std::move(opened.file), opened.size, false, opened.refusal, opened.created};
}

void start_output(OutputFile& out, std::string_view text) { replace_rest(out, 0, text, {}); }

void write_line(OutputFile& out, std::string_view text) {
  thread_local std::string line;  // its room kept from line to line
  line.assign(text);
  line += "\r\n";
  replace_rest(out, out.size, line, {});
}

bool replace_rest(OutputFile& out, std::uint64_t offset, std::string_view text, std::string_view old_rest) {
  if (out.lost_lines) return false;  // left as it was at the failure
  const std::uint64_t end = offset + text.size();
  if (write_at(out.file, offset, text) && (end >= out.size || cut_file(out.file, end))) {
    out.size = end;
    return true;
  }
  // Back to the last whole state: what was overwritten, then the old length.
  write_at(out.file, offset, old_rest);
  cut_file(out.file, out.size);
  out.lost_lines = true;
  return false;
}

void close_output(OutputFile& out) {
  if (!out.file.close()) out.lost_lines = true;
}

void drop_output(OutputFile& out) {
  out.file.close();
  if (out.created) remove_file(out.name);
}
