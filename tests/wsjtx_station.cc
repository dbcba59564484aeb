#include "wsjtx_station.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "test_files.h"

extern char** environ;

namespace e2e {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// The environment with `extra` ("NAME=value") put in place of the same names.
std::vector<std::string> environment_with(const std::vector<std::string>& extra) {
  std::vector<std::string> env = extra;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view entry(*e);
    const std::string_view name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const std::string& x : extra) replaced = replaced || x.rfind(name, 0) == 0;
    if (!replaced) env.emplace_back(entry);
  }
  return env;
}

std::vector<char*> c_strings(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

struct SpawnOptions {
  std::string folder;
  std::vector<std::string> env;
  int stdout_fd = -1;  // else /dev/null
  int extra_fd = -1;   // given to the program as fd 3
};

pid_t spawn(std::vector<std::string> argv, const SpawnOptions& options) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (options.stdout_fd >= 0)
    posix_spawn_file_actions_adddup2(&actions, options.stdout_fd, 1);
  else
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (options.extra_fd >= 0) posix_spawn_file_actions_adddup2(&actions, options.extra_fd, 3);
  if (!options.folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
  std::vector<std::string> env = environment_with(options.env);
  std::vector<char*> args = c_strings(argv);
  std::vector<char*> envp = c_strings(env);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Everything readable from `fd` until its end or `deadline`; with
// `one_line`, until a line end.
std::string read_until_end(int fd, Clock::time_point deadline, bool one_line = false) {
  std::string out;
  char buffer[4096];
  while (Clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
    if (one_line && out.find('\n') != std::string::npos) break;
  }
  return out;
}

// The 16-bit samples of a WAV file as ft8sim writes it; empty when it is none.
std::vector<std::int16_t> wav_samples(const std::string& path) {
  const std::string bytes = read_file(path);
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return {};
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    std::uint32_t size = 0;
    std::memcpy(&size, bytes.data() + at + 4, 4);
    if (bytes.compare(at, 4, "data") == 0) {
      const std::size_t count = std::min<std::size_t>(size, bytes.size() - at - 8) / 2;
      std::vector<std::int16_t> samples(count);
      std::memcpy(samples.data(), bytes.data() + at + 8, count * 2);
      return samples;
    }
    at += 8 + size;
  }
  return {};
}

void write_wav(const std::string& path, const std::vector<std::int16_t>& samples) {
  const auto u32 = [](std::uint32_t v) { return std::string(reinterpret_cast<char*>(&v), 4); };
  const auto u16 = [](std::uint16_t v) { return std::string(reinterpret_cast<char*>(&v), 2); };
  const std::uint32_t data_size = static_cast<std::uint32_t>(samples.size() * 2);
  std::string bytes = "RIFF" + u32(36 + data_size) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(12000) +
                      u32(24000) + u16(2) + u16(16) + "data" + u32(data_size);
  bytes.append(reinterpret_cast<const char*>(samples.data()), data_size);
  write_file(path, bytes);
}

std::vector<std::string> words(std::string_view line) {
  std::istringstream in{std::string(line)};
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

bool is_number(const std::string& s) {
  char* end = nullptr;
  std::strtod(s.c_str(), &end);
  return !s.empty() && *end == '\0';
}

// The message that follows the first `fields` words of `line`, its trailing
// blanks cut.
std::string message_after(std::string_view line, std::size_t fields) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < fields; ++i) {
    at = line.find_first_not_of(' ', at);
    at = line.find(' ', at);
    if (at == std::string_view::npos) return {};
  }
  at = line.find_first_not_of(' ', at);
  if (at == std::string_view::npos) return {};
  std::string message(line.substr(at));
  message.erase(message.find_last_not_of(' ') + 1);
  return message;
}

// The lines of `path` from line `first` on (whole lines only).
std::vector<std::string> lines_from(const std::string& path, std::size_t first) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  std::size_t i = 0;
  for (std::string line; std::getline(in, line); ++i)
    if (i >= first && !in.eof()) lines.push_back(line);
  return lines;
}

// The settings of a station that listens only: no rig, no sound card, the
// UDP server at port 16004 of `udp_server`. Without the splash screen; the
// wide graph at 6 bins a pixel, so that its small window still covers every
// audio offset of the band (at the default, a signal at 1800 Hz went
// undecoded).
std::string settings(const DecoderKind& kind, const std::string& udp_server) {
  return "[Configuration]\n" + std::string(kind.more_settings) +
         "MyCall=G0TST\n"
         "MyGrid=IO91\n"
         "Rig=None\n"
         "SoundInName=\n"
         "SoundOutName=\n"
         "UDPServer=" +
         udp_server +
         "\n"
         "UDPServerPort=16004\n"
         "UDPInterface=lo\n"
         "UDPTTL=1\n"
         "AcceptUDPRequests=false\n"
         "[MultiSettings]\n"
         "Splash_v1.7=false\n"
         "[WideGraph]\n"
         "BinsPerPixel=6\n";
}

}  // namespace

bool in_own_station() {
  const char* own = std::getenv("E2E_OWN_STATION");
  return own != nullptr && std::string_view(own) == "1";
}

CommandResult run_command(const std::vector<std::string>& argv, const std::string& folder,
                          const std::vector<std::string>& env) {
  CommandResult result;
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return result;
  const pid_t pid = spawn(argv, {folder, env, out[1], -1});
  ::close(out[1]);
  if (pid > 0) {
    result.out = read_until_end(out[0], Clock::now() + std::chrono::seconds(60));
    int status = 0;
    if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.status = WEXITSTATUS(status);
  }
  ::close(out[0]);
  return result;
}

std::string make_ft8_wav(const std::string& wav, const std::vector<Transmission>& sent, unsigned seed) {
  // ft8sim writes 000000_000001.wav into its folder, noiseless (SNR 99),
  // at full scale.
  const fs::path folder = fs::path(wav).parent_path() / ("ft8sim-" + std::to_string(seed));
  fs::create_directories(folder);
  std::vector<double> mix;
  for (const Transmission& t : sent) {
    std::ostringstream f0, dt;
    f0 << t.audio_hz;
    dt << t.dt_s;
    const CommandResult made =
        run_command({"ft8sim", t.message, f0.str(), dt.str(), "0", "0", "1", "99"}, folder);
    const std::vector<std::int16_t> samples = wav_samples(folder / "000000_000001.wav");
    if (made.status != 0 || samples.empty()) return "ft8sim made no WAV of \"" + t.message + "\"";
    mix.resize(std::max(mix.size(), samples.size()));
    for (std::size_t i = 0; i < samples.size(); ++i) mix[i] += samples[i] / 32767.0;
  }
  fs::remove_all(folder);
  // Each signal has power 1/2; the noise's in WSJT-X's 2500 Hz reference
  // bandwidth, of a 6000 Hz wide band, is 10^0.8 times that.
  const double sigma = std::sqrt(0.5 * std::pow(10.0, 0.8) * 6000.0 / 2500.0);
  const double scale = 32767.0 / (4 * sigma + static_cast<double>(sent.size()));
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, sigma);
  std::vector<std::int16_t> out(mix.size());
  for (std::size_t i = 0; i < mix.size(); ++i)
    out[i] = static_cast<std::int16_t>(std::clamp((mix[i] + noise(random)) * scale, -32767.0, 32767.0));
  write_wav(wav, out);
  return {};
}

std::optional<Decode> read_jt9_line(std::string_view line) {
  const std::vector<std::string> w = words(line);
  if (w.size() < 6 || w[0].size() != 6 || !is_number(w[0]) || !is_number(w[1]) || !is_number(w[2]) ||
      !is_number(w[3]) || w[4] != "~")
    return std::nullopt;
  return Decode{w[0].substr(0, 4), std::stoi(w[1]), std::stod(w[2]), std::stoi(w[3]), message_after(line, 5)};
}

std::optional<Decode> read_jtdx_line(std::string_view line) {
  const std::vector<std::string> w = words(line);
  if (w.size() < 6 || w[0].size() != 15 || w[0][8] != '_' || !is_number(w[1]) || !is_number(w[2]) ||
      !is_number(w[3]) || w[4].size() != 1)
    return std::nullopt;
  std::string message = message_after(line, 5);
  // The mark after the message's padding.
  if (const std::size_t blanks = message.rfind("  "); blanks != std::string::npos)
    message.erase(message.find_last_not_of(' ', blanks) + 1);
  return Decode{w[0].substr(9, 4), std::stoi(w[1]), std::stod(w[2]), std::stoi(w[3]), message};
}

const DecoderKind kWsjtx = {"wsjtx",  "WSJT-X.ini",
                            "",       "^WSJT-X +v",
                            "WSJT-X", [](const std::string& name) { return name == "ALL.TXT"; },
                            false,    read_all_txt_line};

const DecoderKind kJtdx = {
    "jtdx",
    "JTDX.ini",
    "WriteDecodedALLTXT=true\n",
    "^JTDX +by",
    "JTDX",
    [](const std::string& name) { return name.size() == 14 && name.compare(6, 8, "_ALL.TXT") == 0; },
    true,
    read_jtdx_line};

std::optional<Decode> read_all_txt_line(std::string_view line) {
  const std::vector<std::string> w = words(line);
  if (w.size() < 8 || w[0].size() != 13 || w[0][6] != '_' || w[2] != "Rx" || !is_number(w[4]) ||
      !is_number(w[5]) || !is_number(w[6]))
    return std::nullopt;
  return Decode{w[0].substr(7, 4), std::stoi(w[4]), std::stod(w[5]), std::stoi(w[6]), message_after(line, 7)};
}

Child start_program(const std::vector<std::string>& argv, const std::string& folder,
                    const std::string& output) {
  const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const pid_t pid = spawn(argv, {folder, {}, fd, -1});
  ::close(fd);
  return Child(pid);
}

Child& Child::operator=(Child&& other) noexcept {
  if (this != &other) {
    end();
    pid_ = other.pid_;
    other.pid_ = -1;
  }
  return *this;
}

bool Child::running() {
  if (pid_ <= 0) return false;
  if (::waitpid(pid_, nullptr, WNOHANG) == 0) return true;
  pid_ = -1;
  return false;
}

void Child::end() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  for (int i = 0; i < 40 && ::waitpid(pid_, nullptr, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(milliseconds(50));
  if (::waitpid(pid_, nullptr, WNOHANG) == 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
}

DecoderGui::DecoderGui(const DecoderKind& kind, const std::string& home, const std::string& udp_server)
    : kind_(kind), home_(home) {
  for (const char* program : {"Xvfb", "xdotool", kind.program})
    if (on_path(program).empty()) {
      problem_ = std::string(program) + " is not installed (tools/install_deps.sh installs it)";
      return;
    }
  const fs::path config = fs::path(home) / "config";
  const fs::path data = fs::path(home) / "data";
  const fs::path scratch = fs::path(home) / "tmp";
  const fs::path runtime = fs::path(home) / "run";
  for (const fs::path& folder : {config, data, scratch, runtime}) fs::create_directories(folder);
  fs::permissions(runtime, fs::perms::owner_all);
  write_file(config / kind.settings, settings(kind, udp_server));
  data_folder_ = (data / kind.folder).string();

  // Xvfb picks a free display and writes its number to fd 3.
  int number[2];
  if (::pipe2(number, O_CLOEXEC) != 0) {
    problem_ = "no pipe for Xvfb";
    return;
  }
  xvfb_ = Child(spawn({"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"},
                      {home, {}, -1, number[1]}));
  ::close(number[1]);
  const std::string shown = read_until_end(number[0], Clock::now() + std::chrono::seconds(20), true);
  ::close(number[0]);
  if (shown.empty() || !xvfb_.running()) {
    problem_ = "Xvfb did not start";
    return;
  }
  display_ = ":" + shown.substr(0, shown.find('\n'));

  gui_ = Child(spawn({kind.program}, {home,
                                      {"DISPLAY=" + display_, "HOME=" + home,
                                       "XDG_CONFIG_HOME=" + config.string(), "XDG_DATA_HOME=" + data.string(),
                                       "XDG_RUNTIME_DIR=" + runtime.string(), "TMPDIR=" + scratch.string()},
                                      -1,
                                      -1}));
  if (window(kind.window, std::chrono::seconds(60)).empty())
    problem_ = std::string("the ") + kind.program + " window did not show within 60 s";
}

std::string DecoderGui::log_name() const {
  std::string newest;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(data_folder_, error)) {
    const std::string name = entry.path().filename().string();
    if (kind_.is_log_name(name) && name > newest) newest = name;
  }
  return newest;
}

std::string DecoderGui::wait_for_log(milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  while (log_name().empty() && Clock::now() < deadline) std::this_thread::sleep_for(milliseconds(100));
  return log_name();
}

std::string DecoderGui::xdotool(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string out = run_command(argv, home_, {"DISPLAY=" + display_}).out;
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

// The id of the first window whose name matches, once it shows; "" when
// none shows within `timeout`.
std::string DecoderGui::window(const std::string& name_pattern, milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  do {
    std::string ids = xdotool({"search", "--onlyvisible", "--name", name_pattern});
    if (!ids.empty()) return ids.substr(0, ids.find('\n'));
    std::this_thread::sleep_for(milliseconds(100));
  } while (Clock::now() < deadline && gui_.running());
  return {};
}

std::vector<std::string> DecoderGui::decode(const std::string& wav, const std::vector<Transmission>& sent,
                                            milliseconds timeout) {
  if (!problem_.empty()) return {};
  // Real key events to the focused window: keys sent to a window by its id
  // made WSJT-X decode the file opened before once more.
  // A window just shown may not take keys yet: Ctrl+O again after a while.
  const std::string main = window(kind_.window, std::chrono::seconds(5));
  std::string dialog;
  for (int attempt = 0; attempt < 4 && dialog.empty(); ++attempt) {
    xdotool({"windowfocus", "--sync", main});
    xdotool({"key", "ctrl+o"});
    dialog = window("^Open File$", std::chrono::seconds(5));
  }
  if (dialog.empty()) {
    problem_ = std::string(kind_.program) + " showed no Open File dialog for " + wav;
    return {};
  }
  xdotool({"windowfocus", "--sync", dialog});
  xdotool({"type", "--delay", "5", wav});
  xdotool({"key", "Return"});

  const Clock::time_point deadline = Clock::now() + timeout;
  std::vector<std::string> missing;
  std::vector<std::string> lines;
  for (;;) {
    lines = lines_from(data_folder_ + "/" + log_name(), lines_seen_);
    missing.clear();
    for (const Transmission& t : sent) {
      bool found = false;
      for (const std::string& line : lines) {
        const std::optional<Decode> d = kind_.read_line(line);
        found = found || (d && d->message == t.message);
      }
      if (!found) missing.push_back(t.message);
    }
    if (missing.empty() || Clock::now() >= deadline) break;
    std::this_thread::sleep_for(milliseconds(100));
  }
  // A decode may still be on its way: a moment for it to be written whole.
  std::this_thread::sleep_for(milliseconds(300));
  lines = lines_from(data_folder_ + "/" + log_name(), lines_seen_);
  lines_seen_ += lines.size();
  if (!missing.empty()) {
    problem_ = std::string(kind_.program) + " did not decode";
    for (const std::string& m : missing) problem_ += " \"" + m + "\"";
    problem_ += " from " + wav + " within " + std::to_string(timeout.count() / 1000) + " s";
  }
  return lines;
}

}  // namespace e2e
