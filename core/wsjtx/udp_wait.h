// Inside the listener: the wait for a datagram that also ends at a key, as
// key_wake.h says, on each system (udp_wait-posix.cc, udp_wait-win32.cc).
// Apart from the socket's own calls (udp_socket.h), so that a program that
// only sends (decode_sender) has nothing of the console in it.
#ifndef WSJTX_UDP_WAIT_H
#define WSJTX_UDP_WAIT_H

#include <chrono>
#include <string>

#include "console/key_wake.h"
#include "wsjtx/udp_listener.h"

// Platform: receive_datagram for a valid handle, `out` empty, the wait
// ending at `deadline` unless timeout_ms is negative.
ReceiveResult wait_for_datagram(const UdpHandle& handle, std::string& out, int timeout_ms,
                                std::chrono::steady_clock::time_point deadline, const KeyWake& keys);

// Milliseconds from now to `deadline`, rounded up, never below zero.
int milliseconds_left(std::chrono::steady_clock::time_point deadline);

#endif  // WSJTX_UDP_WAIT_H
