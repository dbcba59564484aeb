#include "wsjtx/host_identity.h"

#include <utility>

namespace {

bool is_loopback(Ipv4Address address) { return address[0] == 127; }

Ipv4Address preferred(const std::vector<Ipv4Address>& addresses) {
  for (const Ipv4Address& a : addresses)
    if (!is_loopback(a)) return a;
  return addresses.empty() ? Ipv4Address{} : addresses.front();
}

}  // namespace

HostIdentity choose_host_identity(std::string name, const std::vector<Ipv4Interface>& interfaces,
                                  std::vector<Ipv4Address> (*resolve)(const std::string& name)) {
  HostIdentity host{std::move(name), {}};
  for (const Ipv4Interface& i : interfaces)
    if (i.up && !i.loopback) {
      host.address = i.address;
      return host;
    }
  if (!host.name.empty()) host.address = preferred(resolve(host.name));
  return host;
}

HostIdentity host_identity() {
  if (socket_start_error() != 0) return {};
  return choose_host_identity(host_name(), ipv4_interfaces(), resolve_ipv4);
}
