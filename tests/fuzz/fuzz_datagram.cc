// Datagrams as the live tracker receives them: any bytes, read by
// parse_decode_datagram and compared with a reader written here from the
// layout in wsjtx/datagram_reader.h; and Decode datagrams written the way
// WSJT-X writes them (wsjtx/datagram_writer.h), from fields taken from the
// input, which must read back as written, whole or cut anywhere.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "report/decode_record.h"
#include "report_checks.h"
#include "wsjtx/datagram_reader.h"
#include "wsjtx/datagram_writer.h"

namespace {

using fuzz::quoted;

// The datagram layout, read one field at a time. Offsets may go below zero.
class ExpectedReader {
 public:
  explicit ExpectedReader(std::string_view bytes) : bytes_(bytes) {}

  // Big-endian; bytes past the end are missing from the low end, nothing
  // before the first byte is read.
  std::uint64_t field(long long at, int size) const {
    if (at < 0) return 0;
    std::uint64_t value = 0;
    for (int k = 0; k < size && at + k < end(); ++k)
      value = (value << 8) | static_cast<unsigned char>(bytes_[static_cast<std::size_t>(at + k)]);
    return value;
  }
  std::int32_t int32(long long at) const {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(field(at, 4)));
  }
  long long length(long long at) const {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(field(at, 4) & 0xFFFF));
  }
  std::string text(long long at, long long length) const {
    if (at < 0 || length <= 0 || at >= end()) return {};
    const long long count = std::min(length, end() - at);
    return std::string(bytes_.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(count)));
  }

 private:
  long long end() const { return static_cast<long long>(bytes_.size()); }
  std::string_view bytes_;
};

struct Expected {
  std::uint32_t magic;
  std::int32_t type, time_ms, snr, offset;
  std::uint64_t dt_bits;
  std::string message;
};

Expected expected_fields(std::string_view bytes) {
  const ExpectedReader r(bytes);
  Expected e;
  e.magic = static_cast<std::uint32_t>(r.field(0, 4));
  e.type = r.int32(8);
  long long at = 16 + r.length(12);  // New flag
  e.time_ms = r.int32(at + 1);
  e.snr = r.int32(at + 5);
  e.dt_bits = r.field(at + 9, 8);
  e.offset = r.int32(at + 17);
  const long long mode_length = r.length(at + 21);
  at += 25 + mode_length;  // message length
  e.message = r.text(at + 4, r.length(at));
  return e;
}

// "hh:mm" of a time of day in ms, to the nearest second (halves to even),
// hours and minutes each modulo 60.
std::string expected_time(std::int32_t ms) {
  const long long seconds = static_cast<long long>(std::nearbyint(ms / 1000.0));
  auto floor_mod = [](long long a, long long b) { return ((a % b) + b) % b; };
  const long long minutes = fuzz::floor_div(seconds, 60);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02lld:%02lld", floor_mod(fuzz::floor_div(minutes, 60), 60),
                floor_mod(minutes, 60));
  return buf;
}

// As the live tracker handles a decode: a position message (JTDX's padding
// blanks after it are no part of it) is reported with a three-digit
// reference, any other message is shown as text.
void check_handling(const DecodeRecord& record) {
  std::string_view sent = record.message;
  while (!sent.empty() && sent.back() == ' ') sent.remove_suffix(1);
  FUZZ_CHECK(sent_message(record.message) == sent, "sent_message(" + quoted(record.message) + ")");
  FUZZ_CHECK(is_position_message(sent) == fuzz::is_sent_position(sent),
             "is_position_message(" + quoted(sent) + ")");
  const std::optional<Position> position = decode_position(sent);
  fuzz::check_position(sent, position);
  if (!position) {
    fuzz::check_display_text(record.message);
    return;
  }
  DecodeRecord report = record;
  report.message = sent;
  report.latitude = position->latitude;
  report.longitude = position->longitude;
  fuzz::check_report(report, ReportStyle::live);
  fuzz::check_track_lines(report);
}

void check_datagram(std::string_view bytes) {
  const std::optional<DecodeRecord> record = parse_decode_datagram(bytes);
  const Expected e = expected_fields(bytes);
  auto what = [&] { return "datagram " + quoted(bytes); };
  FUZZ_CHECK(record.has_value() == (e.magic == 0xADBCCBDA && e.type == 2),
             what() + ": type " + std::to_string(e.type));
  if (!record) return;
  FUZZ_CHECK(record->time_text == expected_time(e.time_ms),
             what() + ": time " + quoted(record->time_text) + ", expected " + expected_time(e.time_ms));
  FUZZ_CHECK(record->snr_db == e.snr, what() + ": SNR " + std::to_string(record->snr_db));
  FUZZ_CHECK(std::bit_cast<std::uint64_t>(record->dt_s) == e.dt_bits,
             what() + ": DT " + fuzz::number(record->dt_s));
  FUZZ_CHECK(record->audio_offset_hz == e.offset,
             what() + ": offset " + std::to_string(record->audio_offset_hz));
  FUZZ_CHECK(record->message == e.message,
             what() + ": message " + quoted(record->message) + ", expected " + quoted(e.message));
  FUZZ_CHECK(record->latitude == 0 && record->longitude == 0, what() + ": position fields set");
  check_handling(*record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The bytes as they came.
  check_datagram(std::string_view(reinterpret_cast<const char*>(data), size));

  // A datagram WSJT-X could have sent, with fields from the input.
  FuzzedDataProvider in(data, size);
  DecodeFields fields;
  fields.time_ms = in.ConsumeIntegral<std::int32_t>();
  fields.snr_db = in.ConsumeIntegral<std::int32_t>();
  fields.dt_s = std::bit_cast<double>(in.ConsumeIntegral<std::uint64_t>());
  fields.audio_offset_hz = in.ConsumeIntegral<std::int32_t>();
  fields.is_new = in.ConsumeBool();
  const std::size_t cut_at = in.ConsumeIntegral<std::uint16_t>();
  fields.id = in.ConsumeRandomLengthString(64);
  fields.mode = in.ConsumeRandomLengthString(16);
  fields.message = in.ConsumeRandomLengthString(1024);
  const std::string datagram = encode_decode_datagram(fields);
  const std::optional<DecodeRecord> record = parse_decode_datagram(datagram);
  auto what = [&] { return "written datagram " + quoted(datagram); };
  FUZZ_CHECK(record.has_value(), what() + ": not read as a Decode");
  FUZZ_CHECK(record->time_text == expected_time(fields.time_ms), what() + ": time " + record->time_text);
  FUZZ_CHECK(record->snr_db == fields.snr_db, what() + ": SNR");
  FUZZ_CHECK(std::bit_cast<std::uint64_t>(record->dt_s) == std::bit_cast<std::uint64_t>(fields.dt_s),
             what() + ": DT");
  FUZZ_CHECK(record->audio_offset_hz == fields.audio_offset_hz, what() + ": offset");
  FUZZ_CHECK(record->message == fields.message, what() + ": message " + quoted(record->message));
  check_handling(*record);

  // Cut short anywhere.
  check_datagram(std::string_view(datagram).substr(0, cut_at % (datagram.size() + 1)));
  return 0;
}
