#include "wsjtx/udp_wait.h"

#include <poll.h>

#include <cerrno>

#include "wsjtx/udp_socket.h"

ReceiveResult wait_for_datagram(const UdpHandle& handle, std::string& out, int timeout_ms,
                                std::chrono::steady_clock::time_point deadline, const KeyWake& keys) {
  const int also_wake_fd = keys.keys_can_come ? keys.descriptor : -1;
  const nfds_t count = also_wake_fd >= 0 ? 2 : 1;
  for (;;) {
    pollfd watched[2] = {{static_cast<int>(handle.native()), POLLIN, 0}, {also_wake_fd, POLLIN, 0}};
    const int wait = timeout_ms < 0 ? -1 : milliseconds_left(deadline);
    const int ready = ::poll(watched, count, wait);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return ReceiveResult::error;
    }
    if (ready == 0) return ReceiveResult::timeout;
    if ((watched[0].revents | (count > 1 ? watched[1].revents : 0)) & POLLNVAL) return ReceiveResult::error;
    // End of input or a fault on the keyboard also wakes the caller, who
    // finds out which it was when reading.
    if (count > 1 && watched[1].revents != 0) return ReceiveResult::key;
    if (watched[0].revents != 0) {
      const Take take = take_datagram(handle, out);
      if (take == Take::got) return ReceiveResult::datagram;
      if (take == Take::failed) return ReceiveResult::error;
    }
  }
}
