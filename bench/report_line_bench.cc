// From log lines to report lines over a realistic mix: about one line in a
// hundred is a position report, the rest ordinary decodes.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "outputs/kml_track.h"
#include "report/decode_record.h"
#include "report/mask_format.h"
#include "report/national_grid.h"
#include "report/report_line.h"

namespace {

std::vector<std::string> make_log(std::size_t lines) {
  const char* ordinary[] = {"CQ G4ABC IO91",    "G4ABC M0XYZ IO82",  "M0XYZ G4ABC -12",
                            "G4ABC M0XYZ R-09", "M0XYZ G4ABC RR73",  "CQ DX PA3ABC JO22",
                            "EA8XYZ DL1ABC 73", "CQ POTA K1ABC FN42"};
  const char* positions[] = {"DECPAA-MBXAAA", "DDBJAN-MCAKRT", "DCWQFA-MFKNUA", "DFAAAA-ABAAAA"};
  std::vector<std::string> log;
  for (std::size_t i = 0; i < lines; ++i) {
    const char* message = i % 100 == 57 ? positions[(i / 100) % 4] : ordinary[i % 8];
    std::string line = "1234        -15   0.3  1512  ~        ";
    line.resize(36, ' ');
    line += message;
    log.push_back(std::move(line));
  }
  return log;
}

void BM_LogLinesToReportLines(benchmark::State& state) {
  const std::vector<std::string> log = make_log(10000);
  std::size_t bytes = 0;
  for (const std::string& line : log) bytes += line.size() + 2;  // with CR LF
  for (auto _ : state) {
    std::size_t reports = 0;
    for (const std::string& line : log) {
      std::optional<DecodeRecord> r = parse_log_line(line);
      if (!r) continue;
      benchmark::DoNotOptimize(report_line(*r, ReportStyle::log_reader));
      ++reports;
    }
    benchmark::DoNotOptimize(reports);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * log.size()));
}
BENCHMARK(BM_LogLinesToReportLines);

// One report as parse_log_line gives it.
DecodeRecord sample_report() {
  DecodeRecord r;
  r.time_text = "1234";
  r.message = "DECPAA-MBXAAA";
  r.latitude = 51.5;
  r.longitude = -1.25;
  r.snr_db = -15;
  r.audio_offset_hz = 812;
  return r;
}

void BM_ReportLineOnly(benchmark::State& state) {
  const DecodeRecord r = sample_report();
  for (auto _ : state) benchmark::DoNotOptimize(report_line(r, ReportStyle::log_reader));
}
BENCHMARK(BM_ReportLineOnly);

// What log_tracker does for each report line of a log short of writing:
// the record, its grid reference, its console line and its track line.
void BM_TrackerReport(benchmark::State& state) {
  std::string line(kMessageColumn - 1, ' ');
  line.replace(kTimeColumn - 1, kTimeLength, "0005");
  line.replace(kSnrColumn - 1, kSnrLength, " -11");
  line.replace(kOffsetColumn - 1, kOffsetLength, " 2108");
  line += "DFXJGQ-MFVCPM";
  for (auto _ : state) {
    std::optional<DecodeRecord> r = parse_log_line(line);
    benchmark::DoNotOptimize(report_line(*r, ReportStyle::log_reader));
    benchmark::DoNotOptimize(kml_coordinate_line(r->latitude, r->longitude));
  }
}
BENCHMARK(BM_TrackerReport);

// The two halves of a report line: the grid reference and the mask.
void BM_GridReferenceOnly(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(to_national_grid(51.5, -1.25, 4));
}
BENCHMARK(BM_GridReferenceOnly);

void BM_MaskOnly(benchmark::State& state) {
  const DecodeRecord r = sample_report();
  for (auto _ : state)
    benchmark::DoNotOptimize(
        format_mask(kLogReportMask, {r.time_text, r.message, r.latitude, r.longitude, "SU45789012", r.snr_db,
                                     r.audio_offset_hz, r.time_text}));
}
BENCHMARK(BM_MaskOnly);

}  // namespace
