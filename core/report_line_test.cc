#include "report_line.h"

#include <gtest/gtest.h>

#include "national_grid.h"

namespace {

DecodeRecord example(std::string time, std::string grid, int snr, double dt, int offset) {
  DecodeRecord r;
  r.time_text = std::move(time);
  r.message = "DECPAA-MBXAAA";
  r.latitude = 51.5;
  r.longitude = -1.25;
  r.grid_ref = std::move(grid);
  r.snr_db = snr;
  r.dt_s = dt;
  r.audio_offset_hz = offset;
  return r;
}

TEST(ReportLine, LogReaders) {
  EXPECT_EQ(format_report_line(example("1234", "SU52057822", -15, 0, 812), ReportStyle::log_reader),
            "1234   DECPAA-MBXAAA  +51.50000   -1.25000  SU52057822  -15.0dB  +812Hz 1234 ");
  EXPECT_EQ(format_report_line(example("1234", "Not valid", -15, 0, 812), ReportStyle::log_reader),
            "1234   DECPAA-MBXAAA  +51.50000   -1.25000  Not valid   -15.0dB  +812Hz 1234 ");
  EXPECT_EQ(format_report_line(example("1234", "SU52057822", -15, 0, 1234), ReportStyle::log_reader),
            "1234   DECPAA-MBXAAA  +51.50000   -1.25000  SU52057822  -15.0dB  +1234Hz 1234 ");
  EXPECT_EQ(format_report_line(example("1234", "", 5, 0, 812), ReportStyle::log_reader),
            "1234   DECPAA-MBXAAA  +51.50000   -1.25000               +5.0dB  +812Hz 1234 ");
}

TEST(ReportLine, Live) {
  EXPECT_EQ(format_report_line(example("12:34", "SU521782", -15, 0.4, 812), ReportStyle::live),
            "12:34  DECPAA-MBXAAA   +51.50000   -1.25000  SU521782     -15dB 0.40s   812Hz");
  EXPECT_EQ(format_report_line(example("12:34", "SU521782", -15, -0.3, 1234), ReportStyle::live),
            "12:34  DECPAA-MBXAAA   +51.50000   -1.25000  SU521782     -15dB -.30s  1234Hz");
  EXPECT_EQ(format_report_line(example("12:34", "SU521782", 7, 1.25, 987), ReportStyle::live),
            "12:34  DECPAA-MBXAAA   +51.50000   -1.25000  SU521782       7dB 1.25s   987Hz");
}

// From the log line to the line on the screen.
TEST(ReportLine, WholeRoadFromLogLine) {
  const std::string line = std::string("1234") + std::string(6, ' ') + " -15" +
                           std::string(6, ' ') + "  812" + std::string(11, ' ') + "DECPAA-MBXAAA";
  auto r = parse_log_line(line);
  ASSERT_TRUE(r);
  r->grid_ref = to_national_grid(r->latitude, r->longitude, grid_digits(ReportStyle::log_reader));
  EXPECT_EQ(format_report_line(*r, ReportStyle::log_reader),
            "1234   DECPAA-MBXAAA  +51.50000   -1.25000  SU52057822  -15.0dB  +812Hz 1234 ");
}

}  // namespace
