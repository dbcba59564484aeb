// What the host calls itself, as live_tracker shows it beside the port it
// listens on.
#ifndef WSJTX_HOST_IDENTITY_H
#define WSJTX_HOST_IDENTITY_H

#include <string>
#include <vector>

#include "wsjtx/udp_socket.h"

struct HostIdentity {
  std::string name;       // "" when it cannot be had
  Ipv4Address address{};  // 0.0.0.0 when none is found
};

// The host name, and the first IPv4 address of an interface that is up and
// not a loopback; failing that the first address the host name resolves to
// that is not a loopback one (127.x.x.x), else the first it resolves to;
// failing that 0.0.0.0. The same on every system.
HostIdentity host_identity();

// host_identity's choice over what the system gives: the interfaces, and
// `resolve` (asked only when no interface has an address to show) for the
// host name's addresses.
HostIdentity choose_host_identity(std::string name, const std::vector<Ipv4Interface>& interfaces,
                                  std::vector<Ipv4Address> (*resolve)(const std::string& name));

#endif  // WSJTX_HOST_IDENTITY_H
