// Real-format decode lines, as each WSJT-X and JTDX version writes them,
// and the report each gives. The lines were written from their own format
// statements (and JTDX's first from what it wrote here), not with this code;
// those marked "real" are lines of public logs, with the repository, path
// and commit they come from.
#include <gtest/gtest.h>

#include <string>

#include "report/decode_record.h"

namespace {

struct Expected {
  const char* line;
  const char* time;  // nullptr: not a report
  int snr_db = 0;
  int audio_offset_hz = 0;
};

constexpr const char* kNotAReport = nullptr;

const Expected kLines[] = {
    // ALL.TXT, WSJT-X 2.0.1 to 3.x.
    {"230614_123015    14.074 Rx FT8    -10  0.3 1234 DECPAA-MBXAAA", "1230", -10, 1234},
    {"230614_123022    50.260 Rx MSK144   3  4.7 1502 DECPAA-MBXAAA", "1230", 3, 1502},
    {"230614_123045    14.074 Rx FT4     -5  0.1  900 DECPAA-MBXAAA a2", "1230", -5, 900},
    {"230614_123045    14.074 Rx FT8     -5  0.1  900 DECPAA-MBXAAA ?", "1230", -5, 900},
    {"230614_235945 10368.100 Rx FT8    -10  0.3 1234 DECPAA-MBXAAA", "2359", -10, 1234},
    // Q65's long labels are not padded: the rest moves one or two columns.
    {"230614_123000    50.275 Rx Q65-30A -18  0.5 1000 DECPAA-MBXAAA                         q3", "1230", -18,
     1000},
    {"230614_123000    50.275 Rx Q65-120E -18 -0.5 1000 DECPAA-MBXAAA", "1230", -18, 1000},
    // Before 2.3.0 lines kept their trailing blanks.
    {"230614_123015    14.074 Rx FT8    -10  0.3 1234 DECPAA-MBXAAA      ", "1230", -10, 1234},
    // 2.0.1 JT65: the SNR lost its sign (not guessed back) ...
    {"190101_123000    14.076 Rx JT65    21  0.8 1456 DECPAA-MBXAAA", "1230", 21, 1456},
    // ... and the message two characters.
    {"190101_123000    14.076 Rx JT65    21  0.8 1456 CPAA-MBXAAA", kNotAReport},
    // Our own transmission of a position message.
    {"230614_123030    14.074 Tx FT8      0  0.0 1500 DECPAA-MBXAAA", kNotAReport},
    // More text straight after the message; an ordinary decode.
    {"230614_123045    14.074 Rx FT8     -5  0.1  900 DECPAA-MBXAAAB", kNotAReport},
    {"230614_123045    14.074 Rx FT8     -5  0.1  900 K1ABC W9XYZ -15", kNotAReport},
    // Cut short; half fitting (a date, then garbage); a label too long.
    {"230614_123015    14.074 Rx FT8    -10  0.3 1234 DECPAA-MBXA", kNotAReport},
    {"230614_123015    14.07x Rx FT8    -10  0.3 1234 DECPAA-MBXAAA", kNotAReport},
    {"230614_1230 garbage here and more garbage here DECPAA-MBXAAA", kNotAReport},
    {"230614_123000    50.275 Rx Q65-120EE -18 -0.5 1000 DECPAA-MBXAAA", kNotAReport},
    // A rejected latitude (91 degrees).
    {"230614_123015    14.074 Rx FT8    -10  0.3 1234 FOTKAA-AAAAAA", kNotAReport},

    // ALL.TXT, WSJT-X 1.4 to 1.6, JT65: message from column 22.
    {"1230 -21  0.8 1456 # DECPAA-MBXAAA", "1230", -21, 1456},
    // ALL.TXT, WSJT-X 1.7 to 2.0.0, JT9: message from column 23.
    {"1230 -21  0.8 1456 @  DECPAA-MBXAAA", "1230", -21, 1456},
    // ALL.TXT, WSJT-X 1.8 to 2.0.0, FT8: message from column 25.
    {"123015 -10  0.3 1234 ~  DECPAA-MBXAAA", "1230", -10, 1234},
    // A letter where the mode symbol stands.
    {"1230 -21  0.8 1456 X  DECPAA-MBXAAA", kNotAReport},
    // The date header and a transmission of 1.x.
    {"2018-06-14 12:30  14.074 MHz  FT8", kNotAReport},
    {"180614_123030  Transmitting 14.074 MHz  FT8:  DECPAA-MBXAAA", kNotAReport},

    // decoded.txt, WSJT-X 2.x, FT8: the fixed columns read -1 and 3 here.
    {"123015  12  -10   0.3   1234.   0   DECPAA-MBXAAA                         FT8", "1230", -10, 1234},
    // decoded.txt, WSJT-X 2.x, JT65: message from column 35.
    {"1230   7  -21  0.82   1456.   0   DECPAA-MBXAAA          JT65  1  1  0", "1230", -21, 1456},

    // yyyyMM_ALL.TXT, JTDX 2.2, FT8, as it wrote it here: the message padded
    // to 26, then its mark (free text off the Rx frequency).
    {"20261208_101500 -11  0.3 1234 ~ DECPAA-MBXAAA             .", "1015", -11, 1234},
    // Without a mark the line ends with the message; FT4.
    {"20261208_101507  -3 -0.0  612 : DECPAA-MBXAAA", "1015", -3, 612},
    // JT65 with hhmm, a hint decode; T10.
    {"20261208_1015 -21  0.8 1456 # DECPAA-MBXAAA             *", "1015", -21, 1456},
    {"20261208_1015  -2  0.1 1456 + DECPAA-MBXAAA", "1015", -2, 1456},
    // JTDX 18: a blank after the date, the message padded to 22.
    {"20170825 1015 -12  0.3 1234 # DECPAA-MBXAAA         *", "1015", -12, 1234},
    // Its headers, the reading of a WAV file and a transmission.
    {"20261208_225734  14.074 MHz  FT8 JTDX v2.2.159000000", kNotAReport},
    {"20261208_225737.002(0)  Reading wav file 261207_101500.wav", kNotAReport},
    {"20261208_225745.474(0)  Transmitting 14.074 MHz  FT8:  DECPAA-MBXAAA", kNotAReport},
    // An ordinary JT65 message whose "-" stands where the fixed columns
    // look for a report's.
    {"20261208_1015 -21  0.8 1456 # K1ABC G4ABC -21", kNotAReport},
    // Two blanks after the symbol, or the date cut short.
    {"20261208_101500 -11  0.3 1234 ~  DECPAA-MBXAAA", kNotAReport},
    {"2026128_101500 -11  0.3 1234 ~ DECPAA-MBXAAA", kNotAReport},

    // WSJT 9 and 10, JT65: real, titanzhang/project.wsjt_mod ALL.TXT at
    // 55d2bb7fb945937596b7d3b615e31842d12a4b85, then the same lines with a
    // position message in place of theirs.
    {"162200  8  -10  0.5  382  0 *      CQ YB0LWA OI33            1   0 ", kNotAReport},
    {"162200  1   1/1                    CQ YB0LWA OI33            1   0 ", kNotAReport},
    {"162200  8  -10  0.5  382  0 *      DECPAA-MBXAAA             1   0 ", "1622", -10, 382},
    {"172100 10  -20  0.3  194  3 *      DECPAA-MBXAAA             1   0 ", "1721", -20, 194},
    {"162200  4  -17  0.1 -213  3 *      DECPAA-MBXAAA             1   0 ", "1622", -17, -213},
    // An averaged line has no SNR, DT or offset of its own.
    {"162200  1   1/1                    DECPAA-MBXAAA             1   0 ", kNotAReport},

    // Ordinary messages of real logs whose "-" falls in column 43, where the
    // fixed columns look for a report's. WSJT-X 1.8 to 2.0.0, FT8: the line
    // of kevinhooke/WSJTLogParser src/test/resources/ALL-2019-test.TXT at
    // ffeb2cd339d182229b15f9a5a4e740f51196afcf with messages of real logs.
    {"222830  -9 -0.2  496 ~  W1AW N1AW RR73        ", kNotAReport},
    {"222830  -9 -0.2  496 ~  2E1DPH <SP318RAF> -07 ", kNotAReport},
    {"222830  -9 -0.2  496 ~  AH0/WA7WJR JF1CPH -04 ", kNotAReport},
    // ... and such a message whose end the fixed columns would take whole.
    {"222830  -9 -0.2  496 ~  CQ DX K1ABC DECPAA-MBXAAA", kNotAReport},
    {"1230 -21  0.8 1456 #  CQ DX VK2ABCD DECPAA-MBXAAA", kNotAReport},
    {"1230 -21  0.8 1456 # CQ DX VK2ABCDE DECPAA-MBXAAA", kNotAReport},
    {"162200  8  -10  0.5  382  0 *      XDECPAA-MBXAAA          1   0 ", kNotAReport},
    // The fixed columns keep their lines.
    {"1230   3  -15   0.4 1234.56  0.00   DECPAA-MBXAAA", "1230", -15, 1234},
    {"1230   3  -15   0.4 1234.56  0.00   DECPAA-MBXAAAA", kNotAReport},

    // Near misses: short, long, a digit, a Z, a "/", a blank, beyond 90
    // degrees of latitude or 180 of longitude.
    {"230614_123015    14.074 Rx FT8    -10  0.3 1234 DECPAA-MB", kNotAReport},
    {"230614_123015    14.074 Rx FT8    -10  0.3 1234 DECPAA-MBXAAAZZZ", kNotAReport},
    {"230614_123015    14.074 Rx FT8    -10  0.3 1234 DECPA1-MBXAAA", kNotAReport},
    {"230614_123015    14.074 Rx FT8    -10  0.3 1234 DECPAZ-MBXAAA", kNotAReport},
    {"230614_123015    14.074 Rx FT8    -10  0.3 1234 DEC/AA-MBXAAA", kNotAReport},
    {"230614_123015    14.074 Rx FT8    -10  0.3 1234 DECPAA-MB AAA", kNotAReport},
    {"230614_123015    14.074 Rx FT8    -10  0.3 1234 FOAFAA-MBXAAA", kNotAReport},
    {"230614_123015    14.074 Rx FT8    -10  0.3 1234 DECPAA-LYYYYY", kNotAReport},
    {"1230   3  -15   0.4 1234.56  0.00   123456-789012", kNotAReport},
    {"20261208_101500 -11  0.3 1234 ~ DECPAA-MBXAAAZ            .", kNotAReport},
};

TEST(LogLayouts, RealLinesOfEveryVersion) {
  for (const Expected& e : kLines) {
    // The readers cut lines to the columns used.
    const std::string line = std::string(e.line).substr(0, kLastUsedColumn);
    const auto record = parse_log_line(line);
    if (e.time == kNotAReport) {
      EXPECT_FALSE(record) << e.line;
      continue;
    }
    ASSERT_TRUE(record) << e.line;
    EXPECT_EQ(record->time_text, e.time) << e.line;
    EXPECT_EQ(record->snr_db, e.snr_db) << e.line;
    EXPECT_EQ(record->audio_offset_hz, e.audio_offset_hz) << e.line;
    EXPECT_EQ(record->message, "DECPAA-MBXAAA") << e.line;
    EXPECT_DOUBLE_EQ(record->latitude, 51.5) << e.line;
    EXPECT_DOUBLE_EQ(record->longitude, -1.25) << e.line;
  }
}

// The batch pass looks only at lines with a "-" in one of these places.
TEST(LogLayouts, EveryReportHasItsMarkInAScannedPlace) {
  for (const Expected& e : kLines) {
    if (e.time == kNotAReport) continue;
    const std::string line(e.line);
    bool marked = false;
    for (std::size_t i = 0; i < 64 && i < line.size(); ++i)
      marked = marked || (((kReportMarkPlaces >> i) & 1) != 0 && line[i] == '-');
    EXPECT_TRUE(marked) << e.line;
  }
}

// A third of WSJT-X's lines have a negative DT: the scan must not take its
// sign for a report's mark, unless the line begins with JTDX's date and "_".
TEST(LogLayouts, TheSignOfANegativeDtIsNoMarkOutsideJtdxLines) {
  const std::string line = "230614_123015    14.074 Rx FT8    -10 -0.3 1234 K1ABC W9XYZ R-15";
  const std::size_t sign = line.find(" -0.3") + 1;
  EXPECT_EQ((kReportMarkPlaces & ~kJtdxReportMarkPlaces) >> sign & 1, 0u);
  EXPECT_NE(line[kJtdxDateEndIndex], kJtdxDateEnd);
}

}  // namespace
