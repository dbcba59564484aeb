#include "wsjtx/udp_sender.h"

#include <chrono>
#include <thread>
#include <vector>

namespace {

// 224.0.0.0 to 239.255.255.255.
bool is_multicast(Ipv4Address address) { return (address[0] & 0xF0) == 0xE0; }

bool refuse(std::string& error, const std::string& reason) {
  error = reason;
  return false;
}

}  // namespace

bool open_udp_sender(const std::string& host, int port, UdpSender& sender, std::string& error) {
  if (const int code = socket_start_error()) return refuse(error, "no socket: " + socket_error_text(code));
  const std::vector<Ipv4Address> addresses = resolve_ipv4(host);
  if (addresses.empty()) return refuse(error, "unknown host " + host);
  UdpHandle socket;
  if (const int code = open_sending_socket(socket))
    return refuse(error, "no socket: " + socket_error_text(code));
  if (is_multicast(addresses.front()))
    if (const int code = send_multicast_on_loopback(socket))
      return refuse(error, "no multicast on loopback: " + socket_error_text(code));
  sender = {std::move(socket), addresses.front(), port};
  return true;
}

bool send_datagram(const UdpSender& sender, std::string_view bytes, std::string& error) {
  for (;;) {
    int code = 0;
    switch (send_to(sender.socket, sender.address, sender.port, bytes, code)) {
      case Sent::sent: return true;
      case Sent::interrupted: break;
      case Sent::busy: std::this_thread::sleep_for(std::chrono::milliseconds(1)); break;
      case Sent::failed: return refuse(error, "cannot send: " + socket_error_text(code));
    }
  }
}
