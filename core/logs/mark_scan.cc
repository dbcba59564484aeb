#include "logs/mark_scan.h"

#include <algorithm>

#include "logs/line_stops.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

// NEON: always on 64-bit ARM; on 32-bit ARM with a hardware floating-point
// ABI only where the processor has it (armhf's ARMv7 may lack it, ARMv6
// has none), which the kernel tells.
#if defined(__aarch64__) && defined(__GNUC__)
#define HAVE_NEON_SCAN 1
#define NEON_TARGET
#elif defined(__arm__) && defined(__ARM_FP) && defined(__GNUC__) && defined(__linux__)
#define HAVE_NEON_SCAN 1
#define NEON_TARGET __attribute__((target("fpu=neon")))
#include <sys/auxv.h>  // getauxval, HWCAP_ARM_NEON
#endif
#if defined(HAVE_NEON_SCAN)
#include <arm_neon.h>
#endif

namespace {

// One chunk's masks: its control bytes up to Ctrl-Z (CR and LF among them),
// its marks, its Ctrl-Z bytes and its guard bytes (made only for a scan
// with a guard); bit k stands for byte k.
struct ChunkMasks {
  std::uint64_t controls, marks, ctrl_z, guards;
};

// Clears the bits of bytes past the end of the text.
inline void mask_past_end(ChunkMasks& m, std::size_t chunk, std::size_t size) {
  const std::size_t at = chunk * kScanChunk;
  const std::size_t valid_bytes = size > at ? std::min(size - at, kScanChunk) : 0;
  const std::uint64_t valid =
      valid_bytes == kScanChunk ? ~std::uint64_t{0} : (std::uint64_t{1} << valid_bytes) - 1;
  m.controls &= valid;
  m.marks &= valid;
  m.ctrl_z &= valid;
  m.guards &= valid;
}

// Bits of `now` moved `by` places on (1 to 63), with those that the chunk
// before carries over.
inline std::uint64_t moved(std::uint64_t now, std::uint64_t before, unsigned by) {
  return (now << by) | (before >> (64 - by));
}

// The loop shared by every scan; `Chunk` gives one chunk's masks (its guard
// bytes when kGuarded). Two chunks a step: the second of the last pair may
// lie wholly past the end.
template <bool kGuarded, typename Chunk>
inline ScanResult scan_chunks(Chunk chunk, const char* bytes, std::size_t size, char mark, MarkPlaces places,
                              const MarkGuard& guard, MarkHit* hits) {
  // The bytes that stand one place past a control byte, for each place:
  // those of this chunk and those carried over from the chunk before; for a
  // guarded place, where the guard byte stands that many places on less
  // the guard's index and one.
  unsigned shifts[kLastMarkIndex + 1], guarded_shifts[kLastMarkIndex + 1], guard_shifts[kLastMarkIndex + 1];
  std::size_t place_count = 0, guarded_count = 0;
  for (MarkPlaces p = places & ~(kGuarded ? guard.places : 0); p != 0; p &= p - 1)
    shifts[place_count++] = static_cast<unsigned>(__builtin_ctzll(p)) + 1;
  if (kGuarded)
    for (MarkPlaces p = places & guard.places; p != 0; p &= p - 1) {
      const unsigned place = static_cast<unsigned>(__builtin_ctzll(p));
      guarded_shifts[guarded_count] = place + 1;
      guard_shifts[guarded_count++] = place - static_cast<unsigned>(guard.index);
    }
  const auto after_controls = [&](const ChunkMasks& now, const ChunkMasks& before) {
    std::uint64_t bits = 0;
    for (std::size_t k = 0; k < place_count; ++k) bits |= moved(now.controls, before.controls, shifts[k]);
    if (kGuarded)
      for (std::size_t k = 0; k < guarded_count; ++k)
        bits |= moved(now.controls, before.controls, guarded_shifts[k]) &
                moved(now.guards, before.guards, guard_shifts[k]);
    return bits;
  };
  const std::size_t chunks = (size + kScanChunk - 1) / kScanChunk;
  const std::size_t whole_pairs = size / (2 * kScanChunk) * 2;  // chunks in pairs wholly inside
  std::size_t found = 0;
  ChunkMasks before{0, 0, 0, 0};  // the chunk before
  // One pair from chunk c; true when it holds a Ctrl-Z, whose place goes to `stop`.
  const auto pair = [&](std::size_t c, ChunkMasks a, ChunkMasks b, std::size_t& stop) {
    const std::uint64_t word_a = a.marks & after_controls(a, before);
    const std::uint64_t word_b = b.marks & after_controls(b, a);
    before = b;
    if ((word_a | word_b) != 0) {  // rare: about one line in a hundred is a report
      if (word_a != 0) hits[found++] = {c, word_a};
      if (word_b != 0) hits[found++] = {c + 1, word_b};
    }
    if ((a.ctrl_z | b.ctrl_z) == 0) return false;
    stop = a.ctrl_z != 0 ? c * kScanChunk + static_cast<std::size_t>(__builtin_ctzll(a.ctrl_z))
                         : (c + 1) * kScanChunk + static_cast<std::size_t>(__builtin_ctzll(b.ctrl_z));
    return true;
  };
  std::size_t stop = size;
  std::size_t c = 0;
  const char guard_byte = guard.byte;
  for (; c < whole_pairs; c += 2)
    if (pair(c, chunk(bytes + c * kScanChunk, mark, guard_byte),
             chunk(bytes + (c + 1) * kScanChunk, mark, guard_byte), stop))
      return {stop, found};
  if (c < chunks) {  // the last pair, with bytes past the end
    ChunkMasks a = chunk(bytes + c * kScanChunk, mark, guard_byte);
    ChunkMasks b = chunk(bytes + (c + 1) * kScanChunk, mark, guard_byte);
    mask_past_end(a, c, size);
    mask_past_end(b, c + 1, size);
    pair(c, a, b, stop);
  }
  return {stop, found};
}

template <bool kGuarded>
inline ChunkMasks chunk_plain(const char* bytes, char mark, char guard) {
  ChunkMasks m{0, 0, 0, 0};
  for (int k = 0; k < 64; ++k) {
    const std::uint64_t bit = std::uint64_t{1} << k;
    if (static_cast<unsigned char>(bytes[k]) <= kEndOfText) m.controls |= bit;
    if (bytes[k] == mark) m.marks |= bit;
    if (bytes[k] == kEndOfText) m.ctrl_z |= bit;
    if (kGuarded && bytes[k] == guard) m.guards |= bit;
  }
  return m;
}

// One chunk's masks, from the chunk's bytes, the mark and the guard byte.
using ChunkFunction = ChunkMasks (*)(const char* bytes, char mark, char guard);

// A scan without a guard leaves the guard bytes alone: the loop with
// kGuardedChunk when there is a guard, with kChunk when there is none.
template <ChunkFunction kGuardedChunk, ChunkFunction kChunk>
inline ScanResult guarded_or_not(const char* bytes, std::size_t size, char mark, MarkPlaces places,
                                 const MarkGuard& guard, MarkHit* hits) {
  return guard.places != 0 ? scan_chunks<true>(kGuardedChunk, bytes, size, mark, places, guard, hits)
                           : scan_chunks<false>(kChunk, bytes, size, mark, places, guard, hits);
}

ScanResult scan_plain(const char* bytes, std::size_t size, char mark, MarkPlaces places,
                      const MarkGuard& guard, MarkHit* hits) {
  return guarded_or_not<chunk_plain<true>, chunk_plain<false>>(bytes, size, mark, places, guard, hits);
}

#if defined(__SSE2__)
inline std::uint64_t bits16(__m128i hits, int at) {
  return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(hits))} << at;
}

template <bool kGuarded>
inline ChunkMasks chunk_sse2(const char* bytes, char mark, char guard) {
  const __m128i eot = _mm_set1_epi8(kEndOfText), wanted = _mm_set1_epi8(mark),
                guarding = _mm_set1_epi8(guard);
  ChunkMasks m{0, 0, 0, 0};
  for (int k = 0; k < 64; k += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + k));
    m.controls |= bits16(_mm_cmpeq_epi8(_mm_min_epu8(v, eot), v), k);  // v <= Ctrl-Z
    m.marks |= bits16(_mm_cmpeq_epi8(v, wanted), k);
    m.ctrl_z |= bits16(_mm_cmpeq_epi8(v, eot), k);
    if (kGuarded) m.guards |= bits16(_mm_cmpeq_epi8(v, guarding), k);
  }
  return m;
}

ScanResult scan_sse2(const char* bytes, std::size_t size, char mark, MarkPlaces places,
                     const MarkGuard& guard, MarkHit* hits) {
  return guarded_or_not<chunk_sse2<true>, chunk_sse2<false>>(bytes, size, mark, places, guard, hits);
}
#endif

// AVX2 and AVX-512 where the compiler keeps wide vectors aligned on the
// stack (mingw-w64 does not). A build may cap the widest scan for a bench
// run on a processor that has wider ones (-DMARK_SCAN_WIDEST=avx2 or sse2).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32) && !defined(MARK_SCAN_WIDEST_SSE2)
#define HAVE_AVX2_SCAN 1
__attribute__((target("avx2"))) inline std::uint64_t bits32(__m256i hits, int at) {
  return std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(hits))} << at;
}

template <bool kGuarded>
__attribute__((target("avx2"))) inline ChunkMasks chunk_avx2(const char* bytes, char mark, char guard) {
  const __m256i eot = _mm256_set1_epi8(kEndOfText), wanted = _mm256_set1_epi8(mark),
                guarding = _mm256_set1_epi8(guard);
  ChunkMasks m{0, 0, 0, 0};
  for (int k = 0; k < 64; k += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + k));
    m.controls |= bits32(_mm256_cmpeq_epi8(_mm256_min_epu8(v, eot), v), k);  // v <= Ctrl-Z
    m.marks |= bits32(_mm256_cmpeq_epi8(v, wanted), k);
    m.ctrl_z |= bits32(_mm256_cmpeq_epi8(v, eot), k);
    if (kGuarded) m.guards |= bits32(_mm256_cmpeq_epi8(v, guarding), k);
  }
  return m;
}

// flatten: the shared loop and the chunk function inlined, both in AVX2.
__attribute__((target("avx2"), flatten)) ScanResult scan_avx2(const char* bytes, std::size_t size, char mark,
                                                              MarkPlaces places, const MarkGuard& guard,
                                                              MarkHit* hits) {
  return guarded_or_not<chunk_avx2<true>, chunk_avx2<false>>(bytes, size, mark, places, guard, hits);
}
#endif

#if defined(HAVE_AVX2_SCAN) && !defined(MARK_SCAN_WIDEST_AVX2)
#define HAVE_AVX512_SCAN 1
template <bool kGuarded>
__attribute__((target("avx512bw"))) inline ChunkMasks chunk_avx512(const char* bytes, char mark, char guard) {
  const __m512i v = _mm512_loadu_si512(bytes);
  const __m512i eot = _mm512_set1_epi8(kEndOfText);
  return {_mm512_cmple_epu8_mask(v, eot), _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(mark)),
          _mm512_cmpeq_epi8_mask(v, eot),
          kGuarded ? _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(guard)) : std::uint64_t{0}};
}

// flatten: the shared loop and the chunk function inlined, both in AVX-512.
__attribute__((target("avx512bw"), flatten)) ScanResult scan_avx512(const char* bytes, std::size_t size,
                                                                    char mark, MarkPlaces places,
                                                                    const MarkGuard& guard, MarkHit* hits) {
  return guarded_or_not<chunk_avx512<true>, chunk_avx512<false>>(bytes, size, mark, places, guard, hits);
}
#endif

#if defined(HAVE_NEON_SCAN)
// A compare of 64 bytes: 0xFF or 0 for each byte, in four vectors.
struct Compared {
  uint8x16_t v[4];
};

// NEON has no movemask: each compare's bytes keep the weight of their place
// in a byte of the word (1, 2, ... 128), and pairwise additions put 16
// bytes into each of the word's bytes.
NEON_TARGET inline uint8x16_t weighted(uint8x16_t hits) {
  static constexpr std::uint8_t kWeights[16] = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
  return vandq_u8(hits, vld1q_u8(kWeights));
}

#if defined(__aarch64__)
inline uint8x16_t quarter(const Compared& c) {  // 4 bytes for each vector
  return vpaddq_u8(vpaddq_u8(weighted(c.v[0]), weighted(c.v[1])),
                   vpaddq_u8(weighted(c.v[2]), weighted(c.v[3])));
}
// The bits of a compare, as a word.
inline std::uint64_t bits64(const Compared& c) {
  const uint8x16_t q = quarter(c);
  return vgetq_lane_u64(vreinterpretq_u64_u8(vpaddq_u8(q, q)), 0);
}
// Two of them: the last addition makes both words at once.
inline uint64x2_t bits128(const Compared& a, const Compared& b) {
  return vreinterpretq_u64_u8(vpaddq_u8(quarter(a), quarter(b)));
}
#else
// 32-bit NEON adds pairs in 8-byte vectors only.
NEON_TARGET inline uint8x8_t folded(uint8x16_t hits) {
  const uint8x16_t w = weighted(hits);
  return vpadd_u8(vget_low_u8(w), vget_high_u8(w));
}
NEON_TARGET inline std::uint64_t bits64(const Compared& c) {
  return vget_lane_u64(vreinterpret_u64_u8(vpadd_u8(vpadd_u8(folded(c.v[0]), folded(c.v[1])),
                                                    vpadd_u8(folded(c.v[2]), folded(c.v[3])))),
                       0);
}
NEON_TARGET inline uint64x2_t bits128(const Compared& a, const Compared& b) {
  return vcombine_u64(vcreate_u64(bits64(a)), vcreate_u64(bits64(b)));
}
#endif

template <bool kGuarded>
NEON_TARGET inline ChunkMasks chunk_neon(const char* bytes, char mark, char guard) {
  const std::uint8_t* at = reinterpret_cast<const std::uint8_t*>(bytes);
  const uint8x16_t v0 = vld1q_u8(at), v1 = vld1q_u8(at + 16), v2 = vld1q_u8(at + 32), v3 = vld1q_u8(at + 48);
  const uint8x16_t eot = vdupq_n_u8(kEndOfText), wanted = vdupq_n_u8(static_cast<std::uint8_t>(mark));
  const Compared controls{{vcleq_u8(v0, eot), vcleq_u8(v1, eot), vcleq_u8(v2, eot), vcleq_u8(v3, eot)}};
  const Compared marks{
      {vceqq_u8(v0, wanted), vceqq_u8(v1, wanted), vceqq_u8(v2, wanted), vceqq_u8(v3, wanted)}};
  const Compared ctrl_z{{vceqq_u8(v0, eot), vceqq_u8(v1, eot), vceqq_u8(v2, eot), vceqq_u8(v3, eot)}};
  const uint64x2_t found = bits128(controls, marks);
  ChunkMasks m{vgetq_lane_u64(found, 0), vgetq_lane_u64(found, 1), 0, 0};
  if (kGuarded) {
    const uint8x16_t g = vdupq_n_u8(static_cast<std::uint8_t>(guard));
    const uint64x2_t rest =
        bits128(ctrl_z, Compared{{vceqq_u8(v0, g), vceqq_u8(v1, g), vceqq_u8(v2, g), vceqq_u8(v3, g)}});
    m.ctrl_z = vgetq_lane_u64(rest, 0);
    m.guards = vgetq_lane_u64(rest, 1);
  } else {
    m.ctrl_z = bits64(ctrl_z);
  }
  return m;
}

// flatten: the shared loop and the chunk function inlined, both in NEON.
NEON_TARGET __attribute__((flatten)) ScanResult scan_neon(const char* bytes, std::size_t size, char mark,
                                                          MarkPlaces places, const MarkGuard& guard,
                                                          MarkHit* hits) {
  return guarded_or_not<chunk_neon<true>, chunk_neon<false>>(bytes, size, mark, places, guard, hits);
}

bool processor_has_neon() {
#if defined(__aarch64__)
  return true;
#else
  return (getauxval(AT_HWCAP) & HWCAP_ARM_NEON) != 0;
#endif
}
#endif

// The widest scan that this build holds and this processor runs last.
const NamedMarkScan& best_scan() {
  static const NamedMarkScan best = available_mark_scans().back();
  return best;
}

}  // namespace

ScanResult scan_marks(const char* bytes, std::size_t size, char mark, MarkPlaces places,
                      const MarkGuard& guard, MarkHit* hits) {
  static const MarkScan scan = best_scan().scan;
  return scan(bytes, size, mark, places, guard, hits);
}

const char* mark_scan_name() { return best_scan().name; }

std::vector<NamedMarkScan> available_mark_scans() {
  std::vector<NamedMarkScan> scans{{"plain", scan_plain}};
#if defined(__SSE2__)
  scans.push_back({"sse2", scan_sse2});
#endif
#if defined(HAVE_AVX2_SCAN)
  if (__builtin_cpu_supports("avx2")) scans.push_back({"avx2", scan_avx2});
#endif
#if defined(HAVE_AVX512_SCAN)
  if (__builtin_cpu_supports("avx512bw")) scans.push_back({"avx512", scan_avx512});
#endif
#if defined(HAVE_NEON_SCAN)
  if (processor_has_neon()) scans.push_back({"neon", scan_neon});
#endif
  return scans;
}
