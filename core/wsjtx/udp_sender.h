// The sending side of decode_sender: an IPv4 UDP socket, broadcast allowed,
// that sends datagrams to one address. Failures return false with a short
// reason in `error`.
#ifndef WSJTX_UDP_SENDER_H
#define WSJTX_UDP_SENDER_H

#include <string>
#include <string_view>

#include "wsjtx/udp_socket.h"

struct UdpSender {
  UdpHandle socket;  // closed when the sender goes
  Ipv4Address address{};
  int port = 0;
};

// Finds `host` (a dotted address or a name; the first address it stands
// for) and opens the socket; for a multicast group, one that sends on the
// loopback interface with TTL 1, as WSJT-X sends to a group unless told
// otherwise.
bool open_udp_sender(const std::string& host, int port, UdpSender& sender, std::string& error);

// Sends one datagram; waits a moment and tries again while the system's
// sending queue is full.
bool send_datagram(const UdpSender& sender, std::string_view bytes, std::string& error);

#endif  // WSJTX_UDP_SENDER_H
