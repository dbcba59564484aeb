// The UDP socket, owned, and the system calls made on it: what the platform
// files (udp_socket-posix.cc, udp_socket-win32.cc) give the listener, the
// sender and the host identity, whose rules are written once
// (udp_listener.cc, udp_sender.cc, host_identity.cc). The wait that also
// watches the keyboard is the listener's own (udp_wait.h). IPv4 only.
#ifndef WSJTX_UDP_SOCKET_H
#define WSJTX_UDP_SOCKET_H

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "system/owned_handle.h"

// Platform: closes a socket; false on a failure.
bool close_udp_handle(std::intptr_t native);

// The socket, closed when its handle goes.
using UdpHandle = OwnedHandle<close_udp_handle>;

// An IPv4 address as it is written, a.b.c.d.
using Ipv4Address = std::array<std::uint8_t, 4>;

// Platform: 0 once the system's sockets can be used (Winsock started, once,
// and left to the process end), else the error number of the start.
int socket_start_error();
// Platform: what an error number means ("Winsock error N" on Windows).
std::string socket_error_text(int error);

// Platform: a socket bound to `port` on all local addresses for reception,
// shared with the other listeners that ask to share it, broadcasts allowed,
// its receive queue deep; the error number of the failed call, 0 when it
// is open.
int open_bound_socket(int port, UdpHandle& out);
// Platform: joins kWsjtxGroup on the interface that has `interface_address`;
// a failure (the interface cannot take multicast, or was joined through
// another of its addresses) leaves the socket as it was.
void join_group_on(const UdpHandle& socket, Ipv4Address interface_address);

// Platform: one datagram into `out` without waiting. `none` when the socket
// holds nothing (after all); a datagram too long is `failed`.
enum class Take { got, none, failed };
Take take_datagram(const UdpHandle& socket, std::string& out);

struct Ipv4Interface {
  Ipv4Address address{};
  bool up = false;
  bool multicast = false;
  bool loopback = false;
};
// Platform: the IPv4 addresses of the interfaces, in the system's order;
// none when they cannot be had.
std::vector<Ipv4Interface> ipv4_interfaces();

// Platform: the host's name, "" when it cannot be had.
std::string host_name();
// Platform: the IPv4 addresses that `host` (a dotted address or a name)
// stands for, in the resolver's order; none when it is unknown.
std::vector<Ipv4Address> resolve_ipv4(const std::string& host);

// Platform: a socket for sending, broadcasts allowed; the error number of
// the failed call, 0 when it is open.
int open_sending_socket(UdpHandle& out);
// Platform: multicast from the socket goes out on the loopback interface,
// no further than this computer (TTL 1); the error number, 0 when set.
int send_multicast_on_loopback(const UdpHandle& socket);
// Platform: sends one datagram. `interrupted` when the call should be made
// again at once, `busy` when the system's sending queue is full for a
// moment; `failed` with the error number in `error`.
enum class Sent { sent, interrupted, busy, failed };
Sent send_to(const UdpHandle& socket, Ipv4Address address, int port, std::string_view bytes, int& error);

// The four bytes of an IPv4 address where a socket address holds them
// (an in_addr, network order), and back.
inline Ipv4Address address_from(const void* in_addr) {
  Ipv4Address address;
  std::memcpy(address.data(), in_addr, address.size());
  return address;
}
inline void put_address(Ipv4Address address, void* in_addr) {
  std::memcpy(in_addr, address.data(), address.size());
}

#endif  // WSJTX_UDP_SOCKET_H
