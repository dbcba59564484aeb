#include "wsjtx/datagram_reader.h"

#include <bit>

#include "report/mask_format.h"
#include "wsjtx/protocol.h"

namespace {

// Offsets are kept wide: a hostile Id length can move them below zero and a
// sum of lengths must not wrap.
using Offset = std::int64_t;

constexpr Offset kMagicOffset = 0;
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

namespace {

// Where the fields of a Decode datagram stand, read as parse_decode_datagram
// reads them.
struct DecodePlaces {
  Offset time, snr, dt, frequency, mode_length_at, mode, message_length_at, message;
};

DecodePlaces decode_places(std::string_view bytes) {
  DecodePlaces at;
  const Offset id_length = read_length(bytes, kIdLengthOffset);
  const Offset new_flag = kIdOffset + id_length;
  at.time = new_flag + 1;
  at.snr = at.time + 4;
  at.dt = at.snr + 4;
  at.frequency = at.dt + 8;
  at.mode_length_at = at.frequency + 4;
  at.mode = at.mode_length_at + 4;
  at.message_length_at = at.mode + read_length(bytes, at.mode_length_at);
  at.message = at.message_length_at + 4;
  return at;
}

void append_field(std::string& out, std::uint64_t value, int size) {
  for (int shift = (size - 1) * 8; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

}  // namespace

std::optional<DecodeRecord> parse_decode_datagram(std::string_view bytes) {
  if (read_field(bytes, kMagicOffset, 4) != kWsjtxMagic) return std::nullopt;
  if (read_field(bytes, kTypeOffset, 4) != kDecodeMessage) return std::nullopt;
  const DecodePlaces at = decode_places(bytes);
  DecodeRecord record;
  record.time_text = datagram_time_text(read_int32(bytes, at.time));
  record.snr_db = read_int32(bytes, at.snr);
  record.dt_s = read_double(bytes, at.dt);
  record.audio_offset_hz = read_int32(bytes, at.frequency);
  record.message = read_text(bytes, at.message, read_length(bytes, at.message_length_at));
  return record;
}

std::string decode_key(std::string_view bytes) {
  const DecodePlaces at = decode_places(bytes);
  std::string key;
  append_field(key, read_field(bytes, at.time, 4), 4);
  append_field(key, read_field(bytes, at.snr, 4), 4);
  append_field(key, read_field(bytes, at.dt, 8), 8);
  append_field(key, read_field(bytes, at.frequency, 4), 4);
  const std::string mode = read_text(bytes, at.mode, read_length(bytes, at.mode_length_at));
  append_field(key, mode.size(), 4);
  key += mode;
  key += read_text(bytes, at.message, read_length(bytes, at.message_length_at));
  return key;
}
