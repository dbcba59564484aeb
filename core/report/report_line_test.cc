#include "report/report_line.h"

#include <gtest/gtest.h>

namespace {

// Where the grid reference is SU52057822 (SU521782 in three digits).
constexpr Position kOnTheGrid{51.5, -1.25};
// South of the grid's false origin: "Not valid".
constexpr Position kOffTheGrid{49.5, -2};
// Outside the window of the grid: no reference.
constexpr Position kOutsideTheWindow{0, 0};

DecodeRecord example(std::string time, Position p, int snr, double dt, int offset) {
  DecodeRecord r;
  r.time_text = std::move(time);
  r.message = "DECPAA-MBXAAA";
  r.latitude = p.latitude;
  r.longitude = p.longitude;
  r.snr_db = snr;
  r.dt_s = dt;
  r.audio_offset_hz = offset;
  return r;
}

TEST(ReportLine, LogReaders) {
  EXPECT_EQ(report_line(example("1234", kOnTheGrid, -15, 0, 812), ReportStyle::log_reader),
            "1234   DECPAA-MBXAAA  +51.50000   -1.25000  SU52057822  -15.0dB  +812Hz 1234 ");
  EXPECT_EQ(report_line(example("1234", kOffTheGrid, -15, 0, 812), ReportStyle::log_reader),
            "1234   DECPAA-MBXAAA  +49.50000   -2.00000  Not valid   -15.0dB  +812Hz 1234 ");
  EXPECT_EQ(report_line(example("1234", kOnTheGrid, -15, 0, 1234), ReportStyle::log_reader),
            "1234   DECPAA-MBXAAA  +51.50000   -1.25000  SU52057822  -15.0dB  +1234Hz 1234 ");
  EXPECT_EQ(report_line(example("1234", kOutsideTheWindow, 5, 0, 812), ReportStyle::log_reader),
            "1234   DECPAA-MBXAAA   +0.00000   +0.00000               +5.0dB  +812Hz 1234 ");
}

TEST(ReportLine, Live) {
  EXPECT_EQ(report_line(example("12:34", kOnTheGrid, -15, 0.4, 812), ReportStyle::live),
            "12:34  DECPAA-MBXAAA   +51.50000   -1.25000  SU521782     -15dB 0.40s   812Hz");
  EXPECT_EQ(report_line(example("12:34", kOnTheGrid, -15, -0.3, 1234), ReportStyle::live),
            "12:34  DECPAA-MBXAAA   +51.50000   -1.25000  SU521782     -15dB -.30s  1234Hz");
  EXPECT_EQ(report_line(example("12:34", kOnTheGrid, 7, 1.25, 987), ReportStyle::live),
            "12:34  DECPAA-MBXAAA   +51.50000   -1.25000  SU521782       7dB 1.25s   987Hz");
}

// From the log line to the line on the screen.
TEST(ReportLine, WholeRoadFromLogLine) {
  const std::string line = std::string("1234") + std::string(6, ' ') + " -15" + std::string(6, ' ') +
                           "  812" + std::string(11, ' ') + "DECPAA-MBXAAA";
  auto r = parse_log_line(line);
  ASSERT_TRUE(r);
  EXPECT_EQ(report_line(*r, ReportStyle::log_reader),
            "1234   DECPAA-MBXAAA  +51.50000   -1.25000  SU52057822  -15.0dB  +812Hz 1234 ");
}

}  // namespace
