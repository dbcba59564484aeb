// The UDP listener through Winsock. A key wakes a wait as key_wake.h says:
// the socket is watched in short slices and the keyboard asked between them.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "console/key_wake.h"
#include "live_tracker/udp_listener.h"
#include "live_tracker/udp_socket.h"

namespace {

constexpr int kReceiveBufferRequest = 8 << 20;

SOCKET socket_of(const UdpHandle& h) { return static_cast<SOCKET>(h.native()); }

// Winsock is started once, on first use, and left to the process end; the
// error number of the start, 0 when it started.
int winsock_start_error() {
  static const int error = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data);
  }();
  return error;
}

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

// Joins the group on the interface that has `interface_address`; a failure
// leaves the socket as it was.
void join_group_on(SOCKET s, in_addr interface_address) {
  ip_mreq request{};
  request.imr_multiaddr.s_addr = htonl(kWsjtxGroup);
  request.imr_interface = interface_address;
  ::setsockopt(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&request), sizeof request);
}

// The group on loopback, where WSJT-X sends it unless told otherwise, and on
// every other IPv4 interface that is up and takes multicast.
void join_group(SOCKET s) {
  in_addr loopback{};
  loopback.s_addr = htonl(INADDR_LOOPBACK);
  join_group_on(s, loopback);
  INTERFACE_INFO interfaces[64];
  DWORD bytes = 0;
  if (::WSAIoctl(s, SIO_GET_INTERFACE_LIST, nullptr, 0, interfaces, sizeof interfaces, &bytes, nullptr,
                 nullptr) != 0)
    return;
  for (DWORD k = 0; k < bytes / sizeof(INTERFACE_INFO); ++k) {
    const INTERFACE_INFO& i = interfaces[k];
    if (i.iiAddress.Address.sa_family != AF_INET) continue;
    if (!(i.iiFlags & IFF_UP) || !(i.iiFlags & IFF_MULTICAST) || (i.iiFlags & IFF_LOOPBACK)) continue;
    join_group_on(s, i.iiAddress.AddressIn.sin_addr);
  }
}

}  // namespace

// The socket does not block.
Take take_datagram(const UdpHandle& handle, std::string& out) {
  const SOCKET s = socket_of(handle);
  out.resize(kMaxDatagramSize);
  const int got = ::recvfrom(s, out.data(), static_cast<int>(out.size()), 0, nullptr, nullptr);
  if (got == SOCKET_ERROR) {
    out.clear();
    const int code = WSAGetLastError();
    // WSAECONNRESET: an earlier datagram of ours was refused; nothing to take.
    if (code == WSAEWOULDBLOCK || code == WSAEINTR || code == WSAECONNRESET) return Take::none;
    return Take::failed;  // WSAEMSGSIZE among others: too long a datagram
  }
  out.resize(static_cast<std::size_t>(got));
  return Take::got;
}

// WSAEACCES: another program holds the port for its exclusive use.
bool is_port_taken_error(int error) { return error == WSAEADDRINUSE || error == WSAEACCES; }

OpenedListener open_udp_listener(int port) {
  if (port < 0 || port > 65535) return {{}, WSAEINVAL};
  if (const int error = winsock_start_error()) return {{}, error};
  UdpHandle socket(static_cast<std::intptr_t>(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)));
  if (!socket) return {{}, WSAGetLastError()};
  const SOCKET s = socket_of(socket);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  const BOOL on = TRUE;
  u_long non_blocking = 1;
  // Shared with the other listeners that ask to share it. Windows lets
  // SO_REUSEADDR bind beside a program that took the port with no option
  // at all; only one that asked for SO_EXCLUSIVEADDRUSE keeps us out
  // (WSAEACCES).
  if (::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on) != 0 ||
      ::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) != 0 ||
      ::ioctlsocket(s, FIONBIO, &non_blocking) != 0)
    return {{}, WSAGetLastError()};
  const int queue_bytes = kReceiveBufferRequest;
  ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&queue_bytes), sizeof queue_bytes);
  join_group(s);
  return {std::move(socket), 0};
}

ReceiveResult wait_for_datagram(const UdpHandle& handle, std::string& out, int timeout_ms,
                                std::chrono::steady_clock::time_point deadline, const KeyWake& keys) {
  const bool wake_on_key = keys.keys_can_come;
  for (;;) {
    if (wake_on_key && key_waiting()) return ReceiveResult::key;
    int wait = timeout_ms < 0 ? kKeySliceMs : milliseconds_left(deadline);
    if (wake_on_key || timeout_ms < 0) wait = std::min(wait, kKeySliceMs);
    const int ready = wait_readable(socket_of(handle), wait);
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

bool close_udp_handle(std::intptr_t native) { return ::closesocket(static_cast<SOCKET>(native)) == 0; }

HostIdentity host_identity() {
  HostIdentity host;
  if (winsock_start_error() != 0) return host;
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
        const std::array<std::uint8_t, 4> bytes =
            address_bytes(&reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr);
        if (!have || host.address[0] == 127) host.address = bytes;
        have = true;
        if (bytes[0] != 127) break;
      }
      ::freeaddrinfo(found);
    }
  }
  return host;
}
