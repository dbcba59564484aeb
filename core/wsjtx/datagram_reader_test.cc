#include "wsjtx/datagram_reader.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>

#include "wsjtx/datagram_writer.h"

namespace {

// Big-endian pieces, written independently of the tools' writer so that the
// round trip below checks both sides.
void put8(std::string& out, std::uint8_t v) { out.push_back(static_cast<char>(v)); }
void put32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift));
}
void put_double(std::string& out, double v) {
  const auto bits = std::bit_cast<std::uint64_t>(v);
  for (int shift = 56; shift >= 0; shift -= 8) out.push_back(static_cast<char>(bits >> shift));
}
void put_text(std::string& out, std::string_view text) {
  put32(out, static_cast<std::uint32_t>(text.size()));
  out.append(text);
}

void put_header(std::string& out, std::uint32_t type = 2) {
  put32(out, 0xADBCCBDA);
  put32(out, 2);
  put32(out, type);
}

struct Layout {
  std::string id = "WSJT-X";
  std::uint8_t new_flag = 1;
  std::uint32_t time_ms = 45296789;  // 12:34:56.789
  std::int32_t snr = -15;
  double dt = -0.3;
  std::uint32_t frequency = 1234;
  std::string mode = "~";
  std::string message = "DECPAA-MBXAAA";
};

// Everything up to and including the message text.
std::string datagram(const Layout& l) {
  std::string out;
  put_header(out);
  put_text(out, l.id);
  put8(out, l.new_flag);
  put32(out, l.time_ms);
  put32(out, static_cast<std::uint32_t>(l.snr));
  put_double(out, l.dt);
  put32(out, l.frequency);
  put_text(out, l.mode);
  put_text(out, l.message);
  return out;
}

void expect_layout_fields(const std::optional<DecodeRecord>& r, const Layout& l) {
  ASSERT_TRUE(r);
  EXPECT_EQ(r->time_text, "12:34");
  EXPECT_EQ(r->snr_db, l.snr);
  EXPECT_EQ(r->dt_s, l.dt);
  EXPECT_EQ(r->audio_offset_hz, static_cast<int>(l.frequency));
  EXPECT_EQ(r->message, l.message);
}

TEST(DatagramTime, RoundsToWholeSecondsThenMinutes) {
  EXPECT_EQ(datagram_time_text(0), "00:00");
  EXPECT_EQ(datagram_time_text(45000), "00:00");
  EXPECT_EQ(datagram_time_text(3600000), "01:00");
  EXPECT_EQ(datagram_time_text(45296789), "12:34");
  // Rounded, not cut: 59.5 s is a minute (the even neighbour of 59.5 is 60).
  EXPECT_EQ(datagram_time_text(59499), "00:00");
  EXPECT_EQ(datagram_time_text(59500), "00:01");
  EXPECT_EQ(datagram_time_text(59999), "00:01");
  EXPECT_EQ(datagram_time_text(86399499), "23:59");
  EXPECT_EQ(datagram_time_text(86399500), "24:00");
  EXPECT_EQ(datagram_time_text(86400000), "24:00");
}

TEST(DatagramTime, HoursWrapAtSixtyAndHostileValuesStayTwoDigits) {
  EXPECT_EQ(datagram_time_text(60 * 3600000), "00:00");
  EXPECT_EQ(datagram_time_text(61 * 3600000 + 5 * 60000), "01:05");
  EXPECT_EQ(datagram_time_text(INT32_MAX), "56:31");  // 2147484 s
  EXPECT_EQ(datagram_time_text(-1), "00:00");
  EXPECT_EQ(datagram_time_text(-500), "00:00");  // -0.5 s to the even 0
  EXPECT_EQ(datagram_time_text(-501), "59:59");  // -1 s, floored
  for (const std::int32_t ms : {-1000, -59999, -3600001, -86400000, INT32_MIN + 1, INT32_MIN}) {
    const std::string t = datagram_time_text(ms);
    ASSERT_EQ(t.size(), 5u) << ms;
    EXPECT_EQ(t[2], ':') << ms;
    EXPECT_LE(t.substr(0, 2), "59") << ms;
    EXPECT_LE(t.substr(3), "59") << ms;
  }
}

TEST(DecodeDatagram, ReadsTheFields) {
  const Layout l;
  expect_layout_fields(parse_decode_datagram(datagram(l)), l);
}

TEST(DecodeDatagram, EmptyIdModeAndNewFlagChangeNothing) {
  Layout l;
  l.id = "";
  expect_layout_fields(parse_decode_datagram(datagram(l)), l);
  l = Layout{};
  l.mode = "";
  expect_layout_fields(parse_decode_datagram(datagram(l)), l);
  l = Layout{};
  l.new_flag = 0;
  expect_layout_fields(parse_decode_datagram(datagram(l)), l);
  l.id = "a longer client id";
  l.mode = "FT8 mode text";
  expect_layout_fields(parse_decode_datagram(datagram(l)), l);
}

TEST(DecodeDatagram, LengthsAreTheLowSixteenBitsSigned) {
  // 0x00010003 is 3.
  std::string d;
  put_header(d);
  put32(d, 0x00010003);
  d += "abc";
  Layout l;
  l.id = "abc";
  expect_layout_fields(parse_decode_datagram(d + datagram(l).substr(12 + 4 + 3)), l);

  // A null Id (FFFFFFFF, length -1) puts the New flag on the length's last
  // byte: a datagram without a New flag byte then reads right.
  std::string null_id;
  put_header(null_id);
  put32(null_id, 0xFFFFFFFF);
  l.id = "";
  null_id += datagram(l).substr(12 + 4 + 1);
  expect_layout_fields(parse_decode_datagram(null_id), l);
}

TEST(DecodeDatagram, NullModeShiftsTheMessageOneByteBack) {
  // Message length 13 (00 00 00 0D) is then read from FF 00 00 00: low 16
  // bits 0, an empty message.
  Layout l;
  std::string d = datagram(l);
  const std::size_t mode_length_at = 12 + 4 + 6 + 1 + 4 + 4 + 8 + 4;
  std::string null_mode = d.substr(0, mode_length_at);
  put32(null_mode, 0xFFFFFFFF);
  put_text(null_mode, l.message);
  auto r = parse_decode_datagram(null_mode);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->message, "");
  EXPECT_EQ(r->snr_db, l.snr);

  // Length 0x0000012C reads as FF 00 00 01: one byte, the 2C.
  null_mode = d.substr(0, mode_length_at);
  put32(null_mode, 0xFFFFFFFF);
  put_text(null_mode, std::string(300, 'x'));
  r = parse_decode_datagram(null_mode);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->message, ",");
}

TEST(DecodeDatagram, OnlyTypeTwoIsADecode) {
  EXPECT_FALSE(parse_decode_datagram(""));
  EXPECT_FALSE(parse_decode_datagram(encode_heartbeat()));
  for (const std::uint32_t type : {0u, 1u, 3u, 0x00010002u, 0x02000000u, 0xFFFFFFFFu}) {
    std::string d = datagram(Layout{});
    d[8] = static_cast<char>(type >> 24);
    d[9] = static_cast<char>(type >> 16);
    d[10] = static_cast<char>(type >> 8);
    d[11] = static_cast<char>(type);
    EXPECT_FALSE(parse_decode_datagram(d)) << type;
  }
  // The schema is not looked at; without WSJT-X's magic number a datagram
  // is none of WSJT-X's.
  std::string d = datagram(Layout{});
  d.replace(4, 4, 4, '\x55');
  EXPECT_TRUE(parse_decode_datagram(d));
  for (std::size_t at = 0; at < 4; ++at) {
    d = datagram(Layout{});
    d[at] = static_cast<char>(d[at] ^ 0x01);
    EXPECT_FALSE(parse_decode_datagram(d)) << at;
  }
}

TEST(DecodeDatagram, WhatFollowsTheMessageIsIgnored) {
  const Layout l;
  expect_layout_fields(parse_decode_datagram(datagram(l) + std::string("\x01\x00", 2)), l);
  expect_layout_fields(parse_decode_datagram(datagram(l) + "trailing bytes"), l);
}

TEST(DecodeDatagram, EveryPrefixParses) {
  const Layout l;
  const std::string full = datagram(l) + std::string(2, '\0');
  for (std::size_t size = 0; size <= full.size(); ++size) {
    const auto r = parse_decode_datagram(std::string_view(full).substr(0, size));
    // The type field is 00 00 00 02: it reads 2 only when whole.
    ASSERT_EQ(r.has_value(), size >= 12) << size;
    if (r) {
      EXPECT_EQ(l.message.substr(0, r->message.size()), r->message) << size;
    }
  }
}

TEST(DecodeDatagram, ShortFieldsTakeThePresentBytesAsLowOrder) {
  Layout l;
  l.snr = 0x01020304;
  l.dt = 1.0;  // 3F F0 00 ...
  const std::string full = datagram(l);
  const std::size_t snr_at = 12 + 4 + 6 + 1 + 4;
  auto r = parse_decode_datagram(full.substr(0, snr_at + 2));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->snr_db, 258);
  EXPECT_EQ(r->time_text, "12:34");
  EXPECT_EQ(r->dt_s, 0);
  EXPECT_EQ(r->message, "");

  r = parse_decode_datagram(full.substr(0, snr_at + 4 + 2));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->snr_db, 0x01020304);
  EXPECT_EQ(r->dt_s, std::bit_cast<double>(std::uint64_t{0x3FF0}));

  // Message cut short: the bytes that are there.
  r = parse_decode_datagram(full.substr(0, full.size() - 8));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->message, "DECPA");

  // A type field of one byte 02 is type 2.
  r = parse_decode_datagram(std::string("\xAD\xBC\xCB\xDA", 4) + std::string(4, '\0') + "\x02");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->time_text, "00:00");
  EXPECT_EQ(r->message, "");
}

TEST(DecodeDatagram, NegativeMessageLengthGivesNoText) {
  Layout l;
  std::string d = datagram(l);
  d.replace(d.size() - l.message.size() - 4, 4, "\x00\x00\xFF\xFB", 4);  // -5
  const auto r = parse_decode_datagram(d);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->message, "");
  EXPECT_EQ(r->snr_db, l.snr);
}

TEST(DecodeDatagram, LengthsPointingBeforeTheStartReadAsAbsent) {
  const std::string good = datagram(Layout{});
  // Id length -20: the New flag at -4 and the time at -3 are absent; the
  // SNR at 1 lies inside the datagram and reads magic and schema bytes.
  std::string d = good;
  d.replace(12, 4, "\xFF\xFF\xFF\xEC", 4);
  auto r = parse_decode_datagram(d);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->time_text, "00:00");
  EXPECT_EQ(r->snr_db, static_cast<std::int32_t>(0xBCCBDA00u));

  // Id length -32768: every field lies before the start.
  d.replace(12, 4, "\x00\x00\x80\x00", 4);
  r = parse_decode_datagram(d);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->time_text, "00:00");
  EXPECT_EQ(r->snr_db, 0);
  EXPECT_EQ(r->dt_s, 0);
  EXPECT_EQ(r->audio_offset_hz, 0);
  EXPECT_EQ(r->message, "");

  // A Mode length that moves the message length before the start.
  d = good;
  const std::size_t mode_length_at = 12 + 4 + 6 + 1 + 4 + 4 + 8 + 4;
  d.replace(mode_length_at, 4, "\x00\x00\xFF\x00", 4);  // -256
  r = parse_decode_datagram(d);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->message, "");
  EXPECT_EQ(r->snr_db, -15);
}

TEST(DecodeDatagram, ArbitraryBytesAreSafe) {
  // Type 2 and random lengths drawn to land anywhere, in and out of range.
  std::mt19937 random(20240517);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> size(0, 120);
  for (int round = 0; round < 20000; ++round) {
    std::string d;
    put_header(d);
    const int n = size(random);
    for (int k = 0; k < n; ++k) d.push_back(static_cast<char>(byte(random)));
    if (round % 2 == 0 && d.size() >= 16) d[14] = static_cast<char>(0xFF);  // negative Id
    const auto r = parse_decode_datagram(d);
    ASSERT_TRUE(r);
    ASSERT_LE(r->message.size(), d.size());
    ASSERT_NE(d.find(r->message), std::string::npos);
  }
}

TEST(DecodeDatagramWriter, WritesTheDecodeLayout) {
  DecodeFields f;
  f.time_ms = 45296789;
  f.snr_db = -15;
  f.dt_s = -0.3;
  f.audio_offset_hz = 1234;
  f.message = "DECPAA-MBXAAA";
  EXPECT_EQ(encode_decode_datagram(f), datagram(Layout{}) + std::string(2, '\0'));
}

TEST(DecodeDatagramWriter, RoundTrips) {
  DecodeFields f;
  f.time_ms = 3600000;
  f.snr_db = -24;
  f.dt_s = 1.5;
  f.audio_offset_hz = 2783;
  f.message = "LA9XYZ 2E0ABC -07";
  auto r = parse_decode_datagram(encode_decode_datagram(f));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->time_text, "01:00");
  EXPECT_EQ(r->snr_db, -24);
  EXPECT_EQ(r->dt_s, 1.5);
  EXPECT_EQ(r->audio_offset_hz, 2783);
  EXPECT_EQ(r->message, f.message);

  f.message = "";
  f.mode = "";
  f.id = "";
  f.is_new = false;
  r = parse_decode_datagram(encode_decode_datagram(f));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->message, "");
  EXPECT_EQ(r->audio_offset_hz, 2783);
}

TEST(DecodeDatagramWriter, HeartbeatLayout) {
  std::string expected;
  put_header(expected, 0);
  put_text(expected, "WSJT-X");
  put32(expected, 3);
  put_text(expected, "2.6.1");
  put_text(expected, "");
  EXPECT_EQ(encode_heartbeat(), expected);
}

}  // namespace

namespace {

// The key names what was decoded: a replay (New false), another Id and the
// flags after the message do not change it; each of the six fields does.
TEST(DecodeKey, SameForEveryCopyOfADecodeAndOnlyForThose) {
  DecodeFields original;
  original.time_ms = 45296789;
  original.snr_db = -15;
  original.dt_s = -0.3;
  original.audio_offset_hz = 1234;
  original.mode = "~";
  original.message = "DECPAA-MBXAAA";
  const std::string key = decode_key(encode_decode_datagram(original));

  DecodeFields replay = original;
  replay.is_new = false;
  replay.id = "WSJT-X - IC7300";
  std::string flagged = encode_decode_datagram(replay);
  flagged.back() = 1;  // off air
  EXPECT_EQ(decode_key(flagged), key);

  DecodeFields other[6] = {original, original, original, original, original, original};
  other[0].time_ms += 1;
  other[1].snr_db = -14;
  other[2].dt_s = -0.2;
  other[3].audio_offset_hz = 1235;
  other[4].mode = "+";
  other[5].message = "DECPAA-MBXAAB";
  for (const DecodeFields& f : other)
    EXPECT_NE(decode_key(encode_decode_datagram(f)), key) << f.message << " " << f.mode;
  // Mode and message are told apart where they meet.
  DecodeFields joined = original;
  joined.mode = "~D";
  joined.message = "ECPAA-MBXAAA";
  EXPECT_NE(decode_key(encode_decode_datagram(joined)), key);
}

}  // namespace
