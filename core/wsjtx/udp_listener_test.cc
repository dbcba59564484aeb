#include "wsjtx/udp_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>

namespace {

// Each test has a port of its own, away from the programs' 16004, so that
// tests run side by side do not meet.
constexpr int kBytesPort = 16099;
constexpr int kSharePort = 16098;
constexpr int kTimeoutPort = 16097;
constexpr int kKeyPort = 16096;

using Clock = std::chrono::steady_clock;

long elapsed_ms(Clock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

void send_to_local(int port, const std::string& bytes) {
  const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(s, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const ssize_t sent =
      ::sendto(s, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  ::close(s);
  ASSERT_EQ(sent, static_cast<ssize_t>(bytes.size()));
}

TEST(UdpListener, ReceivesDatagramsByteForByte) {
  auto [listener, listener_error] = open_udp_listener(kBytesPort);
  ASSERT_TRUE(listener) << listener_error;
  const std::string bytes("\xAD\xBC\xCB\xDA\x00\x00\x00\x02\xFF\r\n\x00tail", 16);
  send_to_local(kBytesPort, bytes);
  send_to_local(kBytesPort, "");
  const std::string largest(65507, '\x7F');  // the most an IPv4 datagram holds
  send_to_local(kBytesPort, largest);

  std::string got = "left over";
  ASSERT_EQ(receive_datagram(listener, got, 2000), ReceiveResult::datagram);
  EXPECT_EQ(got, bytes);
  ASSERT_EQ(receive_datagram(listener, got, 2000), ReceiveResult::datagram);
  EXPECT_EQ(got, "");
  ASSERT_EQ(receive_datagram(listener, got, 2000), ReceiveResult::datagram);
  EXPECT_EQ(got, largest);
  listener.close();
  EXPECT_FALSE(listener);
}

// A socket bound to the port without asking to share it, as a program that
// wants the port alone binds it.
int bind_alone(int port) {
  const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  if (::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return s;
  ::close(s);
  return -1;
}

// The port is shared with listeners that share it, in whichever order they
// come, and with no other.
TEST(UdpListener, PortIsSharedOnlyWithListenersThatShareIt) {
  auto [first, first_error] = open_udp_listener(kSharePort);
  ASSERT_TRUE(first) << first_error;
  auto [second, second_error] = open_udp_listener(kSharePort);
  EXPECT_TRUE(second) << second_error;
  EXPECT_EQ(bind_alone(kSharePort), -1);
  first.close();
  second.close();

  const int alone = bind_alone(kSharePort);
  ASSERT_GE(alone, 0);
  auto [refused, refused_error] = open_udp_listener(kSharePort);
  EXPECT_FALSE(refused);
  EXPECT_EQ(refused_error, EADDRINUSE);
  EXPECT_TRUE(is_port_taken_error(refused_error));
  // Closing gives the port back at once.
  ::close(alone);
  auto [again, again_error] = open_udp_listener(kSharePort);
  EXPECT_TRUE(again) << again_error;
  again.close();
}

TEST(UdpListener, TimesOutWhenNothingArrives) {
  auto [listener, listener_error] = open_udp_listener(kTimeoutPort);
  ASSERT_TRUE(listener) << listener_error;
  std::string got = "left over";
  const auto start = Clock::now();
  EXPECT_EQ(receive_datagram(listener, got, 50), ReceiveResult::timeout);
  EXPECT_GE(elapsed_ms(start), 45);
  EXPECT_LT(elapsed_ms(start), 1000);
  EXPECT_EQ(got, "");
  EXPECT_EQ(receive_datagram(listener, got, 0), ReceiveResult::timeout);
  listener.close();
}

TEST(UdpListener, KeyWakesAtOnceAndComesBeforeDatagrams) {
  auto [listener, listener_error] = open_udp_listener(kKeyPort);
  ASSERT_TRUE(listener) << listener_error;
  int keyboard[2];
  ASSERT_EQ(::pipe(keyboard), 0);
  const KeyWake keys{true, keyboard[0]};
  std::string got;

  // Nothing typed: the pipe does not wake the wait, a datagram does.
  send_to_local(kKeyPort, "one");
  ASSERT_EQ(receive_datagram(listener, got, 2000, keys), ReceiveResult::datagram);
  EXPECT_EQ(got, "one");

  ASSERT_EQ(::write(keyboard[1], "\x1b", 1), 1);
  auto start = Clock::now();
  EXPECT_EQ(receive_datagram(listener, got, 10000, keys), ReceiveResult::key);
  EXPECT_LT(elapsed_ms(start), 1000);

  // A key and a datagram both waiting: the key first, the datagram kept.
  send_to_local(kKeyPort, "two");
  EXPECT_EQ(receive_datagram(listener, got, 2000, keys), ReceiveResult::key);
  char key;
  ASSERT_EQ(::read(keyboard[0], &key, 1), 1);
  ASSERT_EQ(receive_datagram(listener, got, 2000, keys), ReceiveResult::datagram);
  EXPECT_EQ(got, "two");

  ::close(keyboard[0]);
  ::close(keyboard[1]);
  listener.close();
}

TEST(UdpListener, InvalidHandleIsAnError) {
  UdpHandle none;
  std::string got;
  EXPECT_EQ(receive_datagram(none, got, 10), ReceiveResult::error);
}

}  // namespace
