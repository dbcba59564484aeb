#include "decode_datagram.h"

#include <bit>

#include "clock.h"

namespace {

// Offsets are kept wide: a hostile Id length can move them below zero and a
// sum of lengths must not wrap.
using Offset = std::int64_t;

constexpr Offset kTypeOffset = 8;
constexpr Offset kIdLengthOffset = 12;
constexpr Offset kIdOffset = 16;

// Big-endian unsigned value of the `size` bytes at `at`. Bytes past the end
// of the datagram are missing from the low end: the bytes present stand as
// the value's low-order bytes. Nothing is read before the first byte.
std::uint64_t read_field(std::string_view bytes, Offset at, int size) {
  if (at < 0) return 0;
  const Offset available = static_cast<Offset>(bytes.size()) - at;
  const Offset count = available < size ? available : size;
  std::uint64_t value = 0;
  for (Offset k = 0; k < count; ++k)
    value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(at + k)]);
  return value;
}

std::int32_t read_int32(std::string_view bytes, Offset at) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(read_field(bytes, at, 4)));
}

// A text length: the low 16 bits of the 32-bit field, signed.
Offset read_length(std::string_view bytes, Offset at) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(read_field(bytes, at, 4)));
}

double read_double(std::string_view bytes, Offset at) {
  return std::bit_cast<double>(read_field(bytes, at, 8));
}

std::string read_text(std::string_view bytes, Offset at, Offset length) {
  if (at < 0 || length <= 0 || at >= static_cast<Offset>(bytes.size())) return {};
  return std::string(bytes.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(length)));
}

// Quotient and remainder rounded toward minus infinity (divisor positive).
std::int64_t floor_div(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b < 0) ? q - 1 : q;
}
std::int64_t floor_mod(std::int64_t a, std::int64_t b) { return a - floor_div(a, b) * b; }

}  // namespace

std::string datagram_time_text(std::int32_t ms) {
  std::int64_t seconds = floor_div(ms, 1000);
  const std::int64_t rest = floor_mod(ms, 1000);
  if (rest > 500 || (rest == 500 && seconds % 2 != 0)) ++seconds;
  const auto hours = static_cast<int>(floor_mod(floor_div(seconds, 3600), 60));
  const auto minutes = static_cast<int>(floor_mod(floor_div(seconds, 60), 60));
  return format_digits(hours) + ":" + format_digits(minutes);
}

std::optional<DecodeRecord> parse_decode_datagram(std::string_view bytes) {
  if (read_int32(bytes, kTypeOffset) != kDecodeMessageType) return std::nullopt;
  const Offset id_length = read_length(bytes, kIdLengthOffset);
  const Offset new_flag = kIdOffset + id_length;
  const Offset time = new_flag + 1;
  const Offset snr = time + 4;
  const Offset dt = snr + 4;
  const Offset frequency = dt + 8;
  const Offset mode_length_at = frequency + 4;
  const Offset mode = mode_length_at + 4;
  const Offset message_length_at = mode + read_length(bytes, mode_length_at);
  const Offset message = message_length_at + 4;

  DecodeRecord record;
  record.time_text = datagram_time_text(read_int32(bytes, time));
  record.snr_db = read_int32(bytes, snr);
  record.dt_s = read_double(bytes, dt);
  record.audio_offset_hz = read_int32(bytes, frequency);
  record.message = read_text(bytes, message, read_length(bytes, message_length_at));
  return record;
}
