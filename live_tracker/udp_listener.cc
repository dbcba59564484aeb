#include <cstring>

#include "live_tracker/udp_listener.h"
#include "live_tracker/udp_socket.h"

std::array<std::uint8_t, 4> address_bytes(const void* ipv4_address) {
  std::array<std::uint8_t, 4> bytes{};
  std::memcpy(bytes.data(), ipv4_address, bytes.size());
  return bytes;
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
