#include "wsjtx/udp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "wsjtx/protocol.h"
#include "wsjtx/udp_listener.h"

namespace {

int fd_of(const UdpHandle& h) { return static_cast<int>(h.native()); }

constexpr int kReceiveBufferRequest = 8 << 20;

sockaddr_in socket_address(Ipv4Address address, int port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  put_address(address, &to.sin_addr);
  return to;
}

}  // namespace

bool close_udp_handle(std::intptr_t native) { return ::close(static_cast<int>(native)) == 0; }

int socket_start_error() { return 0; }

std::string socket_error_text(int error) { return std::strerror(error); }

int open_bound_socket(int port, UdpHandle& out) {
  if (port < 0 || port > 65535) return EINVAL;
  UdpHandle socket(::socket(AF_INET, SOCK_DGRAM, 0));
  if (!socket) return errno;
  const int fd = fd_of(socket);
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  const sockaddr_in address = socket_address({0, 0, 0, 0}, port);
  const int on = 1;
  // Shared with the other listeners that ask to share it. BSD and macOS
  // give each of several sockets the group's datagrams only with
  // SO_REUSEPORT too; on Linux that option would also spread unicast
  // datagrams among them, and SO_REUSEADDR is enough.
  if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
#if defined(SO_REUSEPORT) && !defined(__linux__)
      ::setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on) != 0 ||
#endif
      ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
    return errno;
  // A deep receive queue rides out bursts while the console is slow; the
  // system caps it at what it allows.
  const int queue_bytes = kReceiveBufferRequest;
  ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &queue_bytes, sizeof queue_bytes);
  out = std::move(socket);
  return 0;
}

bool is_port_taken_error(int error) { return error == EADDRINUSE; }

void join_group_on(const UdpHandle& socket, Ipv4Address interface_address) {
  ip_mreq request{};
  request.imr_multiaddr.s_addr = htonl(kWsjtxGroup);
  put_address(interface_address, &request.imr_interface);
  ::setsockopt(fd_of(socket), IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request);
}

Take take_datagram(const UdpHandle& socket, std::string& out) {
  out.resize(kMaxDatagramSize);
  iovec part{out.data(), out.size()};
  msghdr header{};
  header.msg_iov = &part;
  header.msg_iovlen = 1;
  const ssize_t got = ::recvmsg(fd_of(socket), &header, MSG_DONTWAIT);
  if (got < 0) {
    out.clear();
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return Take::none;
    return Take::failed;
  }
  if (header.msg_flags & MSG_TRUNC) {  // too long a datagram
    out.clear();
    return Take::failed;
  }
  out.resize(static_cast<std::size_t>(got));
  return Take::got;
}

std::vector<Ipv4Interface> ipv4_interfaces() {
  std::vector<Ipv4Interface> found;
  ifaddrs* interfaces = nullptr;
  if (::getifaddrs(&interfaces) != 0) return found;
  for (const ifaddrs* i = interfaces; i != nullptr; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
    found.push_back({address_from(&reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr),
                     (i->ifa_flags & IFF_UP) != 0, (i->ifa_flags & IFF_MULTICAST) != 0,
                     (i->ifa_flags & IFF_LOOPBACK) != 0});
  }
  ::freeifaddrs(interfaces);
  return found;
}

std::string host_name() {
  char name[256] = {};
  return ::gethostname(name, sizeof name - 1) == 0 ? name : "";
}

std::vector<Ipv4Address> resolve_ipv4(const std::string& host) {
  in_addr dotted{};
  if (::inet_pton(AF_INET, host.c_str(), &dotted) == 1) return {address_from(&dotted)};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return {};
  std::vector<Ipv4Address> addresses;
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next)
    if (a->ai_addr != nullptr && a->ai_family == AF_INET)
      addresses.push_back(address_from(&reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr));
  ::freeaddrinfo(found);
  return addresses;
}

int open_sending_socket(UdpHandle& out) {
  UdpHandle socket(::socket(AF_INET, SOCK_DGRAM, 0));
  const int on = 1;
  if (!socket || ::setsockopt(fd_of(socket), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) return errno;
  out = std::move(socket);
  return 0;
}

int send_multicast_on_loopback(const UdpHandle& socket) {
  const in_addr loopback{htonl(INADDR_LOOPBACK)};
  const unsigned char ttl = 1;
  if (::setsockopt(fd_of(socket), IPPROTO_IP, IP_MULTICAST_IF, &loopback, sizeof loopback) != 0 ||
      ::setsockopt(fd_of(socket), IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0)
    return errno;
  return 0;
}

Sent send_to(const UdpHandle& socket, Ipv4Address address, int port, std::string_view bytes, int& error) {
  const sockaddr_in to = socket_address(address, port);
  if (::sendto(fd_of(socket), bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to) >= 0)
    return Sent::sent;
  error = errno;
  if (error == EINTR) return Sent::interrupted;
  return error == ENOBUFS ? Sent::busy : Sent::failed;  // ENOBUFS: the queue is full for a moment
}
