#include "logs/line_reader.h"

std::string first_line(const FileHandle& file, std::size_t kept) {
  // Only the first `kept` bytes can belong to the line: no more is read,
  // however long the line or the file.
  std::string bytes(kept, '\0');
  std::size_t got = 0;
  while (file && got < kept) {
    const BlockRead read = read_block(file, bytes.data() + got, kept - got);
    if (read.size == 0) break;
    got += read.size;
  }
  bytes.resize(next_line_stop(std::string_view(bytes).substr(0, got), 0));
  return bytes;
}
