// WSJT-X datagrams as WSJT-X would send them, for trying and testing the
// tracker without a radio: a Decode (type 2) and a Heartbeat (type 0).
#ifndef TOOLS_DECODE_DATAGRAM_WRITER_H
#define TOOLS_DECODE_DATAGRAM_WRITER_H

#include <cstdint>
#include <string>

inline constexpr std::uint32_t kWsjtxMagic = 0xADBCCBDA;
inline constexpr std::uint32_t kWsjtxSchema = 2;

struct DecodeFields {
  std::int32_t time_ms = 0;  // since midnight
  std::int32_t snr_db = 0;
  double dt_s = 0;
  std::int32_t audio_offset_hz = 0;
  std::string message;
  bool is_new = true;
  std::string id = "WSJT-X";
  std::string mode = "~";
};

// Magic, schema, type 2, Id, New flag, time, SNR, DT, audio offset, Mode,
// message, then the low-confidence and off-air flags (both 0).
std::string encode_decode_datagram(const DecodeFields& decode);

// Type 0 with Id "WSJT-X", maximum schema 3, version "2.6.1", revision "".
std::string encode_heartbeat();

#endif  // TOOLS_DECODE_DATAGRAM_WRITER_H
