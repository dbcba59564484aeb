#include "wsjtx/udp_listener.h"

#include "wsjtx/udp_wait.h"

namespace {

// The group on loopback, where WSJT-X sends it unless told otherwise, and on
// every other IPv4 interface that is up and takes multicast.
void join_group(const UdpHandle& socket) {
  join_group_on(socket, {127, 0, 0, 1});
  for (const Ipv4Interface& i : ipv4_interfaces())
    if (i.up && i.multicast && !i.loopback) join_group_on(socket, i.address);
}

}  // namespace

OpenedListener open_udp_listener(int port) {
  OpenedListener opened;
  opened.error = socket_start_error();
  if (opened.error == 0) opened.error = open_bound_socket(port, opened.socket);
  if (opened.socket) join_group(opened.socket);
  return opened;
}

int milliseconds_left(std::chrono::steady_clock::time_point deadline) {
  using namespace std::chrono;
  const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

std::size_t take_waiting_datagrams(const UdpHandle& handle, std::deque<std::string>& into,
                                   std::size_t room_bytes) {
  if (!handle) return 0;
  std::string buffer;
  std::size_t taken = 0;
  while (taken < room_bytes && take_datagram(handle, buffer) == Take::got) {
    into.emplace_back(buffer.data(), buffer.size());  // sized copy, not the whole buffer
    taken += queued_cost(into.back());
  }
  return taken;
}

ReceiveResult receive_datagram(const UdpHandle& handle, std::string& out, int timeout_ms,
                               const KeyWake& keys) {
  out.clear();
  if (!handle) return ReceiveResult::error;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms > 0 ? timeout_ms : 0);
  return wait_for_datagram(handle, out, timeout_ms, deadline, keys);
}
