#include "wsjtx/host_identity.h"

#include <gtest/gtest.h>

namespace {

using Addresses = std::vector<Ipv4Address>;

const Ipv4Interface kLoopback{{127, 0, 0, 1}, true, true, true};

Addresses never_asked(const std::string&) {
  ADD_FAILURE() << "the host name was resolved";
  return {};
}

TEST(HostIdentity, AnInterfaceThatIsUpAndNoLoopbackComesFirst) {
  const std::vector<Ipv4Interface> interfaces{
      kLoopback, {{10, 0, 0, 7}, false, true, false}, {{192, 168, 1, 20}, true, false, false}};
  const HostIdentity host = choose_host_identity("shack", interfaces, never_asked);
  EXPECT_EQ(host.name, "shack");
  EXPECT_EQ(host.address, (Ipv4Address{192, 168, 1, 20}));
}

// Debian's /etc/hosts gives the host name 127.0.1.1 before the address of
// its network: the network's address is shown, on every system.
TEST(HostIdentity, ElseTheNameResolvesToAnAddressThatIsNoLoopbackOne) {
  const std::vector<Ipv4Interface> interfaces{kLoopback};
  auto loopback_first = [](const std::string& name) {
    EXPECT_EQ(name, "shack");
    return Addresses{{127, 0, 1, 1}, {192, 168, 1, 5}, {10, 0, 0, 2}};
  };
  EXPECT_EQ(choose_host_identity("shack", interfaces, loopback_first).address, (Ipv4Address{192, 168, 1, 5}));
  auto loopback_only = [](const std::string&) { return Addresses{{127, 0, 1, 1}, {127, 0, 0, 1}}; };
  EXPECT_EQ(choose_host_identity("shack", {}, loopback_only).address, (Ipv4Address{127, 0, 1, 1}));
  auto nothing = [](const std::string&) { return Addresses{}; };
  EXPECT_EQ(choose_host_identity("shack", interfaces, nothing).address, (Ipv4Address{0, 0, 0, 0}));
  EXPECT_EQ(choose_host_identity("", interfaces, never_asked).address, (Ipv4Address{0, 0, 0, 0}));
}

TEST(HostIdentity, HasAName) { EXPECT_FALSE(host_identity().name.empty()); }

}  // namespace
