// The UDP socket through Winsock.
#include "wsjtx/udp_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "wsjtx/protocol.h"
#include "wsjtx/udp_listener.h"

namespace {

constexpr int kReceiveBufferRequest = 8 << 20;
constexpr int kMostInterfaces = 64;

SOCKET socket_of(const UdpHandle& h) { return static_cast<SOCKET>(h.native()); }

sockaddr_in socket_address(Ipv4Address address, int port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<u_short>(port));
  put_address(address, &to.sin_addr);
  return to;
}

template <typename Value>
bool set_option(const UdpHandle& socket, int level, int name, const Value& value) {
  return ::setsockopt(socket_of(socket), level, name, reinterpret_cast<const char*>(&value), sizeof value) ==
         0;
}

}  // namespace

bool close_udp_handle(std::intptr_t native) { return ::closesocket(static_cast<SOCKET>(native)) == 0; }

int socket_start_error() {
  static const int error = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data);
  }();
  return error;
}

std::string socket_error_text(int error) { return "Winsock error " + std::to_string(error); }

int open_bound_socket(int port, UdpHandle& out) {
  if (port < 0 || port > 65535) return WSAEINVAL;
  UdpHandle socket(static_cast<std::intptr_t>(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)));
  if (!socket) return WSAGetLastError();
  const sockaddr_in address = socket_address({0, 0, 0, 0}, port);
  const BOOL on = TRUE;
  u_long non_blocking = 1;
  // Shared with the other listeners that ask to share it. Windows lets
  // SO_REUSEADDR bind beside a program that took the port with no option
  // at all; only one that asked for SO_EXCLUSIVEADDRUSE keeps us out
  // (WSAEACCES).
  if (!set_option(socket, SOL_SOCKET, SO_REUSEADDR, on) ||
      ::bind(socket_of(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      !set_option(socket, SOL_SOCKET, SO_BROADCAST, on) ||
      ::ioctlsocket(socket_of(socket), FIONBIO, &non_blocking) != 0)
    return WSAGetLastError();
  const int queue_bytes = kReceiveBufferRequest;
  set_option(socket, SOL_SOCKET, SO_RCVBUF, queue_bytes);
  out = std::move(socket);
  return 0;
}

// WSAEACCES: another program holds the port for its exclusive use.
bool is_port_taken_error(int error) { return error == WSAEADDRINUSE || error == WSAEACCES; }

void join_group_on(const UdpHandle& socket, Ipv4Address interface_address) {
  ip_mreq request{};
  request.imr_multiaddr.s_addr = htonl(kWsjtxGroup);
  put_address(interface_address, &request.imr_interface);
  set_option(socket, IPPROTO_IP, IP_ADD_MEMBERSHIP, request);
}

// The socket does not block.
Take take_datagram(const UdpHandle& socket, std::string& out) {
  out.resize(kMaxDatagramSize);
  const int got =
      ::recvfrom(socket_of(socket), out.data(), static_cast<int>(out.size()), 0, nullptr, nullptr);
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

// Winsock lists the interfaces to a socket: one is opened for the asking.
std::vector<Ipv4Interface> ipv4_interfaces() {
  std::vector<Ipv4Interface> found;
  const UdpHandle asking(static_cast<std::intptr_t>(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)));
  INTERFACE_INFO interfaces[kMostInterfaces];
  DWORD bytes = 0;
  if (!asking || ::WSAIoctl(socket_of(asking), SIO_GET_INTERFACE_LIST, nullptr, 0, interfaces,
                            sizeof interfaces, &bytes, nullptr, nullptr) != 0)
    return found;
  for (DWORD k = 0; k < bytes / sizeof(INTERFACE_INFO); ++k) {
    const INTERFACE_INFO& i = interfaces[k];
    if (i.iiAddress.Address.sa_family != AF_INET) continue;
    found.push_back({address_from(&i.iiAddress.AddressIn.sin_addr), (i.iiFlags & IFF_UP) != 0,
                     (i.iiFlags & IFF_MULTICAST) != 0, (i.iiFlags & IFF_LOOPBACK) != 0});
  }
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
  UdpHandle socket(static_cast<std::intptr_t>(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)));
  const BOOL on = TRUE;
  if (!socket || !set_option(socket, SOL_SOCKET, SO_BROADCAST, on)) return WSAGetLastError();
  out = std::move(socket);
  return 0;
}

int send_multicast_on_loopback(const UdpHandle& socket) {
  in_addr loopback{};
  loopback.s_addr = htonl(INADDR_LOOPBACK);
  const DWORD ttl = 1;
  if (!set_option(socket, IPPROTO_IP, IP_MULTICAST_IF, loopback) ||
      !set_option(socket, IPPROTO_IP, IP_MULTICAST_TTL, ttl))
    return WSAGetLastError();
  return 0;
}

Sent send_to(const UdpHandle& socket, Ipv4Address address, int port, std::string_view bytes, int& error) {
  const sockaddr_in to = socket_address(address, port);
  if (::sendto(socket_of(socket), bytes.data(), static_cast<int>(bytes.size()), 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to) != SOCKET_ERROR)
    return Sent::sent;
  error = WSAGetLastError();
  // The sending queue is full for a moment.
  return error == WSAENOBUFS || error == WSAEWOULDBLOCK ? Sent::busy : Sent::failed;
}
