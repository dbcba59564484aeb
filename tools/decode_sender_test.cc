// decode_sender as a listener hears it: the datagrams that it makes of each
// log layout, of messages and of raw bytes, byte for byte.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "wsjtx/datagram_reader.h"
#include "wsjtx/datagram_writer.h"
#include "wsjtx/udp_listener.h"

namespace {

// Each test has a port of its own, away from the programs' 16004 and from
// the listener's tests, so that tests run side by side do not meet.
constexpr int kLogSenderPort = 16095;
constexpr int kMessageSenderPort = 16094;
constexpr int kLayoutSenderPort = 16093;

// Every datagram that arrives within `quiet_ms` of the one before.
std::vector<std::string> drain(const UdpHandle& listener, int quiet_ms = 500) {
  std::vector<std::string> got;
  std::string bytes;
  while (receive_datagram(listener, bytes, quiet_ms) == ReceiveResult::datagram) got.push_back(bytes);
  return got;
}

int run(const std::string& arguments) {
  const std::string command = std::string("'") + DECODE_SENDER_PATH + "' " + arguments + " >/dev/null";
  return std::system(command.c_str());
}

TEST(DecodeSender, ReplaysALogWithHeartbeats) {
  char name[] = "/tmp/decode_sender_logXXXXXX";
  const int fd = ::mkstemp(name);
  ASSERT_GE(fd, 0);
  // CR LF, CR and LF line ends, a date line and a frequency line between.
  const std::string log =
      "2024-05-17 2131  14.074 MHz  FT8\r\n"
      "2148        -6   0.4  709  ~        DECPAA-MBXAAA   \r\n"
      "------ 18/05/2024 ------\r"
      "0017       -10  -0.1 2783  ~        CQ 2E0ABC IO93\r"
      "\n"
      "2359        12   1.5    5  ~        \n";
  ASSERT_EQ(::write(fd, log.data(), log.size()), static_cast<ssize_t>(log.size()));
  ::close(fd);

  auto [listener, listener_error] = open_udp_listener(kLogSenderPort);
  ASSERT_TRUE(listener) << listener_error;
  ASSERT_EQ(run("--port " + std::to_string(kLogSenderPort) + " --heartbeats --log " + name), 0);
  const std::vector<std::string> got = drain(listener);
  listener.close();
  ::unlink(name);

  // The line without a message is no decode.
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[1], encode_heartbeat());
  EXPECT_FALSE(parse_decode_datagram(got[1]));

  auto r = parse_decode_datagram(got[0]);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->time_text, "21:48");
  EXPECT_EQ(r->snr_db, -6);
  EXPECT_EQ(r->dt_s, 0.4);
  EXPECT_EQ(r->audio_offset_hz, 709);
  EXPECT_EQ(r->message, "DECPAA-MBXAAA");
  r = parse_decode_datagram(got[2]);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->time_text, "00:17");
  EXPECT_EQ(r->snr_db, -10);
  EXPECT_EQ(r->dt_s, -0.1);
  EXPECT_EQ(r->audio_offset_hz, 2783);
  EXPECT_EQ(r->message, "CQ 2E0ABC IO93");
}

// Every layout that the log readers read, not only the fixed columns: a
// WSJT-X 2.x ALL.TXT line (a long mode label, our own Tx line passed over),
// a 1.7 to 2.0.0 one, a decoded.txt line of jt9 for FT8 (hhmmss), a WSJT 10
// line; JTDX's band header with four decimals is no decode.
TEST(DecodeSender, ReplaysEveryLogLayout) {
  char name[] = "/tmp/decode_sender_layoutsXXXXXX";
  const int fd = ::mkstemp(name);
  ASSERT_GE(fd, 0);
  const std::string log =
      "250309_113530    50.275 Rx Q65-30A  -7  0.9 1527 DFVKCT-MDWBGQ\n"
      "250309_113545    14.074 Tx FT8      0  0.0 1500 CQ 2E0ABC IO93\n"
      "1230 -21  0.8 1456 #  CQ K1ABC FN42\n"
      "123015  12  -10   0.3   1234.   0   DECPAA-MBXAAA\n"
      "20220506_065150  50.3119 MHz  FT8 JTDX v2.2.1592a0e2b\n"
      "162200  4  -17  0.1 -213  3 *      WF1G K6RGS R-16           1   0 \n";
  ASSERT_EQ(::write(fd, log.data(), log.size()), static_cast<ssize_t>(log.size()));
  ::close(fd);

  auto [listener, listener_error] = open_udp_listener(kLayoutSenderPort);
  ASSERT_TRUE(listener) << listener_error;
  ASSERT_EQ(run("--port " + std::to_string(kLayoutSenderPort) + " --log " + name), 0);
  const std::vector<std::string> got = drain(listener);
  listener.close();
  ::unlink(name);

  ASSERT_EQ(got.size(), 4u);
  DecodeFields expected;
  expected.time_ms = ((11 * 60 + 35) * 60 + 30) * 1000;
  expected.snr_db = -7;
  expected.dt_s = 0.9;
  expected.audio_offset_hz = 1527;
  expected.message = "DFVKCT-MDWBGQ";
  EXPECT_EQ(got[0], encode_decode_datagram(expected));
  expected.time_ms = (12 * 60 + 30) * 60 * 1000;
  expected.snr_db = -21;
  expected.dt_s = 0.8;
  expected.audio_offset_hz = 1456;
  expected.message = "CQ K1ABC FN42";
  EXPECT_EQ(got[1], encode_decode_datagram(expected));
  expected.time_ms = ((12 * 60 + 30) * 60 + 15) * 1000;
  expected.snr_db = -10;
  expected.dt_s = 0.3;
  expected.audio_offset_hz = 1234;
  expected.message = "DECPAA-MBXAAA";
  EXPECT_EQ(got[2], encode_decode_datagram(expected));
  expected.time_ms = ((16 * 60 + 22) * 60) * 1000;
  expected.snr_db = -17;
  expected.dt_s = 0.1;
  expected.audio_offset_hz = -213;
  expected.message = "WF1G K6RGS R-16";
  EXPECT_EQ(got[3], encode_decode_datagram(expected));
}

TEST(DecodeSender, SendsMessagesRawBytesAndRepeats) {
  auto [listener, listener_error] = open_udp_listener(kMessageSenderPort);
  ASSERT_TRUE(listener) << listener_error;
  ASSERT_EQ(run("--port " + std::to_string(kMessageSenderPort) +
                " --message 'DECPAA-MBXAAA' --raw-hex 'ad bc cb da 00' --message 'CQ TEST'"
                " --time 12:34 --snr -20 --dt -0.5 --freq 1500 --count 2 --rate 1000"),
            0);
  const std::vector<std::string> got = drain(listener);
  listener.close();

  ASSERT_EQ(got.size(), 6u);
  EXPECT_EQ(got[1], std::string("\xAD\xBC\xCB\xDA\x00", 5));
  DecodeFields expected;
  expected.time_ms = (12 * 60 + 34) * 60000;
  expected.snr_db = -20;
  expected.dt_s = -0.5;
  expected.audio_offset_hz = 1500;
  expected.message = "DECPAA-MBXAAA";
  EXPECT_EQ(got[0], encode_decode_datagram(expected));
  EXPECT_EQ(got[3], got[0]);
  expected.message = "CQ TEST";
  EXPECT_EQ(got[2], encode_decode_datagram(expected));
  EXPECT_EQ(got[5], got[2]);

  EXPECT_NE(run("--message"), 0);
  EXPECT_NE(run("--raw-hex abc"), 0);
  EXPECT_NE(run("--log x --message y"), 0);
}

}  // namespace
