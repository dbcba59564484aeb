// Inside the UDP listener: what its platform files (udp_listener-posix.cc,
// udp_listener-win32.cc) give the shared part (udp_listener.cc), and the
// shared helpers they use.
#ifndef LIVE_TRACKER_UDP_SOCKET_H
#define LIVE_TRACKER_UDP_SOCKET_H

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "live_tracker/udp_listener.h"

// Platform: one datagram into `out` without waiting. `none` when the socket
// holds nothing (after all).
enum class Take { got, none, failed };
Take take_datagram(const UdpHandle& handle, std::string& out);

// Platform: receive_datagram for a valid handle, `out` empty, the wait
// ending at `deadline` unless timeout_ms is negative.
ReceiveResult wait_for_datagram(const UdpHandle& handle, std::string& out, int timeout_ms,
                                std::chrono::steady_clock::time_point deadline, const KeyWake& keys);

// Shared: the four bytes of an IPv4 address as it is stored in a socket
// address (network order: a.b.c.d).
std::array<std::uint8_t, 4> address_bytes(const void* ipv4_address);
// Shared: milliseconds from now to `deadline`, rounded up, never below zero.
int milliseconds_left(std::chrono::steady_clock::time_point deadline);

#endif  // LIVE_TRACKER_UDP_SOCKET_H
