// The sender through Winsock.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <thread>

#include "tools/udp_sender.h"

namespace {

std::string socket_error(const char* what) {
  return std::string(what) + ": Winsock error " + std::to_string(WSAGetLastError());
}

bool find_address(const std::string& host, in_addr& address) {
  if (::inet_pton(AF_INET, host.c_str(), &address) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
  address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  ::freeaddrinfo(found);
  return true;
}

}  // namespace

bool open_udp_sender(const std::string& host, int port, UdpSender& sender, std::string& error) {
  WSADATA data{};
  if (const int code = WSAStartup(MAKEWORD(2, 2), &data); code != 0) {
    error = "no socket: Winsock error " + std::to_string(code);
    return false;
  }
  in_addr address{};
  if (!find_address(host, address)) {
    error = "unknown host " + host;
    return false;
  }
  sender.address = address.s_addr;
  sender.port = htons(static_cast<u_short>(port));
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  const BOOL on = TRUE;
  if (s == INVALID_SOCKET ||
      ::setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) != 0) {
    error = socket_error("no socket");
    if (s != INVALID_SOCKET) ::closesocket(s);
    return false;
  }
  // A multicast group, as WSJT-X sends to it by default: on the loopback
  // interface, no further than this computer.
  if (IN_MULTICAST(ntohl(address.s_addr))) {
    in_addr loopback{};
    loopback.s_addr = htonl(INADDR_LOOPBACK);
    const DWORD ttl = 1;
    if (::setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&loopback),
                     sizeof loopback) != 0 ||
        ::setsockopt(s, IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&ttl), sizeof ttl) != 0) {
      error = socket_error("no multicast on loopback");
      ::closesocket(s);
      return false;
    }
  }
  sender.socket = static_cast<std::intptr_t>(s);
  return true;
}

bool send_datagram(const UdpSender& sender, std::string_view bytes, std::string& error) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = sender.port;
  to.sin_addr.s_addr = sender.address;
  for (;;) {
    const int n = ::sendto(static_cast<SOCKET>(sender.socket), bytes.data(), static_cast<int>(bytes.size()),
                           0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (n != SOCKET_ERROR) return true;
    if (WSAGetLastError() == WSAENOBUFS || WSAGetLastError() == WSAEWOULDBLOCK) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the queue is full for a moment
      continue;
    }
    error = socket_error("cannot send");
    return false;
  }
}

void close_udp_sender(UdpSender& sender) {
  if (sender.socket >= 0) ::closesocket(static_cast<SOCKET>(sender.socket));
  sender.socket = -1;
}
