#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "tools/udp_sender.h"

namespace {

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
  in_addr address{};
  if (!find_address(host, address)) {
    error = "unknown host " + host;
    return false;
  }
  sender.address = address.s_addr;
  sender.port = htons(static_cast<std::uint16_t>(port));
  const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
  const int on = 1;
  if (s < 0 || ::setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
    error = std::string("no socket: ") + std::strerror(errno);
    if (s >= 0) ::close(s);
    return false;
  }
  // A multicast group, as WSJT-X sends to it by default: on the loopback
  // interface, no further than this computer.
  if (IN_MULTICAST(ntohl(address.s_addr))) {
    in_addr loopback{htonl(INADDR_LOOPBACK)};
    const unsigned char ttl = 1;
    if (::setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, &loopback, sizeof loopback) != 0 ||
        ::setsockopt(s, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0) {
      error = std::string("no multicast on loopback: ") + std::strerror(errno);
      ::close(s);
      return false;
    }
  }
  sender.socket = s;
  return true;
}

bool send_datagram(const UdpSender& sender, std::string_view bytes, std::string& error) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = sender.port;
  to.sin_addr.s_addr = sender.address;
  for (;;) {
    const ssize_t n = ::sendto(static_cast<int>(sender.socket), bytes.data(), bytes.size(), 0,
                               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (n >= 0) return true;
    if (errno == EINTR) continue;
    if (errno == ENOBUFS) {  // the sending queue is full for a moment
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    error = std::string("cannot send: ") + std::strerror(errno);
    return false;
  }
}

void close_udp_sender(UdpSender& sender) {
  if (sender.socket >= 0) ::close(static_cast<int>(sender.socket));
  sender.socket = -1;
}
