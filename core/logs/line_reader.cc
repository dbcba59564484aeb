#include "line_reader.h"

std::string first_line(FileHandle file, std::size_t kept) {
  // Only the first `kept` bytes can belong to the line: no more is read,
  // however long the line or the file.
  std::string bytes(kept, '\0');
  std::size_t got = 0;
  while (file && got < kept) {
    const std::size_t n = read_block(file, bytes.data() + got, kept - got);
    if (n == 0) break;
    got += n;
  }
  bytes.resize(got);
  return bytes.substr(0, bytes.find_first_of(std::string_view("\r\n\x1a", 3)));
}
