// The sending side of decode_sender: an IPv4 UDP socket, broadcast allowed,
// that sends datagrams to one address. Failures return false with a short
// reason in `error`.
#ifndef TOOLS_UDP_SENDER_H
#define TOOLS_UDP_SENDER_H

#include <cstdint>
#include <string>
#include <string_view>

struct UdpSender {
  std::intptr_t socket = -1;
  std::uint32_t address = 0;  // IPv4, network byte order
  std::uint16_t port = 0;
};

// Finds `host` (a dotted address or a name) and opens the socket; for a
// multicast group, one that sends on the loopback interface with TTL 1.
bool open_udp_sender(const std::string& host, int port, UdpSender& sender, std::string& error);

// Sends one datagram; waits a moment and tries again while the system's
// sending queue is full.
bool send_datagram(const UdpSender& sender, std::string_view bytes, std::string& error);

void close_udp_sender(UdpSender& sender);

#endif  // TOOLS_UDP_SENDER_H
