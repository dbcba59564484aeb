// Writes the seed inputs of the fuzz targets:
//   make_seeds <corpus folder> <ALL.TXT>
// Datagrams come from the writer in core/wsjtx/, log lines from the sample log;
// masks, keys and line reader inputs are made here in each target's layout.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "wsjtx/datagram_writer.h"

namespace {

std::string g_root;

void write_seed(const std::string& target, const std::string& name, const std::string& bytes) {
  const std::string path = g_root + "/" + target + "/" + name;
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  if (!out) {
    std::cerr << "cannot write " << path << "\n";
    std::exit(1);
  }
}

std::string uint32_be(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

// --- Datagrams ---------------------------------------------------------------

void datagram_seeds() {
  DecodeFields position;
  position.time_ms = (9 * 3600 + 4 * 60) * 1000;
  position.snr_db = 5;
  position.dt_s = 0.8;
  position.audio_offset_hz = 1505;
  position.message = "DCWQFA-MFKNUA";
  const std::string good = encode_decode_datagram(position);
  write_seed("fuzz_datagram", "position", good);

  DecodeFields plain = position;
  plain.message = "CQ 2E0ABC IO93";
  plain.snr_db = -10;
  plain.dt_s = -0.1;
  write_seed("fuzz_datagram", "plain_message", encode_decode_datagram(plain));

  DecodeFields south = position;
  south.message = "MUYAAA-NBQXWE";  // south and west
  south.time_ms = 86399500;         // rounds up to midnight
  write_seed("fuzz_datagram", "south_west_midnight", encode_decode_datagram(south));

  DecodeFields empty;
  empty.id = "";
  empty.mode = "";
  empty.time_ms = -1;
  empty.dt_s = std::numeric_limits<double>::quiet_NaN();
  write_seed("fuzz_datagram", "empty_fields_nan_dt", encode_decode_datagram(empty));

  DecodeFields odd = position;
  odd.dt_s = -std::numeric_limits<double>::infinity();
  odd.message = "\x1b]0;title\x07\xC2\x85\xE6\x97\xA5";
  write_seed("fuzz_datagram", "control_bytes_message", encode_decode_datagram(odd));

  write_seed("fuzz_datagram", "heartbeat", encode_heartbeat());

  for (std::size_t cut : {7, 9, 12, 14, 17, 22, 30, 40, 50})
    write_seed("fuzz_datagram", "cut_" + std::to_string(cut), good.substr(0, cut));
  write_seed("fuzz_datagram", "cut_in_message", good.substr(0, good.size() - 8));

  // Null texts: length FFFFFFFF moves every later field one byte back.
  const std::string header = good.substr(0, 12);
  const std::string after_id = good.substr(16 + position.id.size());
  write_seed("fuzz_datagram", "null_id", header + uint32_be(0xFFFFFFFF) + after_id);
  std::string null_mode = good;
  const std::size_t mode_at = 16 + position.id.size() + 1 + 4 + 4 + 8 + 4;
  null_mode.replace(mode_at, 4 + position.mode.size(), uint32_be(0xFFFFFFFF));
  write_seed("fuzz_datagram", "null_mode", null_mode);
  std::string null_message = good.substr(0, good.size() - 2 - position.message.size() - 4);
  null_message += uint32_be(0xFFFFFFFF);
  write_seed("fuzz_datagram", "null_message", null_message);
  std::string long_message = good;
  long_message.replace(good.size() - 2 - position.message.size() - 4, 4, uint32_be(0x7FFF));
  write_seed("fuzz_datagram", "message_length_past_end", long_message);
  std::string negative_id = good;
  negative_id.replace(12, 4, uint32_be(0x0000FFF0));
  write_seed("fuzz_datagram", "negative_id_length", negative_id);
}

// --- Log lines -----------------------------------------------------------------

void log_line_seeds(const std::string& sample) {
  std::ifstream in(sample, std::ios::binary);
  if (!in) {
    std::cerr << "cannot read " << sample << "\n";
    std::exit(1);
  }
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  int positions = 0, others = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const bool position = line.size() >= 43 && line[42] == '-';
    if (position && positions < 6)
      write_seed("fuzz_log_line", "sample_position_" + std::to_string(++positions), line);
    else if (!position && (i == 0 || i % 97 == 1) && others < 6)
      write_seed("fuzz_log_line", "sample_line_" + std::to_string(++others), line);
  }
  write_seed("fuzz_log_line", "slash_in_snr", "0904        5/  0.8 1505  ~        DCWQFA-MFKNUA");
  write_seed("fuzz_log_line", "short_message", "0904         5   0.8 1505  ~        DCWQFA-MF");
  write_seed("fuzz_log_line", "past_90", "0904         5   0.8 1505  ~        LZZZZZ-AAAAAA");
  write_seed("fuzz_log_line", "odd_numbers", "0904      -2.5  0.8 99.5.  ~        DCWQFA-MFKNUA");
  // One line of each layout that WSJT-X and JTDX have written since.
  const char* const layouts[][2] = {
      {"wsjtx2_ft8", "230614_123015    14.074 Rx FT8    -10  0.3 1234 DECPAA-MBXAAA"},
      {"wsjtx2_q65", "230614_123000    50.275 Rx Q65-120E -18 -0.5 1000 DECPAA-MBXAAA  q3"},
      {"wsjtx2_tx", "230614_123030    14.074 Tx FT8      0  0.0 1500 DECPAA-MBXAAA"},
      {"wsjtx14_jt65", "1230 -21  0.8 1456 # DECPAA-MBXAAA"},
      {"wsjtx17_jt9", "1230 -21  0.8 1456 @  DECPAA-MBXAAA"},
      {"wsjtx18_ft8", "123015 -10  0.3 1234 ~  DECPAA-MBXAAA"},
      {"decoded_ft8", "123015  12  -10   0.3   1234.   0   DECPAA-MBXAAA                         FT8"},
      {"decoded_jt65", "1230   7  -21  0.82   1456.   0   DECPAA-MBXAAA          JT65  1  1  0"},
      {"jtdx_ft8", "20261208_101500 -11  0.3 1234 ~ DECPAA-MBXAAA             ."},
      {"jtdx_jt65", "20261208_1015 -21  0.8 1456 # DECPAA-MBXAAA             *"},
      {"jtdx_jt65_ordinary", "20261208_1015 -21  0.8 1456 # K1ABC G4ABC -21"},
      {"jtdx18_jt65", "20170825 1015 -12  0.3 1234 # DECPAA-MBXAAA         *"},
  };
  for (const auto& [name, line] : layouts) write_seed("fuzz_log_line", name, line);
}

// --- Masks ---------------------------------------------------------------------

std::string text_value(const std::string& s) { return std::string{0, static_cast<char>(s.size())} + s; }
std::string decimal_value(const std::string& s) { return std::string{4, static_cast<char>(s.size())} + s; }
std::string int_value(std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  return {2, static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
          static_cast<char>(u >> 24)};
}
std::string special_value(int index) { return {3, static_cast<char>(index)}; }
std::string tie_value(std::int32_t k, int p) {
  const auto u = static_cast<std::uint32_t>(k);
  return {5,
          static_cast<char>(u),
          static_cast<char>(u >> 8),
          static_cast<char>(u >> 16),
          static_cast<char>(u >> 24),
          static_cast<char>(p)};
}

void mask_seeds() {
  write_seed("fuzz_mask", "log_report",
             std::string(1, 0) + text_value("2148") + text_value("DCWQFA-MFKNUA") +
                 decimal_value("51.27103") + decimal_value("-1.11462") + text_value("SU49992995") +
                 int_value(5) + int_value(1505) + text_value("2148"));
  write_seed("fuzz_mask", "live_report",
             std::string(1, 1) + text_value("09:04") + text_value("MUYAAA-NBQXWE") + decimal_value("-33.86") +
                 decimal_value("151.2") + text_value("") + int_value(-24) + decimal_value("-0.005") +
                 int_value(2783));
  write_seed("fuzz_mask", "coordinates",
             std::string(1, 2) + text_value("12:34") + decimal_value("-195.3124983") +
                 decimal_value("-90.99999833333333"));
  write_seed("fuzz_mask", "csv",
             std::string(1, 3) + text_value("09:05") + decimal_value("-33.86") + decimal_value("151.2"));
  write_seed("fuzz_mask", "address",
             std::string(1, 4) + int_value(192) + int_value(168) + int_value(1) + int_value(20));
  const std::string any = "a+##.##_#b!c&d\\  \\e.#f+.g##.";
  write_seed("fuzz_mask", "any_mask",
             std::string{5, static_cast<char>(any.size())} + any + decimal_value("-7.125") +
                 text_value("xyz") + text_value("") + special_value(2) + decimal_value("1e300") +
                 text_value("longer than the field"));
  write_seed("fuzz_mask", "numeric_field_ties",
             std::string{7, 3, 3, 5} + tie_value(1234567, 5) + tie_value(-5, 1) + tie_value(2, 0) +
                 tie_value(999, 3 + 16) + tie_value(999, 3 + 32) + special_value(4) + special_value(5) +
                 special_value(2) + special_value(11));
  std::string specials{7, 0, 2};
  for (int i = 0; i < 30; ++i) specials += special_value(i);
  write_seed("fuzz_mask", "numeric_field_specials", specials);
  std::string decimals{7, 2, 0, 8};
  for (const char* d : {"0.125", "2.675", "1e-9", "-1e-9", "123456789012345678901234567890", "0.5"})
    decimals += decimal_value(d);
  write_seed("fuzz_mask", "numeric_field_decimals", decimals);
}

// --- Keys ----------------------------------------------------------------------

void key_seeds() {
  const std::string at80{0, 80, 0, 7};
  write_seed("fuzz_keys", "typing_and_backspace", at80 + "track.kml\x7f\x7f\x7fkmz\r");
  write_seed("fuzz_keys", "special_keys",
             at80 + "\x1b[A\x1b[B\x1bOH\x1b[15~\x1b[24~\x1b[1;5A\x1b[[A\x1b[<0;3;4M\x1b[Mabc\x1b[I\x1bx\x1b");
  write_seed("fuzz_keys", "utf8_text",
             at80 + "h\xC3\xA9llo w\xC3\xB6rld \xE6\x97\xA5\xE6\x9C\xAC a\xCC\x81\x7f\x7f\xF0\x9F\x98\x80\r");
  write_seed("fuzz_keys", "line_input", std::string{1, 40, 0, 3} + "N\nx\r\ny\r\r\n\n\x7fz");
  write_seed("fuzz_keys", "narrow_wide",
             std::string{0, 0, 0, 9} + "\xE6\x97\xA5\xE6\x97\xA5x\xE6\x97\xA5\x7f\x7f\x7f\xCC\x81\x7f");
  write_seed("fuzz_keys", "near_the_limit",
             std::string{static_cast<char>(0x0E | 0x30), 44, 1, 5} +
                 "abcdefg\x7f"
                 "hij\xC3\xA4\x7f\x7f"
                 "klm\r");
  write_seed("fuzz_keys", "answers",
             at80 +
                 "  \"a, b.kml\" rest\r  track.kml , extra\r\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA9x\xC3"
                 "a\r");
  write_seed("fuzz_keys", "broken_utf8",
             at80 + "\xC3x\xE2\x82\xC2\x85\xED\xA0\x80\xE0\x80\x80\xF4\x90\x80\x80\xC0\xAF\xFF\xE2\x82");
}

// --- Line reader -----------------------------------------------------------------

void line_reader_seeds(const std::string& sample) {
  std::ifstream in(sample, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  const std::string crlf = all.str().substr(0, 1500);
  std::string lf, cr;
  for (std::size_t i = 0; i < crlf.size(); ++i) {
    if (crlf[i] == '\r' && i + 1 < crlf.size() && crlf[i + 1] == '\n') continue;
    lf += crlf[i];
    cr += crlf[i] == '\n' ? '\r' : crlf[i];
  }
  const char last_column = 7;  // index of kLastUsedColumn among the choices
  write_seed("fuzz_line_reader", "sample_crlf", std::string{last_column, 0, 0} + crlf);
  write_seed("fuzz_line_reader", "sample_lf", std::string{last_column, 0, 0} + lf);
  write_seed("fuzz_line_reader", "sample_cr", std::string{last_column, 0, 0} + cr);
  write_seed("fuzz_line_reader", "end_of_text",
             std::string{last_column, 0, 0} +
                 "one\r\ntwo\n\x1a"
                 "three\r\n");
  write_seed("fuzz_line_reader", "long_line_kept_64",
             std::string{10, 0, 0} + std::string(300, 'L') + "\r\n" + std::string(64, 'M') + "\n");
  write_seed("fuzz_line_reader", "stop_after_two", std::string{last_column, 2 << 3, 0} + lf);
  // Across the block boundary: the filler ends in CR, the text starts with LF.
  write_seed("fuzz_line_reader", "cr_lf_across_blocks",
             std::string{last_column, 1 | (1 << 1), 0} + "\nnext line\r\n");
  write_seed("fuzz_line_reader", "line_across_blocks", std::string{last_column, 1, 4} + "abcdefgh\r\nij\r");
  write_seed("fuzz_line_reader", "end_of_text_at_block_end", std::string{3, 1 | (3 << 1), 0} + "after\n");
  write_seed("fuzz_line_reader", "empty_lines", std::string{0, 0, 0} + "\r\n\r\r\n\n\n\r");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_seeds <corpus folder> <ALL.TXT>\n";
    return 2;
  }
  g_root = argv[1];
  datagram_seeds();
  log_line_seeds(argv[2]);
  mask_seeds();
  key_seeds();
  line_reader_seeds(argv[2]);
  return 0;
}
