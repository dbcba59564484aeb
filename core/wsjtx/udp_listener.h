// The UDP socket on which WSJT-X datagrams arrive.
#ifndef WSJTX_UDP_LISTENER_H
#define WSJTX_UDP_LISTENER_H

#include <cstddef>
#include <deque>
#include <string>

#include "console/key_wake.h"
#include "wsjtx/protocol.h"
#include "wsjtx/udp_socket.h"

// Largest datagram taken; a longer one is reported as an error.
inline constexpr std::size_t kMaxDatagramSize = 65536;

// What opening the listener gave: the socket, or none and the system's
// error number.
struct OpenedListener {
  UdpHandle socket;
  int error = 0;
};

// An IPv4 UDP socket bound to `port` on all local addresses, with broadcast
// reception allowed, that has joined the group kWsjtxGroup on loopback and
// on every other IPv4 interface that is up and takes multicast (an
// interface that refuses is passed over). The port is shared with every
// other listener that asks to share it (address reuse), and each of them
// gets every datagram sent to the group; a unicast datagram goes to one of
// them only. While a listener that did not ask to share holds the port, the
// open fails (on Windows, only one that asked for the port exclusively).
OpenedListener open_udp_listener(int port = kListenPort);
// Whether the error number of a failed open_udp_listener says that another
// program holds the port.
bool is_port_taken_error(int error);

enum class ReceiveResult { datagram, timeout, key, error };

// Waits up to `timeout_ms` (a negative value: without limit) for one
// datagram and puts its bytes in `out`. Returns `key` as soon as `keys`
// (key_wake.h; the console's key_wake(), or nothing to watch) says a key is
// waiting, before any datagram that is also waiting; the caller reads the
// key itself. `out` is left empty unless the result is `datagram`.
ReceiveResult receive_datagram(const UdpHandle& handle, std::string& out, int timeout_ms,
                               const KeyWake& keys = {});

// What a datagram held in a queue costs in memory: its string, and the
// block that holds its bytes when they do not fit inside the string, with
// the allocator's own bookkeeping of that block.
inline std::size_t queued_cost(const std::string& datagram) {
  constexpr std::size_t kBlockOverhead = 16;
  const bool own_block = datagram.capacity() > std::string().capacity();
  return sizeof(std::string) + (own_block ? datagram.capacity() + 1 + kBlockOverhead : 0);
}

// Takes, without waiting, the datagrams already waiting on the socket and
// appends them to `into`, until about `room_bytes` are taken (counted by
// queued_cost); returns what they cost. Keeps the system's queue short
// while a burst arrives.
std::size_t take_waiting_datagrams(const UdpHandle& handle, std::deque<std::string>& into,
                                   std::size_t room_bytes);

#endif  // WSJTX_UDP_LISTENER_H
