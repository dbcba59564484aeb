// Readers of the files while a run writes them, as a viewer, a copy or a
// backup meets them: copies made again and again, with cp and with a read
// in small pieces that spans many writes; every copy must be a whole
// document (xmllint without libxml2's size limit) holding the first points
// of the final track, and every copy of the table its first rows.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "pty_session.h"
#include "test_files.h"
#include "track_watch.h"
#include "wsjtx/datagram_writer.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// Two reports and their coordinate lines (as in tests/golden/).
constexpr std::string_view kLineA = "2150       -12   0.3 1505  ~        DECPAA-MBXAAA\n";
constexpr std::string_view kLineB = "2154         5   0.8 1505  ~        DFGKAA-AATFAA\n";
constexpr const char* kMessageA = "DECPAA-MBXAAA";
constexpr const char* kMessageB = "DFGKAA-AATFAA";
constexpr const char* kPointA = "        -1.25000,+51.50000";
constexpr const char* kPointB = "        +0.50000,+52.25000";

// The track of an even number of points, A and B by turns.
std::string alternating_track(int points) {
  std::string kml = e2e::track_kml({kPointA, kPointB});
  const std::string pair = std::string(kPointA) + "\r\n" + kPointB + "\r\n";
  std::string path;
  path.reserve(pair.size() * static_cast<std::size_t>(points / 2));
  for (int i = 0; i < points / 2; ++i) path += pair;
  kml.replace(kml.find(pair), pair.size(), path);
  return kml;
}

bool xmllint_huge_accepts(const std::string& path) {
  return std::system(("xmllint --huge --noout '" + path + "' 2>/dev/null").c_str()) == 0;
}

// Copies `path` into `scratch` again and again until stopped, by turns with
// cp and with a read in pieces of 64 KiB, a pause after each piece; hands
// each copy to `check`, which says what is wrong with it ("" for nothing).
class Reader {
 public:
  using Check = std::function<std::string(const std::string& copy_path, const std::string& text)>;
  Reader(std::string path, std::string scratch, Check check)
      : path_(std::move(path)), scratch_(std::move(scratch)), check_(std::move(check)) {
    thread_ = std::thread([this] { run(); });
  }
  ~Reader() { stop(); }
  void stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  int copies = 0;
  std::vector<std::string> faults;

 private:
  void run() {
    for (int n = 0; !stop_; ++n) {
      const std::string copy = scratch_ + "/copy" + std::to_string(n % 2);
      std::string text;
      if (n % 2 == 0) {
        if (std::system(("cp '" + path_ + "' '" + copy + "' 2>/dev/null").c_str()) != 0) continue;
        text = e2e::read_file(copy);
      } else {
        std::ifstream in(path_, std::ios::binary);
        if (!in) continue;
        std::vector<char> piece(64 << 10);
        while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
          text.append(piece.data(), static_cast<std::size_t>(in.gcount()));
          std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        e2e::write_file(copy, text);
      }
      ++copies;
      const std::string fault = check_(copy, text);
      if (!fault.empty()) faults.push_back((n % 2 == 0 ? "cp " : "read ") + fault);
    }
  }
  std::string path_, scratch_;
  Check check_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A KML copy: a whole document, the final track's first points.
Reader::Check kml_check(const std::string& final_kml, std::atomic<int>& partial) {
  return [&final_kml, &partial](const std::string& copy, const std::string& text) -> std::string {
    if (!xmllint_huge_accepts(copy)) return "refused by xmllint (" + std::to_string(text.size()) + " bytes)";
    if (text != final_kml && text != e2e::empty_kml()) ++partial;
    return e2e::track_prefix_fault(text, final_kml);
  };
}

std::size_t rows_in(const std::string& text) {
  std::size_t rows = 0;
  for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++rows;
  return rows;
}

// A batch pass of two million points: each state a reader can find is
// whole; the final track is the whole one and no working copy is left.
TEST(WholeForEveryReader, BatchPassOfTwoMillionPoints) {
  constexpr int kPoints = 2000000;
  e2e::TempDir dir, scratch;
  {
    std::string log;
    log.reserve((kLineA.size() + kLineB.size()) * kPoints / 2);
    for (int i = 0; i < kPoints / 2; ++i) log.append(kLineA).append(kLineB);
    e2e::write_file(dir.file("MANY.TXT"), log);
  }
  const std::string final_kml = alternating_track(kPoints);
  e2e::PtyOptions o;
  o.argv = {e2e::program_path("log_tracker"), "MANY.TXT"};
  o.working_dir = dir.path();
  o.stdout_file = "/dev/null";  // the questions still come to the terminal
  e2e::PtySession s(o);
  ASSERT_TRUE(s.wait_for_text("Read incoming data in real time")) << s.dump();
  s.send("n\r");
  ASSERT_TRUE(s.wait_for_text("Destination (.KML) file")) << s.dump();
  std::atomic<int> partial{0};
  Reader reader(dir.file("WHOLE.KML"), scratch.path(), kml_check(final_kml, partial));
  s.send("whole\r");
  const bool ended = s.wait_for_text("Any key to close this window...", seconds(240));
  reader.stop();
  ASSERT_TRUE(ended) << s.dump();
  EXPECT_EQ(reader.faults, std::vector<std::string>{});
  EXPECT_GE(partial, 3) << "copies made during the pass, of " << reader.copies;
  EXPECT_EQ(e2e::read_file(dir.file("WHOLE.KML")), final_kml);
  EXPECT_FALSE(std::filesystem::exists(dir.file(".~WHOLE.KML")));
  s.send("x");
  int status = -1;
  ASSERT_TRUE(s.wait_exit(seconds(10), &status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// Sends datagrams to live_tracker's port on this computer.
class UdpSender {
 public:
  UdpSender() : fd_(socket(AF_INET, SOCK_DGRAM, 0)) {
    to_.sin_family = AF_INET;
    to_.sin_port = htons(16004);
    to_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  }
  ~UdpSender() { close(fd_); }
  void send(const std::string& bytes) {
    sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to_), sizeof to_);
  }

 private:
  int fd_;
  sockaddr_in to_{};
};

// A live run that takes a position a few milliseconds apart: every copy of
// the track is whole and every copy of the table holds whole rows, both the
// first of the final ones.
TEST(WholeForEveryReader, LiveRunTakingDatagrams) {
  SKIP_UNLESS_OWN_NETWORK();
  constexpr int kPoints = 1200;
  e2e::TempDir dir, kml_scratch, csv_scratch;
  e2e::PtyOptions o;
  o.argv = {e2e::program_path("live_tracker")};
  o.working_dir = dir.path();
  o.rows = 40;
  o.cols = 100;
  e2e::PtySession s(o);
  ASSERT_TRUE(s.wait_for_text("Destination (.KML) file")) << s.dump();
  s.send("live\r");
  ASSERT_TRUE(s.wait_for_text("Press [esc] to finish")) << s.dump();

  const std::string final_kml = alternating_track(kPoints);
  std::atomic<int> partial{0};
  std::vector<std::string> csv_copies;
  {
    Reader kml(dir.file("LIVE.KML"), kml_scratch.path(), kml_check(final_kml, partial));
    Reader csv(dir.file("LIVE.CSV"), csv_scratch.path(), [&](const std::string&, const std::string& text) {
      csv_copies.push_back(text);
      return std::string();
    });
    std::thread sender([] {
      UdpSender udp;
      for (int i = 0; i < kPoints; ++i) {
        DecodeFields f;
        f.time_ms = (10 * 3600 + i) * 1000;  // one second apart: each a new decode
        f.snr_db = -10;
        f.dt_s = 0.2;
        f.audio_offset_hz = 1500;
        f.message = i % 2 == 0 ? kMessageA : kMessageB;
        udp.send(encode_decode_datagram(f));
        std::this_thread::sleep_for(milliseconds(2));
      }
    });
    const auto deadline = std::chrono::steady_clock::now() + seconds(60);
    while (rows_in(e2e::read_file(dir.file("LIVE.CSV"))) < kPoints + 1 &&
           std::chrono::steady_clock::now() < deadline)
      s.pump(milliseconds(50));
    sender.join();
    kml.stop();
    csv.stop();
    EXPECT_EQ(kml.faults, std::vector<std::string>{});
    EXPECT_GE(partial, 3) << "copies made during the run, of " << kml.copies;
  }
  s.send("\x1b");
  ASSERT_TRUE(s.wait_for_text("Any key to close this window...", seconds(10))) << s.dump();
  EXPECT_EQ(e2e::read_file(dir.file("LIVE.KML")), final_kml);
  const std::string final_csv = e2e::read_file(dir.file("LIVE.CSV"));
  EXPECT_EQ(rows_in(final_csv), kPoints + 1u);
  int partial_tables = 0;
  for (const std::string& copy : csv_copies) {
    EXPECT_TRUE(copy.size() >= 18 && final_csv.compare(0, copy.size(), copy) == 0 && copy.ends_with("\r\n"))
        << "not the first whole rows of the table:\n"
        << copy;
    if (copy.size() < final_csv.size()) ++partial_tables;
  }
  EXPECT_GE(partial_tables, 3);
  for (const char* working : {".~LIVE.KML", ".~LIVE.CSV"})
    EXPECT_FALSE(std::filesystem::exists(dir.file(working))) << working;
  s.send("x");
  int status = -1;
  ASSERT_TRUE(s.wait_exit(seconds(10), &status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
