// WSJT-X datagrams as WSJT-X would send them (protocol.h), for trying and
// testing the tracker without a radio: a Decode and a Heartbeat. The reader
// beside it is datagram_reader.h.
#ifndef WSJTX_DATAGRAM_WRITER_H
#define WSJTX_DATAGRAM_WRITER_H

#include <cstdint>
#include <string>

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

// Magic, schema kWsjtxSchema, type kDecodeMessage, Id, New flag, time,
// SNR, DT, audio offset, Mode, message, then the low-confidence and off-air
// flags (both 0).
std::string encode_decode_datagram(const DecodeFields& decode);

// Type kHeartbeatMessage with Id "WSJT-X", maximum schema kWsjtxMaxSchema,
// version "2.6.1", revision "".
std::string encode_heartbeat();

#endif  // WSJTX_DATAGRAM_WRITER_H
