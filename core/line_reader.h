// Lines of a decode log, read in large blocks. A line ends at CR, CR LF or a
// lone LF; a Ctrl-Z byte ends the text. Only the first columns of each line
// are kept, so memory stays the same however long a line or file is.
//
//   for_each_line(file, kLastUsedColumn, [&](std::string_view line) {
//     ...;
//     return true;  // false: no more lines wanted
//   });
#ifndef CORE_LINE_READER_H
#define CORE_LINE_READER_H

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "decode_record.h"
#include "text_file.h"

inline constexpr std::size_t kLineBlockSize = 1 << 20;
inline constexpr char kEndOfText = 26;  // Ctrl-Z

// CR, LF and Ctrl-Z end a line.
inline constexpr bool is_line_stop(char c) { return c == '\r' || c == '\n' || c == kEndOfText; }

// One bit for each CR, LF or Ctrl-Z among the 64 bytes from `bytes` (which
// must all be readable); bit k stands for bytes[k].
inline std::uint64_t line_end_mask(const char* bytes) {
  std::uint64_t mask = 0;
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), eot = _mm_set1_epi8(kEndOfText);
  for (int i = 0; i < 64; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)),
                                     _mm_cmpeq_epi8(v, eot));
    mask |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(hit))} << i;
  }
#else
  for (int i = 0; i < 64; ++i)
    if (bytes[i] == '\r' || bytes[i] == '\n' || bytes[i] == kEndOfText) mask |= std::uint64_t{1} << i;
#endif
  return mask;
}

// Calls on_line(std::string_view) for each line of `file`, cut to `kept`
// bytes, until it returns false or the text ends. The view is valid during
// the call only. A failed read ends the text.
template <typename OnLine>
void for_each_line(FileHandle file, std::size_t kept, OnLine&& on_line) {
  constexpr std::size_t kChunk = 64;
  // Room for a whole chunk past the data: the last chunk is read whole and
  // what lies past the data masked off.
  const std::unique_ptr<char[]> block(new char[kLineBlockSize + kChunk]());
  std::string carry;      // the kept part of a line begun in an earlier block
  bool carried = false;   // a line is open from an earlier block
  bool skip_lf = false;   // the last block ended with a CR: a LF first belongs to it
  while (file) {
    const std::size_t end = read_block(file, block.get(), kLineBlockSize);
    if (end == 0) break;
    const char* data = block.get();
    std::size_t start = skip_lf && data[0] == '\n' ? 1 : 0;  // of the current line
    skip_lf = false;
    for (std::size_t chunk = 0; chunk < end; chunk += kChunk) {
      std::uint64_t stops = line_end_mask(data + chunk);
      if (end - chunk < kChunk) stops &= (std::uint64_t{1} << (end - chunk)) - 1;
      for (; stops != 0; stops &= stops - 1) {
        const std::size_t stop = chunk + static_cast<std::size_t>(__builtin_ctzll(stops));
        if (stop < start) continue;  // the LF of a CR LF already taken
        std::string_view line(data + start, std::min(stop - start, kept));
        if (carried) {
          carry.append(line.substr(0, kept - std::min(kept, carry.size())));
          line = std::string_view(carry).substr(0, kept);
        }
        const bool last = data[stop] == kEndOfText;
        if (!(last && line.empty() && !carried) && !on_line(line)) return;
        if (last) return;
        carried = false;
        carry.clear();
        start = stop + 1;
        if (data[stop] == '\r') {
          if (start < end && data[start] == '\n')
            ++start;
          else if (start == end)
            skip_lf = true;
        }
      }
    }
    if (start < end) {  // a line runs on into the next block
      carry.append(data + start, std::min(end - start, kept - std::min(kept, carry.size())));
      carried = true;
    }
  }
  if (carried) on_line(std::string_view(carry));
}

// The first line of `file` (cut to `kept` bytes); "" when there is none.
// Reads no more than `kept` bytes.
std::string first_line(FileHandle file, std::size_t kept);

#endif  // CORE_LINE_READER_H
