// The UDP listener through Winsock. Windows has no descriptor for the
// console to wait on beside the socket: while a key may wake the wait, the
// socket is watched in short slices and the keyboard polled between them.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "console.h"
#include "error_state.h"
#include "udp_listener.h"

namespace {

constexpr int kReceiveBufferRequest = 8 << 20;
// How long the socket is watched before the keyboard is looked at again.
constexpr int kKeySliceMs = 20;

SOCKET socket_of(UdpHandle h) { return static_cast<SOCKET>(h.value); }

void set_socket_error() { set_error(WSAGetLastError()); }

// Winsock is started once, on first use, and left to the process end.
bool winsock_started() {
  static const bool started = [] {
    WSADATA data{};
    const int code = WSAStartup(MAKEWORD(2, 2), &data);
    if (code != 0) set_error(code);
    return code == 0;
  }();
  return started;
}

std::array<std::uint8_t, 4> address_bytes(const sockaddr* address) {
  std::array<std::uint8_t, 4> bytes{};
  const auto* in = reinterpret_cast<const sockaddr_in*>(address);
  std::memcpy(bytes.data(), &in->sin_addr, bytes.size());  // network order: a.b.c.d
  return bytes;
}

int milliseconds_left(std::chrono::steady_clock::time_point deadline) {
  using namespace std::chrono;
  const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

enum class Take { got, none, failed };

// One datagram without waiting (the socket does not block).
Take take_datagram(SOCKET s, std::string& out) {
  out.resize(kMaxDatagramSize);
  const int got = ::recvfrom(s, out.data(), static_cast<int>(out.size()), 0, nullptr, nullptr);
  if (got == SOCKET_ERROR) {
    out.clear();
    const int code = WSAGetLastError();
    // WSAECONNRESET: an earlier datagram of ours was refused; nothing to take.
    if (code == WSAEWOULDBLOCK || code == WSAEINTR || code == WSAECONNRESET) return Take::none;
    set_error(code);  // WSAEMSGSIZE among others: too long a datagram
    return Take::failed;
  }
  out.resize(static_cast<std::size_t>(got));
  return Take::got;
}

// Waits up to `ms` for the socket to hold a datagram: 1 ready, 0 not yet,
// -1 failed.
int wait_readable(SOCKET s, int ms) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval limit{ms / 1000, (ms % 1000) * 1000};
  const int ready = ::select(0, &readable, nullptr, nullptr, &limit);
  if (ready == SOCKET_ERROR) {
    set_socket_error();
    return -1;
  }
  return ready > 0 ? 1 : 0;
}

}  // namespace

// WSAEACCES: another program holds the port for its exclusive use.
bool is_port_taken_error(int error) { return error == WSAEADDRINUSE || error == WSAEACCES; }

UdpHandle open_udp_listener(int port) {
  if (port < 0 || port > 65535) {
    set_error(WSAEINVAL);
    return {};
  }
  if (!winsock_started()) return {};
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) {
    set_socket_error();
    return {};
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  const BOOL on = TRUE;
  u_long non_blocking = 1;
  // The port is ours alone while we hold it.
  if (::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on) != 0 ||
      ::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) != 0 ||
      ::ioctlsocket(s, FIONBIO, &non_blocking) != 0) {
    const int code = WSAGetLastError();
    ::closesocket(s);
    set_error(code);
    return {};
  }
  const int queue_bytes = kReceiveBufferRequest;
  ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&queue_bytes), sizeof queue_bytes);
  return UdpHandle{static_cast<std::intptr_t>(s)};
}

std::size_t take_waiting_datagrams(UdpHandle handle, std::deque<std::string>& into,
                                   std::size_t room_bytes) {
  if (!handle) return 0;
  std::string buffer;
  std::size_t taken = 0;
  while (taken < room_bytes && take_datagram(socket_of(handle), buffer) == Take::got) {
    into.emplace_back(buffer.data(), buffer.size());
    taken += queued_cost(into.back());
  }
  return taken;
}

ReceiveResult receive_datagram(UdpHandle handle, std::string& out, int timeout_ms,
                               int also_wake_fd) {
  out.clear();
  if (!handle) {
    set_error(WSAENOTSOCK);
    return ReceiveResult::error;
  }
  const bool wake_on_key = also_wake_fd >= 0;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(timeout_ms > 0 ? timeout_ms : 0);
  for (;;) {
    if (wake_on_key && key_waiting()) return ReceiveResult::key;
    int wait = timeout_ms < 0 ? kKeySliceMs : milliseconds_left(deadline);
    if (wake_on_key || timeout_ms < 0) wait = std::min(wait, kKeySliceMs);
    const int ready = wait_readable(socket_of(handle), wait);
    if (ready < 0) return ReceiveResult::error;
    if (ready > 0) {
      if (wake_on_key && key_waiting()) return ReceiveResult::key;  // keys before datagrams
      const Take take = take_datagram(socket_of(handle), out);
      if (take == Take::got) return ReceiveResult::datagram;
      if (take == Take::failed) return ReceiveResult::error;
      continue;
    }
    if (timeout_ms >= 0 && milliseconds_left(deadline) == 0) return ReceiveResult::timeout;
  }
}

void close_udp_listener(UdpHandle& handle) {
  if (handle && ::closesocket(socket_of(handle)) != 0) set_socket_error();
  handle = UdpHandle{};
}

HostIdentity host_identity() {
  HostIdentity host;
  const int saved = last_error();
  if (!winsock_started()) {
    clear_error();
    if (saved != 0) set_error(saved);
    return host;
  }
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) == 0) host.name = name;
  if (!host.name.empty()) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.name.c_str(), nullptr, &hints, &found) == 0) {
      // The first address that is not a loopback one, else the first.
      bool have = false;
      for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        if (a->ai_addr == nullptr || a->ai_family != AF_INET) continue;
        const std::array<std::uint8_t, 4> bytes = address_bytes(a->ai_addr);
        if (!have || host.address[0] == 127) host.address = bytes;
        have = true;
        if (bytes[0] != 127) break;
      }
      ::freeaddrinfo(found);
    }
  }
  if (last_error() != saved) {
    clear_error();
    if (saved != 0) set_error(saved);
  }
  return host;
}
