#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "live_tracker/udp_listener.h"
#include "live_tracker/udp_socket.h"

namespace {

int fd_of(const UdpHandle& h) { return static_cast<int>(h.native()); }

constexpr int kReceiveBufferRequest = 8 << 20;

// Joins the group on the interface that has `interface_address`. A failure
// (the interface cannot take multicast, or was joined through another of
// its addresses) leaves the socket as it was.
void join_group_on(int fd, in_addr interface_address) {
  ip_mreq request{};
  request.imr_multiaddr.s_addr = htonl(kWsjtxGroup);
  request.imr_interface = interface_address;
  ::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request);
}

// The group on loopback, where WSJT-X sends it unless told otherwise, and on
// every other IPv4 interface that is up and takes multicast.
void join_group(int fd) {
  join_group_on(fd, in_addr{htonl(INADDR_LOOPBACK)});
  ifaddrs* interfaces = nullptr;
  if (::getifaddrs(&interfaces) != 0) return;
  for (const ifaddrs* i = interfaces; i != nullptr; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
    if (!(i->ifa_flags & IFF_UP) || !(i->ifa_flags & IFF_MULTICAST) || (i->ifa_flags & IFF_LOOPBACK))
      continue;
    join_group_on(fd, reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr);
  }
  ::freeifaddrs(interfaces);
}

}  // namespace

Take take_datagram(const UdpHandle& handle, std::string& out) {
  const int fd = fd_of(handle);
  out.resize(kMaxDatagramSize);
  iovec part{out.data(), out.size()};
  msghdr header{};
  header.msg_iov = &part;
  header.msg_iovlen = 1;
  const ssize_t got = ::recvmsg(fd, &header, MSG_DONTWAIT);
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

OpenedListener open_udp_listener(int port) {
  if (port < 0 || port > 65535) return {{}, EINVAL};
  UdpHandle socket(::socket(AF_INET, SOCK_DGRAM, 0));
  if (!socket) return {{}, errno};
  const int fd = fd_of(socket);
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_ANY);
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
    return {{}, errno};
  // A deep receive queue rides out bursts while the console is slow; the
  // system caps it at what it allows.
  const int queue_bytes = kReceiveBufferRequest;
  ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &queue_bytes, sizeof queue_bytes);
  join_group(fd);
  return {std::move(socket), 0};
}

bool is_port_taken_error(int error) { return error == EADDRINUSE; }

ReceiveResult wait_for_datagram(const UdpHandle& handle, std::string& out, int timeout_ms,
                                std::chrono::steady_clock::time_point deadline, const KeyWake& keys) {
  const int also_wake_fd = keys.keys_can_come ? keys.descriptor : -1;
  const nfds_t count = also_wake_fd >= 0 ? 2 : 1;
  for (;;) {
    pollfd watched[2] = {{fd_of(handle), POLLIN, 0}, {also_wake_fd, POLLIN, 0}};
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

bool close_udp_handle(std::intptr_t native) { return ::close(static_cast<int>(native)) == 0; }

HostIdentity host_identity() {
  HostIdentity host;
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) == 0) host.name = name;

  ifaddrs* interfaces = nullptr;
  if (::getifaddrs(&interfaces) == 0) {
    for (const ifaddrs* i = interfaces; i != nullptr; i = i->ifa_next) {
      if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
      if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK)) continue;
      host.address = address_bytes(&reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr);
      ::freeifaddrs(interfaces);
      return host;
    }
    ::freeifaddrs(interfaces);
  }

  if (!host.name.empty()) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.name.c_str(), nullptr, &hints, &found) == 0) {
      for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        if (a->ai_addr == nullptr || a->ai_family != AF_INET) continue;
        host.address = address_bytes(&reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr);
        break;
      }
      ::freeaddrinfo(found);
    }
  }
  return host;
}
