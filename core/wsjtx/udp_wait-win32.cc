// The wait through Winsock. A key wakes it as key_wake.h says: the socket
// is watched in short slices and the keyboard asked between them.
#include "wsjtx/udp_wait.h"

#include <winsock2.h>

#include <algorithm>

#include "wsjtx/udp_socket.h"

namespace {

// Waits up to `ms` for the socket to hold a datagram: 1 ready, 0 not yet,
// -1 failed.
int wait_readable(SOCKET s, int ms) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval limit{ms / 1000, (ms % 1000) * 1000};
  const int ready = ::select(0, &readable, nullptr, nullptr, &limit);
  if (ready == SOCKET_ERROR) return -1;
  return ready > 0 ? 1 : 0;
}

}  // namespace

ReceiveResult wait_for_datagram(const UdpHandle& handle, std::string& out, int timeout_ms,
                                std::chrono::steady_clock::time_point deadline, const KeyWake& keys) {
  const bool wake_on_key = keys.keys_can_come;
  for (;;) {
    if (wake_on_key && key_waiting()) return ReceiveResult::key;
    int wait = timeout_ms < 0 ? kKeySliceMs : milliseconds_left(deadline);
    if (wake_on_key || timeout_ms < 0) wait = std::min(wait, kKeySliceMs);
    const int ready = wait_readable(static_cast<SOCKET>(handle.native()), wait);
    if (ready < 0) return ReceiveResult::error;
    if (ready > 0) {
      if (wake_on_key && key_waiting()) return ReceiveResult::key;  // keys before datagrams
      const Take take = take_datagram(handle, out);
      if (take == Take::got) return ReceiveResult::datagram;
      if (take == Take::failed) return ReceiveResult::error;
      continue;
    }
    if (timeout_ms >= 0 && milliseconds_left(deadline) == 0) return ReceiveResult::timeout;
  }
}
