// The numbers of WSJT-X's UDP protocol that both sides here use, each
// defined once. The magic number, the schemas and the message types are
// WSJT-X's own, as Network/NetworkMessage.hpp in its source states them: a
// datagram is big-endian, the magic number, the schema, the message type,
// then that message's fields.
#ifndef WSJTX_PROTOCOL_H
#define WSJTX_PROTOCOL_H

#include <cstdint>

// Every datagram of the protocol begins with this number; another
// program's datagram sent to the group is none of ours.
inline constexpr std::uint32_t kWsjtxMagic = 0xADBCCBDA;
// The schema that the datagrams written here carry: 2, which WSJT-X sends
// until a listener answers (a Decode is the same in schemas 2 and 3). The
// reader does not look at it.
inline constexpr std::uint32_t kWsjtxSchema = 2;
// The highest schema that WSJT-X 2.x says in its Heartbeat it speaks.
inline constexpr std::uint32_t kWsjtxMaxSchema = 3;

// The message types, the number after the schema.
inline constexpr std::uint32_t kHeartbeatMessage = 0;
inline constexpr std::uint32_t kDecodeMessage = 2;

// Not in NetworkMessage.hpp, but where the datagrams go: the port that the
// users set WSJT-X's UDP server to (WSJT-X's own default is 2237), on which
// live_tracker listens and to which decode_sender sends unless told
// otherwise.
inline constexpr int kListenPort = 16004;
// The multicast group that WSJT-X's UDP server may be set to, so that
// several programs get its datagrams: 224.0.0.1, the choice that WSJT-X's
// user guide calls safe on loopback; in host byte order.
inline constexpr std::uint32_t kWsjtxGroup = 0xE0000001;

#endif  // WSJTX_PROTOCOL_H
