#include "wsjtx/datagram_writer.h"

#include <bit>
#include <string_view>

#include "wsjtx/protocol.h"

namespace {

void append_uint32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

void append_double(std::string& out, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  for (int shift = 56; shift >= 0; shift -= 8) out.push_back(static_cast<char>(bits >> shift));
}

// A 32-bit length and the bytes.
void append_text(std::string& out, std::string_view text) {
  append_uint32(out, static_cast<std::uint32_t>(text.size()));
  out.append(text);
}

void append_header(std::string& out, std::uint32_t type) {
  append_uint32(out, kWsjtxMagic);
  append_uint32(out, kWsjtxSchema);
  append_uint32(out, type);
}

}  // namespace

std::string encode_decode_datagram(const DecodeFields& decode) {
  std::string out;
  append_header(out, kDecodeMessage);
  append_text(out, decode.id);
  out.push_back(decode.is_new ? 1 : 0);
  append_uint32(out, static_cast<std::uint32_t>(decode.time_ms));
  append_uint32(out, static_cast<std::uint32_t>(decode.snr_db));
  append_double(out, decode.dt_s);
  append_uint32(out, static_cast<std::uint32_t>(decode.audio_offset_hz));
  append_text(out, decode.mode);
  append_text(out, decode.message);
  out.push_back(0);  // low confidence
  out.push_back(0);  // off air
  return out;
}

std::string encode_heartbeat() {
  std::string out;
  append_header(out, kHeartbeatMessage);
  append_text(out, "WSJT-X");
  append_uint32(out, kWsjtxMaxSchema);
  append_text(out, "2.6.1");
  append_text(out, "");
  return out;
}
