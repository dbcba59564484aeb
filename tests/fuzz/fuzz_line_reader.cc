// for_each_line, first_line and for_each_marked_line over a file made from
// the input, against a plain byte-by-byte splitter: CR, CR LF and a lone LF
// end a line, Ctrl-Z ends the text, lines are cut to `kept` bytes; the
// marked lines are those with a "-" at the chosen place.
//
// Input: a byte choosing `kept` and the mark's place, a flags byte (bit 0: put a run of filler
// before the text so that it starts `pad` bytes before the end of the first
// block; bits 1-2: the filler's last byte is 'x', CR, LF or Ctrl-Z; bits 3-7:
// stop after that many lines, 0 never), the `pad` byte, then the text.
//
// The file is a memfd, rewritten for each input and opened through
// /proc/self/fd as the programs open a log. The readers read it through the
// same calls and in the same blocks as a log on disk, into memory kept from
// one input to the next, and the marked lines mostly without the thread that
// reads ahead (one input in 16, by its length, with it): under the
// sanitizers a new megabyte or three and a new thread for each input cost
// far more than the reading. For the same reason the lines wanted are kept
// from one input to the next, and first_line is asked for no more than
// 4096 columns.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "logs/line_reader.h"
#include "logs/marked_lines.h"
#include "report/decode_record.h"
#include "system/file.h"

namespace {

using fuzz::quoted;

constexpr std::size_t kKeptChoices[] = {1,    2,    3,     4,       5,   8,   13,  kLastUsedColumn,
                                        50,   63,   64,    65,      127, 128, 129, 200,
                                        1000, 4096, 65536, 1 << 20, 7,   31,  32,  33};

// Places of the mark, one or several; one at or past `kept` leaves the
// marked lines out.
constexpr MarkPlaces kMarkChoices[] = {
    mark_place(42), mark_place(0),  mark_place(1),     mark_place(2),
    mark_place(5),  mark_place(12), mark_place(31),    mark_place(48),
    mark_place(61), mark_place(62), kReportMarkPlaces, mark_place(2) | mark_place(3) | mark_place(40)};

int g_file = -1;
std::string g_path;
std::string g_filler;
LineBlock* g_block = nullptr;
MarkedLineWorkspace* g_reading_ahead = nullptr;
MarkedLineWorkspace* g_reading_when_wanted = nullptr;

// The lines of a text fed to it in pieces. One is kept from input to input:
// starting again keeps the storage of its lines, which run to a megabyte.
class ExpectedLines {
 public:
  void start(std::size_t kept) {
    kept_ = kept;
    count_ = 0;
    line_.clear();
    line_bytes_ = 0;
    after_cr_ = false;
    ended_ = false;
  }

  void run(char c, std::size_t count) {  // `count` ordinary bytes
    if (ended_ || count == 0) return;
    after_cr_ = false;
    line_bytes_ += count;
    if (line_.size() < kept_) line_.append(std::min(count, kept_ - line_.size()), c);
  }

  void byte(char c) {
    if (ended_) return;
    if (after_cr_ && c == '\n') {
      after_cr_ = false;
      return;
    }
    after_cr_ = false;
    if (c == kEndOfText) {
      if (line_bytes_ > 0) add_line();
      ended_ = true;
    } else if (c == '\r' || c == '\n') {
      add_line();
      line_.clear();
      line_bytes_ = 0;
      after_cr_ = c == '\r';
    } else {
      run(c, 1);
    }
  }

  void finish() {
    if (!ended_ && line_bytes_ > 0) add_line();
    ended_ = true;
  }

  std::size_t count() const { return count_; }
  const std::string& line(std::size_t i) const { return lines_[i]; }

 private:
  void add_line() {
    if (count_ == lines_.size()) lines_.emplace_back();
    lines_[count_++] = line_;  // a copy into storage already there
  }

  std::vector<std::string> lines_;  // the first count_ are this text's
  std::size_t count_ = 0;
  std::size_t kept_ = 0;
  std::string line_;
  std::size_t line_bytes_ = 0;
  bool after_cr_ = false;
  bool ended_ = false;
};

// The file: `filler` then `text`. The filler of the input before, when it
// is the same, is left in place (it is nearly a block; a filler is told by
// its size and last byte).
void write_file(std::string_view filler, std::string_view text) {
  static std::size_t written_size = 0;
  static char written_end = 0;
  const bool same_filler = filler.size() == written_size && (filler.empty() || filler.back() == written_end);
  written_size = filler.size();
  written_end = filler.empty() ? 0 : filler.back();
  off_t at = same_filler ? static_cast<off_t>(filler.size()) : 0;
  for (std::string_view part : {same_filler ? std::string_view() : filler, text}) {
    while (!part.empty()) {
      const ssize_t n = pwrite(g_file, part.data(), part.size(), at);
      if (n <= 0) std::abort();
      part.remove_prefix(static_cast<std::size_t>(n));
      at += n;
    }
  }
  if (ftruncate(g_file, at) != 0) std::abort();
}

// The lines a reader gives, held one by one against those wanted as they
// come: a line that matches is not copied (lines run to a megabyte, and
// under the sanitizers each copy costs more than the reading).
class LinesAgainst {
 public:
  explicit LinesAgainst(std::vector<const std::string*> wanted) : wanted_(std::move(wanted)) {}

  void take(std::string_view line) {
    if (first_wrong_ == kNone && (count_ >= wanted_.size() || *wanted_[count_] != line)) {
      first_wrong_ = count_;
      wrong_line_ = line.substr(0, 80);
    }
    ++count_;
  }
  std::size_t count() const { return count_; }
  bool matches() const { return first_wrong_ == kNone && count_ == wanted_.size(); }
  std::string summary() const {
    std::string out =
        std::to_string(count_) + " lines where " + std::to_string(wanted_.size()) + " were wanted";
    if (first_wrong_ != kNone)
      out += "; line " + std::to_string(first_wrong_) + " is " + quoted(wrong_line_) +
             (first_wrong_ < wanted_.size() ? ", wanted " + quoted(wanted_[first_wrong_]->substr(0, 80))
                                            : std::string(", one too many"));
    return out;
  }

 private:
  static constexpr std::size_t kNone = SIZE_MAX;
  std::vector<const std::string*> wanted_;
  std::size_t count_ = 0;
  std::size_t first_wrong_ = kNone;
  std::string wrong_line_;
};

}  // namespace

// Freed memory waits in quarantine (to catch its use) until 16 MiB more has
// been freed rather than 256 MiB: memory that comes back sooner is still
// mapped, and mapping it afresh was a good part of each input's time.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_file = memfd_create("fuzz_line_reader", MFD_CLOEXEC);
  if (g_file < 0) {
    std::perror("memfd_create");
    std::abort();
  }
  g_path = "/proc/self/fd/" + std::to_string(g_file);
  g_filler.assign(kLineBlockSize, 'x');
  g_block = new LineBlock;
  g_reading_ahead = new MarkedLineWorkspace(ReadAhead::Reading::ahead);
  g_reading_when_wanted = new MarkedLineWorkspace(ReadAhead::Reading::when_wanted);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::size_t kept = kKeptChoices[data[0] % std::size(kKeptChoices)];
  const bool padded = data[1] & 1;
  const char filler_end = "x\r\n\x1a"[(data[1] >> 1) & 3];
  const std::size_t stop_after = data[1] >> 3;
  const std::size_t pad = data[2];
  const std::string_view text(reinterpret_cast<const char*>(data) + 3, size - 3);

  // The filler: 'x's up to `pad` bytes before the end of the first block.
  std::string_view filler;
  if (padded) {
    g_filler.back() = filler_end;
    filler = std::string_view(g_filler).substr(pad);
  }
  write_file(filler, text);

  static ExpectedLines expected;
  expected.start(kept);
  if (!filler.empty()) {
    expected.run('x', filler.size() - 1);
    expected.byte(filler.back());
  }
  for (char c : text) expected.byte(c);
  expected.finish();

  auto what = [&] {
    return "text " + quoted(text.substr(0, 200)) + (text.size() > 200 ? "..." : "") + " after " +
           std::to_string(filler.size()) + " filler bytes, kept " + std::to_string(kept);
  };

  // The lines wanted, up to the stop.
  const auto up_to_stop = [&](std::vector<const std::string*> wanted) {
    if (stop_after != 0 && wanted.size() > stop_after) wanted.resize(stop_after);
    return wanted;
  };
  std::vector<const std::string*> all_wanted;
  for (std::size_t i = 0; i < expected.count(); ++i) all_wanted.push_back(&expected.line(i));

  FileHandle file = open_for_reading(g_path);
  FUZZ_CHECK(bool(file), "cannot open " + g_path);
  LinesAgainst lines(up_to_stop(all_wanted));
  bool called_after_stop = false;
  for_each_line(file, kept, *g_block, [&](std::string_view line) {
    // A line end inside a line shows as a line that differs from the one
    // wanted, which holds none.
    FUZZ_CHECK(line.size() <= kept, what() + ": a line of " + std::to_string(line.size()) + " bytes");
    if (stop_after != 0 && lines.count() >= stop_after) called_after_stop = true;
    lines.take(line);
    return stop_after == 0 || lines.count() < stop_after;
  });
  file.close();
  FUZZ_CHECK(!called_after_stop, what() + ": a line after the reader was told to stop");
  FUZZ_CHECK(lines.matches(), what() + ": read " + lines.summary());

  const MarkPlaces places = kMarkChoices[(data[0] / std::size(kKeptChoices)) % std::size(kMarkChoices)];
  // The report places with their guard: JTDX's FT8 places count only
  // after its "_".
  const MarkGuard guard = places == kReportMarkPlaces ? kReportFilter.guard : MarkGuard{};
  if (kept >= 64 || (places >> kept) == 0) {
    std::vector<const std::string*> marked_wanted;
    for (std::size_t k = 0; k < expected.count(); ++k) {
      const std::string& line = expected.line(k);
      for (std::size_t i = 0; i < line.size() && i < 64; ++i)
        if (((places >> i) & 1) != 0 && line[i] == '-' &&
            (((guard.places >> i) & 1) == 0 || line[guard.index] == guard.byte)) {
          marked_wanted.push_back(&line);
          break;
        }
    }
    LinesAgainst marked(up_to_stop(std::move(marked_wanted)));
    file = open_for_reading(g_path);
    {
      MarkedLineReader reader(file, {kept, places, '-', guard},
                              text.size() % 16 == 0 ? *g_reading_ahead : *g_reading_when_wanted);
      std::string_view line;
      while ((stop_after == 0 || marked.count() < stop_after) && reader.next(line)) marked.take(line);
    }
    file.close();
    FUZZ_CHECK(marked.matches(),
               what() + ", marks at " + std::to_string(places) + ": marked " + marked.summary());
  }

  // first_line takes a string of `kept` bytes: it is asked for the first
  // columns only, as the programs ask it.
  if (kept > 4096) return 0;
  file = open_for_reading(g_path);
  const std::string first = first_line(file, kept);
  file.close();
  const std::string first_wanted = expected.count() == 0 ? std::string() : expected.line(0);
  FUZZ_CHECK(first == first_wanted, what() + ": first_line " + quoted(first.substr(0, 200)));
  return 0;
}
