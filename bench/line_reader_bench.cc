// Reading a decode log line by line, against reading its blocks alone.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "logs/line_reader.h"
#include "logs/mark_scan.h"
#include "logs/marked_lines.h"
#include "report/decode_record.h"

namespace {

// A 64 MiB log of ordinary decodes with one position report in a hundred,
// written once to a temporary file (read back from the page cache).
const std::string& log_file() {
  static const std::string name = [] {
    std::string path = "/tmp/line_reader_benchXXXXXX";
    const int fd = mkstemp(path.data());
    const std::string ordinary = "0000       -10  -0.8  601  ~        CQ PA3ABC FN42\r\n";
    const std::string report = "0000       -10  -0.8  601  ~        DECPAA-MBXAAA\r\n";
    std::string block;
    for (int i = 0; i < 100; ++i) block += i == 57 ? report : ordinary;
    for (std::size_t written = 0; written < (64u << 20); written += block.size())
      if (write(fd, block.data(), block.size()) < 0) std::abort();
    close(fd);
    std::atexit([] { unlink(log_file().c_str()); });
    return path;
  }();
  return name;
}

void BM_ReadBlocksOnly(benchmark::State& state) {
  std::string buffer(kLineBlockSize, '\0');
  std::size_t bytes = 0;
  for (auto _ : state) {
    FileHandle f = open_for_reading(log_file());
    while (const std::size_t n = read_block(f, buffer.data(), buffer.size()).size) bytes += n;
    f.close();
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_ReadBlocksOnly)->Unit(benchmark::kMillisecond);

void BM_ReadLines(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    FileHandle f = open_for_reading(log_file());
    std::size_t lines = 0;
    for_each_line(f, kLastUsedColumn, [&](std::string_view line) {
      ++lines;
      bytes += line.size() + 2;
      return true;
    });
    benchmark::DoNotOptimize(lines);
    f.close();
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_ReadLines)->Unit(benchmark::kMillisecond);

void BM_ReadLinesAndParse(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    FileHandle f = open_for_reading(log_file());
    std::size_t reports = 0;
    for_each_line(f, kLastUsedColumn, [&](std::string_view line) {
      bytes += line.size() + 2;
      if (parse_log_line(line)) ++reports;
      return true;
    });
    benchmark::DoNotOptimize(reports);
    f.close();
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_ReadLinesAndParse)->Unit(benchmark::kMillisecond);

// The mark scan alone, over one block of log text in the cache: the one the
// batch pass uses, then each one this processor runs (one benchmark each).
void scan_block(benchmark::State& state, MarkScan scan) {
  std::string block(kLineBlockSize + 2 * kScanChunk, '\0');
  FileHandle f = open_for_reading(log_file());
  read_block(f, block.data(), kLineBlockSize);
  f.close();
  std::vector<MarkHit> hits(kLineBlockSize / kScanChunk + 2);
  for (auto _ : state)
    benchmark::DoNotOptimize(scan(block.data(), kLineBlockSize, kReportFilter.mark, kReportFilter.places,
                                  kReportFilter.guard, hits.data()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLineBlockSize));
}

void BM_ScanMarks(benchmark::State& state) {
  state.SetLabel(mark_scan_name());
  scan_block(state, scan_marks);
}
BENCHMARK(BM_ScanMarks);

const bool kEachScan = [] {
  for (const NamedMarkScan& scan : available_mark_scans())
    benchmark::RegisterBenchmark((std::string("BM_ScanMarksWith/") + scan.name).c_str(),
                                 [scan](benchmark::State& state) { scan_block(state, scan.scan); });
  return true;
}();

// The batch pass's way: only the lines with the position mark in place.
void BM_ReadMarkedLinesAndParse(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    FileHandle f = open_for_reading(log_file());
    std::size_t reports = 0;
    for_each_marked_line(f, kReportFilter, [&](std::string_view line) {
      if (parse_log_line(line)) ++reports;
      return true;
    });
    benchmark::DoNotOptimize(reports);
    f.close();
    bytes += 64u << 20;
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_ReadMarkedLinesAndParse)->Unit(benchmark::kMillisecond);

}  // namespace
