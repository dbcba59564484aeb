// decode_sender: plays WSJT-X for the live tracker by sending Decode
// datagrams over UDP, so that the tracker can be tried without a radio.
//
//   decode_sender --log FILE [--interval MS] [--heartbeats]
//   decode_sender --message TEXT [--message TEXT ...]
//                 [--time HH:MM] [--snr N] [--dt X] [--freq N]
//   decode_sender --raw-hex HEX
// Any mode also takes --host ADDRESS (127.0.0.1; a multicast group, such as
// WSJT-X's 224.0.0.1, is sent to on the loopback interface), --port N (16004),
// --count N (send everything N times), --rate PER_SECOND (pace the decodes;
// overrides --interval) and --heartbeats.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <vector>

#include "logs/line_reader.h"
#include "report/decode_record.h"
#include "report/log_layouts.h"
#include "system/file.h"
#include "wsjtx/datagram_writer.h"
#include "wsjtx/protocol.h"
#include "wsjtx/udp_sender.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kDefaultHost = "127.0.0.1";
// Log columns, 1-based: time hhmm, SNR, DT, audio offset, message.
constexpr std::size_t kDtColumn = 16, kDtLength = 5;
// Longest log line taken; the message is cut there.
constexpr std::size_t kLogLineLimit = 4096;
constexpr std::int32_t kMsPerMinute = 60000;
constexpr std::int64_t kMsPerDay = 86400000;

constexpr const char* kUsage =
    "usage: decode_sender --log FILE [--interval MS] [--heartbeats]\n"
    "       decode_sender --message TEXT [--message TEXT ...] [--time HH:MM]\n"
    "                     [--snr N] [--dt X] [--freq N]\n"
    "       decode_sender --raw-hex HEX\n"
    "options for every mode: --host ADDRESS (127.0.0.1; a group such as 224.0.0.1: on loopback)\n"
    "  --port N (16004)\n"
    "  --count N (send everything N times)  --rate PER_SECOND (overrides --interval)\n"
    "  --heartbeats (a Heartbeat between decodes)\n";

struct Item {
  bool is_message;  // a --message text, else --raw-hex bytes
  std::string bytes;
};

struct Options {
  std::string host = kDefaultHost;
  int port = kListenPort;
  std::string log_name;
  std::vector<Item> items;  // --message and --raw-hex, in order
  std::optional<std::int32_t> time_ms;
  std::int32_t snr_db = 0;
  double dt_s = 0;
  std::int32_t audio_offset_hz = 0;
  double interval_ms = 0;
  double rate = 0;
  long count = 1;
  bool heartbeats = false;
};

std::string_view trim_blanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// The whole of `text` as a number: an optional sign, digits, and for a
// fractional type one decimal point; nothing else.
template <typename Number>
std::optional<Number> whole_number(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  for (const char c : text)
    if ((c < '0' || c > '9') && (c != '.' || std::is_integral_v<Number>)) return std::nullopt;
  Number value{};
  const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (fault != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return negative ? -value : value;
}

std::string_view column_group(std::string_view line, std::size_t first, std::size_t length) {
  if (first - 1 >= line.size()) return {};
  return line.substr(first - 1, length);
}

bool all_digits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// The message that WSJT-X sends for what a layout has from its message on:
// a position message without the tag or JTDX's mark that may follow it,
// else the text up to the blanks that pad it (WSJT 10's counters follow
// them). Layouts that differ only in the blanks before the message fit
// alike.
std::string sent_text(std::string_view from_message) {
  from_message = trim_blanks(from_message);
  const std::string_view position = whole_message_at(from_message, 0);
  if (is_position_message(position)) return std::string(position);
  return std::string(trim_blanks(from_message.substr(0, from_message.find("  "))));
}

// A decode line in one of the layouts that the log readers read
// (log_layouts.h), or nothing.
std::optional<DecodeFields> layout_decode(std::string_view line) {
  static const std::vector<const LogLayout*> layouts = [] {
    std::vector<const LogLayout*> all;
    for (const LogLayout& layout : kLogLayouts) all.push_back(&layout);
    all.push_back(&kDecodedSixDigitLayout);
    return all;
  }();
  for (const LogLayout* layout : layouts) {
    const std::optional<LayoutFields> fields = fit_layout(line, layout->picture);
    if (!fields) continue;
    const auto dt = whole_number<double>(trim_blanks(fields->dt));
    if (!dt) continue;
    const std::string_view time = fields->time;
    int seconds = 0;
    if (std::count(layout->picture.begin(), layout->picture.end(), 'h') == 6) {
      const std::string_view all = line.substr(static_cast<std::size_t>(time.data() - line.data()), 6);
      seconds = (all[4] - '0') * 10 + (all[5] - '0');
    }
    DecodeFields decode;
    const int hours = (time[0] - '0') * 10 + (time[1] - '0');
    const int minutes = (time[2] - '0') * 10 + (time[3] - '0');
    decode.time_ms = ((hours * 60 + minutes) * 60 + seconds) * 1000;
    decode.snr_db = read_column_number(fields->snr);
    decode.dt_s = *dt;
    decode.audio_offset_hz = read_column_number(fields->audio);
    decode.message = sent_text(line.substr(fields->message_at));
    if (decode.message.empty()) continue;
    return decode;
  }
  return std::nullopt;
}

// A decode log line: in a layout of log_layouts.h, else in the fixed columns
// of the first releases; nothing when it holds no decoded message: its
// number columns do not hold numbers (a date line, a blank line, one of our
// own transmissions), it has the shape of a later layout without fitting
// one (JTDX's band headers), or its message is empty.
std::optional<DecodeFields> log_line_decode(std::string_view line) {
  if (auto decode = layout_decode(line)) return decode;
  if (has_layout_shape(line)) return std::nullopt;
  const std::string_view time = column_group(line, kTimeColumn, kTimeLength);
  if (time.size() != kTimeLength || !all_digits(time)) return std::nullopt;
  const auto snr = whole_number<std::int32_t>(trim_blanks(column_group(line, kSnrColumn, kSnrLength)));
  const auto dt = whole_number<double>(trim_blanks(column_group(line, kDtColumn, kDtLength)));
  const auto offset =
      whole_number<std::int32_t>(trim_blanks(column_group(line, kOffsetColumn, kOffsetLength)));
  if (!snr || !dt || !offset) return std::nullopt;

  DecodeFields decode;
  const int hours = (time[0] - '0') * 10 + (time[1] - '0');
  const int minutes = (time[2] - '0') * 10 + (time[3] - '0');
  decode.time_ms = (hours * 60 + minutes) * kMsPerMinute;
  decode.snr_db = *snr;
  decode.dt_s = *dt;
  decode.audio_offset_hz = *offset;
  std::string_view message = column_group(line, kMessageColumn, std::string_view::npos);
  while (!message.empty() && message.back() == ' ') message.remove_suffix(1);
  if (message.empty()) return std::nullopt;
  decode.message = message;
  return decode;
}

std::optional<std::int32_t> time_of_day_ms(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view h = text.substr(0, colon), m = text.substr(colon + 1);
  if (!all_digits(h) || !all_digits(m) || h.size() > 2 || m.size() > 2) return std::nullopt;
  const int hours = std::stoi(std::string(h)), minutes = std::stoi(std::string(m));
  if (minutes > 59) return std::nullopt;
  return (hours * 60 + minutes) * kMsPerMinute;
}

std::int32_t current_utc_ms() {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  return static_cast<std::int32_t>(ms % kMsPerDay);
}

std::optional<std::string> bytes_from_hex(std::string_view hex) {
  std::string bytes;
  int high = -1;
  for (const char c : hex) {
    if (c == ' ' || c == ':') continue;
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return std::nullopt;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<char>(high * 16 + digit));
      high = -1;
    }
  }
  if (high >= 0) return std::nullopt;
  return bytes;
}

bool usage_error(const std::string& what) {
  std::fprintf(stderr, "decode_sender: %s\n%s", what.c_str(), kUsage);
  return false;
}

bool read_options(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--heartbeats") {
      options.heartbeats = true;
      continue;
    }
    if (option == "--help" || option == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    static constexpr std::string_view kValued[] = {"--host",    "--port",     "--log",  "--message",
                                                   "--raw-hex", "--time",     "--snr",  "--dt",
                                                   "--freq",    "--interval", "--rate", "--count"};
    if (std::find(std::begin(kValued), std::end(kValued), option) == std::end(kValued))
      return usage_error("unknown option " + std::string(option));
    if (i + 1 >= argc) return usage_error(std::string(option) + " needs a value");
    const std::string_view value = argv[++i];
    bool good = true;
    if (option == "--host") {
      options.host = value;
    } else if (option == "--port") {
      const auto port = whole_number<int>(value);
      good = port && *port > 0 && *port <= 65535;
      if (good) options.port = *port;
    } else if (option == "--log") {
      options.log_name = value;
    } else if (option == "--message") {
      options.items.push_back({true, std::string(value)});
    } else if (option == "--raw-hex") {
      const auto bytes = bytes_from_hex(value);
      good = bytes.has_value();
      if (good) options.items.push_back({false, *bytes});
    } else if (option == "--time") {
      options.time_ms = time_of_day_ms(value);
      good = options.time_ms.has_value();
    } else if (option == "--snr") {
      const auto n = whole_number<std::int32_t>(value);
      good = n.has_value();
      if (good) options.snr_db = *n;
    } else if (option == "--dt") {
      const auto x = whole_number<double>(value);
      good = x.has_value();
      if (good) options.dt_s = *x;
    } else if (option == "--freq") {
      const auto n = whole_number<std::int32_t>(value);
      good = n.has_value();
      if (good) options.audio_offset_hz = *n;
    } else if (option == "--interval") {
      const auto x = whole_number<double>(value);
      good = x && *x >= 0;
      if (good) options.interval_ms = *x;
    } else if (option == "--rate") {
      const auto x = whole_number<double>(value);
      good = x && *x > 0;
      if (good) options.rate = *x;
    } else {  // --count
      const auto n = whole_number<long>(value);
      good = n && *n >= 0;
      if (good) options.count = *n;
    }
    if (!good) return usage_error("bad value for " + std::string(option) + ": " + std::string(value));
  }
  if (options.log_name.empty() == options.items.empty())
    return usage_error("give either --log or at least one --message / --raw-hex");
  return true;
}

struct Sender {
  UdpSender udp;
  std::chrono::nanoseconds pause{0};
  Clock::time_point next_send = Clock::now();
  bool heartbeats = false;
  long items_sent = 0;
  long datagrams_sent = 0;
};

bool send_bytes(Sender& sender, const std::string& bytes) {
  std::string error;
  if (!send_datagram(sender.udp, bytes, error)) {
    std::fprintf(stderr, "decode_sender: %s\n", error.c_str());
    return false;
  }
  ++sender.datagrams_sent;
  return true;
}

// One datagram of the list: after the pause, with a Heartbeat before it
// when asked for and it is not the first.
bool send_paced(Sender& sender, const std::string& datagram) {
  if (sender.items_sent > 0) {
    sender.next_send += sender.pause;
    std::this_thread::sleep_until(sender.next_send);
    if (sender.heartbeats && !send_bytes(sender, encode_heartbeat())) return false;
  } else {
    sender.next_send = Clock::now();
  }
  if (!send_bytes(sender, datagram)) return false;
  ++sender.items_sent;
  return true;
}

bool send_log(Sender& sender, const std::string& name) {
  FileHandle file = open_for_reading(name);
  if (!file) {
    std::fprintf(stderr, "decode_sender: cannot read %s\n", name.c_str());
    return false;
  }
  bool good = true;
  for_each_line(file, kLogLineLimit, [&](std::string_view line) {
    if (const auto decode = log_line_decode(line)) good = send_paced(sender, encode_decode_datagram(*decode));
    return good;
  });
  file.close();
  return good;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!read_options(argc, argv, options)) return 2;

  const std::int32_t time_ms = options.time_ms ? *options.time_ms : current_utc_ms();
  std::vector<std::string> datagrams;
  for (const Item& item : options.items) {
    if (!item.is_message) {
      datagrams.push_back(item.bytes);
      continue;
    }
    DecodeFields decode;
    decode.time_ms = time_ms;
    decode.snr_db = options.snr_db;
    decode.dt_s = options.dt_s;
    decode.audio_offset_hz = options.audio_offset_hz;
    decode.message = item.bytes;
    datagrams.push_back(encode_decode_datagram(decode));
  }

  Sender sender;
  std::string error;
  if (!open_udp_sender(options.host, options.port, sender.udp, error)) {
    std::fprintf(stderr, "decode_sender: %s\n", error.c_str());
    return 1;
  }
  const double pause_ms =
      std::min(options.rate > 0 ? 1000.0 / options.rate : options.interval_ms, double(kMsPerDay));
  sender.pause = std::chrono::nanoseconds(static_cast<std::int64_t>(pause_ms * 1e6));
  sender.heartbeats = options.heartbeats;

  bool good = true;
  for (long pass = 0; good && pass < options.count; ++pass) {
    if (!options.log_name.empty()) {
      good = send_log(sender, options.log_name);
    } else {
      for (const std::string& datagram : datagrams) {
        good = send_paced(sender, datagram);
        if (!good) break;
      }
    }
  }
  sender.udp.socket.close();
  std::printf("decode_sender: %ld datagrams sent to %s:%d\n", sender.datagrams_sent, options.host.c_str(),
              options.port);
  return good ? 0 : 1;
}
