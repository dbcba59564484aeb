#include "line_reader.h"

std::string first_line(FileHandle file, std::size_t kept) {
  std::string first;
  for_each_line(file, kept, [&](std::string_view line) {
    first = line;
    return false;
  });
  return first;
}
