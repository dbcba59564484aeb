#include "mark_scan.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

constexpr char kCtrlZ = 26;

// One chunk's masks: its line stops (CR, LF, Ctrl-Z), its marks and its
// Ctrl-Z bytes; bit k stands for byte k.
struct ChunkMasks {
  std::uint64_t stops, marks, ctrl_z;
};

// The loop shared by every scan; `Chunk` gives one chunk's masks.
template <typename Chunk>
inline std::size_t scan_chunks(Chunk chunk, const char* bytes, std::size_t size, char mark,
                               std::size_t index, std::uint64_t* words, std::uint64_t* summary) {
  const unsigned shift = static_cast<unsigned>(index) + 1;
  std::uint64_t stops_before = 0;  // of the chunk before
  std::uint64_t nonzero = 0;       // the summary word being built
  std::size_t c = 0;
  for (std::size_t at = 0; at < size; ++c, at += kScanChunk) {
    ChunkMasks m = chunk(bytes + at, mark);
    if (size - at < kScanChunk) {  // the bytes past the end are no part of the text
      const std::uint64_t valid = (std::uint64_t{1} << (size - at)) - 1;
      m.stops &= valid;
      m.marks &= valid;
      m.ctrl_z &= valid;
    }
    const std::uint64_t word = m.marks & ((m.stops << shift) | (stops_before >> (64 - shift)));
    words[c] = word;
    nonzero |= std::uint64_t{word != 0} << (c % 64);
    stops_before = m.stops;
    if (m.ctrl_z != 0) {
      summary[c / 64] = nonzero;
      return at + static_cast<std::size_t>(__builtin_ctzll(m.ctrl_z));
    }
    if (c % 64 == 63) {
      summary[c / 64] = nonzero;
      nonzero = 0;
    }
  }
  if (c % 64 != 0) summary[c / 64] = nonzero;
  return size;
}

inline ChunkMasks chunk_plain(const char* bytes, char mark) {
  ChunkMasks m{0, 0, 0};
  for (int k = 0; k < 64; ++k) {
    const std::uint64_t bit = std::uint64_t{1} << k;
    if (bytes[k] == '\r' || bytes[k] == '\n' || bytes[k] == kCtrlZ) m.stops |= bit;
    if (bytes[k] == mark) m.marks |= bit;
    if (bytes[k] == kCtrlZ) m.ctrl_z |= bit;
  }
  return m;
}

std::size_t scan_plain(const char* bytes, std::size_t size, char mark, std::size_t index,
                       std::uint64_t* words, std::uint64_t* summary) {
  return scan_chunks(chunk_plain, bytes, size, mark, index, words, summary);
}

#if defined(__SSE2__)
inline std::uint64_t bits16(__m128i hits, int at) {
  return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(hits))} << at;
}

inline ChunkMasks chunk_sse2(const char* bytes, char mark) {
  const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), eot = _mm_set1_epi8(kCtrlZ),
                wanted = _mm_set1_epi8(mark);
  ChunkMasks m{0, 0, 0};
  for (int k = 0; k < 64; k += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + k));
    const __m128i z = _mm_cmpeq_epi8(v, eot);
    m.stops |= bits16(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)), z), k);
    m.marks |= bits16(_mm_cmpeq_epi8(v, wanted), k);
    m.ctrl_z |= bits16(z, k);
  }
  return m;
}

std::size_t scan_sse2(const char* bytes, std::size_t size, char mark, std::size_t index,
                      std::uint64_t* words, std::uint64_t* summary) {
  return scan_chunks(chunk_sse2, bytes, size, mark, index, words, summary);
}
#endif

// AVX-512 where the compiler keeps wide vectors aligned on the stack
// (mingw-w64 does not).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#define HAVE_AVX512_SCAN 1
__attribute__((target("avx512bw"))) inline ChunkMasks chunk_avx512(const char* bytes, char mark) {
  const __m512i v = _mm512_loadu_si512(bytes);
  const std::uint64_t ctrl_z = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(kCtrlZ));
  return {_mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\r')) |
              _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n')) | ctrl_z,
          _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(mark)), ctrl_z};
}

// flatten: the shared loop and the chunk function inlined, both in AVX-512.
__attribute__((target("avx512bw"), flatten)) std::size_t scan_avx512(
    const char* bytes, std::size_t size, char mark, std::size_t index, std::uint64_t* words,
    std::uint64_t* summary) {
  return scan_chunks(chunk_avx512, bytes, size, mark, index, words, summary);
}
#endif

MarkScan best_scan() {
#if defined(HAVE_AVX512_SCAN)
  if (__builtin_cpu_supports("avx512bw")) return scan_avx512;
#endif
#if defined(__SSE2__)
  return scan_sse2;
#else
  return scan_plain;
#endif
}

}  // namespace

std::size_t scan_marks(const char* bytes, std::size_t size, char mark, std::size_t index,
                       std::uint64_t* words, std::uint64_t* summary) {
  static const MarkScan scan = best_scan();
  return scan(bytes, size, mark, index, words, summary);
}

std::vector<NamedMarkScan> available_mark_scans() {
  std::vector<NamedMarkScan> scans{{"plain", scan_plain}};
#if defined(__SSE2__)
  scans.push_back({"sse2", scan_sse2});
#endif
#if defined(HAVE_AVX512_SCAN)
  if (__builtin_cpu_supports("avx512bw")) scans.push_back({"avx512", scan_avx512});
#endif
  return scans;
}
