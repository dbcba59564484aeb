// What ends a line of a log: CR, LF (a CR LF pair is one line end), and
// Ctrl-Z, which also ends the text.
#ifndef LOGS_LINE_STOPS_H
#define LOGS_LINE_STOPS_H

#include <cstddef>
#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

inline constexpr char kEndOfText = 26;  // Ctrl-Z

// Bytes looked at together, one bit each in a mask word.
inline constexpr std::size_t kScanChunk = 64;

// CR, LF and Ctrl-Z end a line.
inline constexpr bool is_line_stop(char c) { return c == '\r' || c == '\n' || c == kEndOfText; }

// One bit for each CR, LF or Ctrl-Z among the kScanChunk bytes from
// `bytes` (which must all be readable); bit k stands for bytes[k].
inline std::uint64_t line_end_mask(const char* bytes) {
  std::uint64_t mask = 0;
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), eot = _mm_set1_epi8(kEndOfText);
  for (std::size_t i = 0; i < kScanChunk; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    const __m128i hit =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)), _mm_cmpeq_epi8(v, eot));
    mask |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(hit))} << i;
  }
#else
  for (std::size_t i = 0; i < kScanChunk; ++i)
    if (is_line_stop(bytes[i])) mask |= std::uint64_t{1} << i;
#endif
  return mask;
}

// One bit for each line stop among the kScanChunk bytes of `text` from
// `from` (fewer at its end); bit k stands for text[from + k].
inline std::uint64_t line_stops_at(std::string_view text, std::size_t from) {
  if (from + kScanChunk <= text.size()) return line_end_mask(text.data() + from);
  std::uint64_t mask = 0;
  for (std::size_t k = 0; from + k < text.size(); ++k)
    if (is_line_stop(text[from + k])) mask |= std::uint64_t{1} << k;
  return mask;
}

// Where the first line stop at or after `from` stands in `text`; its size
// when there is none.
inline std::size_t next_line_stop(std::string_view text, std::size_t from) {
  for (; from < text.size(); from += kScanChunk)
    if (const std::uint64_t stops = line_stops_at(text, from))
      return from + static_cast<std::size_t>(__builtin_ctzll(stops));
  return text.size();
}

#endif  // LOGS_LINE_STOPS_H
