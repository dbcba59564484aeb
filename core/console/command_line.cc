#include "console/command_line.h"

namespace {

template <typename Char>
bool is_blank(Char c) {
  return c == Char(' ') || c == Char('\t');
}

}  // namespace

template <typename Char>
std::basic_string_view<Char> command_line_tail(std::basic_string_view<Char> line) {
  std::size_t i = 0;
  if (!line.empty() && line[0] == Char('"')) {
    const std::size_t close = line.find(Char('"'), 1);
    if (close == line.npos) return {};
    i = close + 1;
  } else {
    while (i < line.size() && !is_blank(line[i])) ++i;
  }
  while (i < line.size() && is_blank(line[i])) ++i;
  return line.substr(i);
}

template std::basic_string_view<char> command_line_tail(std::basic_string_view<char>);
template std::basic_string_view<wchar_t> command_line_tail(std::basic_string_view<wchar_t>);
template std::basic_string_view<char16_t> command_line_tail(std::basic_string_view<char16_t>);
