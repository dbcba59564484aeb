// A WSJT-X Decode datagram read into a DecodeRecord; the writer beside it
// (datagram_writer.h) writes what WSJT-X sends.
//
// The datagram is big-endian (protocol.h; Network/NetworkMessage.hpp in
// WSJT-X's source): magic, schema, message type (kDecodeMessage),
// the sender's Id text, the New flag, the time in ms since midnight, SNR,
// DT as an IEEE double, audio offset in Hz, the Mode text and the message
// text; whatever follows the message is ignored. Each text is a 32-bit
// length and its bytes; the length counts as a signed 16-bit number (its low
// 16 bits), so a null text (FFFFFFFF) is length -1 and moves every later
// field one byte back.
//
// Reading never fails on the layout: a field cut short by the end of the
// datagram takes the bytes present as its low-order bytes, a field wholly
// past the end reads 0 (an empty text), and a field that a negative length
// would place before the first byte reads the same as an absent one.
#ifndef WSJTX_DATAGRAM_READER_H
#define WSJTX_DATAGRAM_READER_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "report/decode_record.h"

// The record a Decode datagram carries (time_text "hh:mm", SNR, DT, audio
// offset, message as sent), or nothing when the datagram does not begin
// with WSJT-X's magic number or is not a Decode.
// Position fields are left for decode_position.
std::optional<DecodeRecord> parse_decode_datagram(std::string_view bytes);

// What names the decode of a Decode datagram, whichever copy of it this
// is: its time, SNR, DT and audio offset as sent, its Mode and message
// texts, read as parse_decode_datagram reads them; not its Id, New flag or
// the flags after the message. Two datagrams give the same key exactly when
// these fields are the same.
std::string decode_key(std::string_view bytes);

// "hh:mm" for a time in ms since midnight: rounded to the nearest second,
// halves to even; hours and minutes each taken modulo 60, so a time that
// rounds up to midnight reads "24:00". Exposed for the tests.
std::string datagram_time_text(std::int32_t ms);

#endif  // WSJTX_DATAGRAM_READER_H
