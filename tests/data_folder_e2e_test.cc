// The programs started in a folder that holds no decode log: they find the
// one WSJT-X or JTDX writes in its data folder, from a scratch HOME (or
// XDG_DATA_HOME), and take it by its path.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "pty_session.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using e2e::PtyOptions;
using e2e::PtySession;
using e2e::TempDir;
using std::chrono::milliseconds;

std::string rtrim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// A program started in `here`, its environment changed by `env`.
PtyOptions started_in(const std::string& program, const std::string& here, std::vector<std::string> env) {
  PtyOptions o;
  o.argv = {e2e::program_path(program)};
  o.working_dir = here;
  o.rows = 50;
  o.cols = 140;
  o.env = std::move(env);
  o.env.push_back("TZ=UTC");
  return o;
}

// Copies a sample log to `to`, making its folders.
void place_sample(const std::string& sample, const fs::path& to) {
  fs::create_directories(to.parent_path());
  e2e::write_file(to, e2e::read_file(std::string(SAMPLES_DIR) + sample));
}

int exit_code(PtySession& s) {
  int status = -1;
  EXPECT_TRUE(s.wait_exit(milliseconds(5000), &status)) << s.dump();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The report lines of the WSJT-X 2.7 sample (the JTDX sample holds the same
// decodes), without their trailing blanks as the screen shows them.
std::vector<std::string> golden_reports() {
  std::vector<std::string> lines =
      e2e::lines_of(e2e::read_file(std::string(GOLDEN_DIR) + "/wsjtx-2.7-reports.txt"));
  for (std::string& line : lines) line = rtrim(line);
  return lines;
}

// The question proposes the log of the data folder by its path, and Enter
// lists it: WSJT-X's under HOME, a rig's folder when it is the only one,
// JTDX's when there is no WSJT-X folder, or under XDG_DATA_HOME when
// WSJT-X's folder there holds no log.
TEST(DataFolders, LogListerProposesTheLogOfWsjtxOrJtdx) {
  const std::vector<std::string> reports = golden_reports();
  ASSERT_EQ(reports.size(), 31u);
  TempDir dir;
  const std::string home = dir.file("home"), data = dir.file("data"), here = dir.file("here");
  fs::create_directories(here);
  struct Case {
    std::string place;  // where the sample goes
    std::string sample;
    std::vector<std::string> env;
    std::string prompt;  // as the screen shows it
    bool empty_wsjtx_folder = false;
  };
  const std::vector<Case> cases = {
      {home + "/.local/share/WSJT-X/ALL.TXT",
       "/wsjtx-2.7/ALL.TXT",
       {"HOME=" + home},
       "Source file  [" + home + "/.local/share/WSJT-X/ALL.TXT]"},
      {home + "/.local/share/WSJT-X - IC-7300/ALL.TXT",
       "/wsjtx-2.7/ALL.TXT",
       {"HOME=" + home},
       "Source file  [" + home + "/.local/share/WSJT-X - IC-7300/ALL.TXT]"},
      {home + "/.local/share/JTDX/202503_ALL.TXT",
       "/jtdx-2.2/202503_ALL.TXT",
       {"HOME=" + home},
       "Source file  [" + home + "/.local/share/JTDX/202503_ALL.TXT]"},
      {data + "/JTDX/202503_ALL.TXT",
       "/jtdx-2.2/202503_ALL.TXT",
       {"HOME=" + home, "XDG_DATA_HOME=" + data},
       "Source file  [" + data + "/JTDX/202503_ALL.TXT]",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.place);
    fs::remove_all(home);
    fs::remove_all(data);
    place_sample(c.sample, c.place);
    if (c.empty_wsjtx_folder) fs::create_directories(data + "/WSJT-X");
    PtySession s(started_in("log_lister", here, c.env));
    ASSERT_TRUE(s.wait_for_text("Source file")) << s.dump();
    ASSERT_TRUE(s.wait_for_quiet(milliseconds(100)));
    EXPECT_EQ(s.row_text(0), c.prompt) << s.dump();
    EXPECT_EQ(s.cursor().col, static_cast<int>(c.prompt.size()) + 2);
    s.send("\r");
    ASSERT_TRUE(s.wait_for_text(reports.back())) << s.dump();
    for (std::size_t i = 0; i < reports.size(); ++i)
      EXPECT_EQ(s.row_text(static_cast<int>(i) + 1), reports[i]);
    s.send("x");
    EXPECT_EQ(exit_code(s), 0);
  }
}

// A log in the current folder is proposed by its name alone, whatever the
// data folders hold; with no log anywhere, WSJT-X's ALL.TXT is proposed in
// its folder, and refused there as missing.
TEST(DataFolders, TheCurrentFolderComesFirst) {
  TempDir dir;
  const std::string home = dir.file("home"), here = dir.file("here");
  place_sample("/wsjtx-2.7/ALL.TXT", home + "/.local/share/WSJT-X/ALL.TXT");
  place_sample("/ALL.TXT", here + "/ALL.TXT");
  {
    PtySession s(started_in("log_lister", here, {"HOME=" + home}));
    ASSERT_TRUE(s.wait_for_text("Source file")) << s.dump();
    ASSERT_TRUE(s.wait_for_quiet(milliseconds(100)));
    EXPECT_EQ(s.row_text(0), "Source file  [ALL.TXT]");
    s.send("\r");
    ASSERT_TRUE(s.wait_for_text("1542   DEWOFA-AGPDAA")) << s.dump();  // of samples/ALL.TXT
    s.send("x");
    EXPECT_EQ(exit_code(s), 0);
  }
  fs::remove(here + "/ALL.TXT");
  fs::remove(home + "/.local/share/WSJT-X/ALL.TXT");
  PtySession s(started_in("log_lister", here, {"HOME=" + home}));
  ASSERT_TRUE(s.wait_for_text("Source file")) << s.dump();
  s.send("\r");
  const std::string missing = home + "/.local/share/WSJT-X/ALL.TXT Does not exist";
  ASSERT_TRUE(s.wait_for_text(missing)) << s.dump();
  EXPECT_EQ(s.row_text(0), "Source file  [" + home + "/.local/share/WSJT-X/ALL.TXT]");
  EXPECT_EQ(s.row_text(1), missing);
  s.send("x");
  EXPECT_EQ(exit_code(s), 1);
}

// Follow mode follows WSJT-X's log in its folder; the track is written in
// the folder the program started in.
TEST(DataFolders, LogTrackerFollowsTheLogInWsjtxFolder) {
  TempDir dir;
  const std::string home = dir.file("home"), here = dir.file("here");
  fs::create_directories(here);
  const std::string log = home + "/.local/share/WSJT-X/ALL.TXT";
  const auto line = [](std::string_view hhmm, std::string_view message) {
    return "230614_" + std::string(hhmm) + "15    14.074 Rx FT8    -10  0.3 1234 " + std::string(message) +
           "\n";
  };
  fs::create_directories(home + "/.local/share/WSJT-X");
  e2e::write_file(log, line("0500", "DECPAA-MBXAAA"));  // there before: not reported
  PtySession s(started_in("log_tracker", here, {"HOME=" + home}));
  ASSERT_TRUE(s.wait_for_text("Read incoming data in real time")) << s.dump();
  s.send("\r");
  ASSERT_TRUE(s.wait_for_text("Destination (.KML) file")) << s.dump();
  s.send("grow\r");
  ASSERT_TRUE(s.wait_for_text("Press [esc] to finish")) << s.dump();
  EXPECT_TRUE(s.screen().contains("Extract decoded data as it arrives via '" + log + "'")) << s.dump();
  std::ofstream(log, std::ios::binary | std::ios::app) << line("0516", "DFGKAA-AATFAA");
  ASSERT_TRUE(s.wait_for_text("0516   DFGKAA-AATFAA", milliseconds(2500))) << s.dump();
  s.send("\x1b");
  ASSERT_TRUE(s.wait_for_text("GROW.KML Generated", milliseconds(3000))) << s.dump();
  EXPECT_FALSE(s.screen().contains("0500")) << s.dump();
  s.send("x");
  EXPECT_EQ(exit_code(s), 0);
  EXPECT_NE(e2e::read_file(here + "/GROW.KML").find("+0.50000,+52.25000"), std::string::npos);
  EXPECT_FALSE(fs::exists(home + "/.local/share/WSJT-X/GROW.KML"));
}

}  // namespace
