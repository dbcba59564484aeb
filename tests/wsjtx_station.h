// WSJT-X's own programs beside ours in a test: ft8sim makes FT8
// transmissions, jt9 decodes them, and the GUI of WSJT-X or of JTDX, its
// fork, runs headless under Xvfb with settings of its own, decoding WAV
// files opened with File > Open as a user does, writing its decode log and
// sending its Decode datagrams.
#ifndef TESTS_WSJTX_STATION_H
#define TESTS_WSJTX_STATION_H

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

// Whether the test runs in the namespaces of tests/own_station.sh, where
// Xvfb, WSJT-X and its port 16004 meet nothing of the user's.
bool in_own_station();
inline constexpr const char* kNoOwnStation =
    "skipped: WSJT-X and Xvfb run only in network, IPC, PID and mount namespaces of the "
    "test's own, and none could be made here (tests/own_station.sh needs root and unshare)";

// Runs `argv` in `folder` and waits for it; what it wrote to stdout.
struct CommandResult {
  int status = -1;  // the exit status, -1 when it did not start or exit
  std::string out;
};
CommandResult run_command(const std::vector<std::string>& argv, const std::string& folder,
                          const std::vector<std::string>& env = {});

// One FT8 transmission in a 15 s period.
struct Transmission {
  std::string message;
  int audio_hz = 1500;
  double dt_s = 0;
};

// Makes `wav` (12 kHz, 16-bit, one 15 s period, as WSJT-X records FT8) of
// the transmissions, each made by ft8sim, mixed in white noise from `seed`
// at about -8 dB each. "" when it is made; else what failed.
std::string make_ft8_wav(const std::string& wav, const std::vector<Transmission>& sent, unsigned seed);

// A decode as WSJT-X, jt9 or JTDX wrote it, read apart at its blanks.
struct Decode {
  std::string hhmm;
  int snr = 0;
  double dt_s = 0;
  int audio_hz = 0;
  std::string message;
};
// A decode line of jt9's printout ("hhmmss snr dt freq ~  message") or of
// ALL.TXT as WSJT-X 2.x writes it ("yyMMdd_hhmmss MHz Rx FT8 snr dt freq
// message"); nothing for any other line.
std::optional<Decode> read_jt9_line(std::string_view line);
std::optional<Decode> read_all_txt_line(std::string_view line);
// A decode line of JTDX's yyyyMM_ALL.TXT ("yyyyMMdd_hhmmss snr dt freq ~
// message", a mark after it); nothing for any other line.
std::optional<Decode> read_jtdx_line(std::string_view line);

// A process that is ended (SIGTERM, then SIGKILL) when the object goes.
class Child {
 public:
  Child() = default;
  explicit Child(pid_t pid) : pid_(pid) {}
  Child(Child&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }
  Child& operator=(Child&& other) noexcept;
  ~Child() { end(); }
  bool running();
  void end();

 private:
  pid_t pid_ = -1;
};

// Starts `argv` in `folder`, what it writes to stdout going to the file
// `output`.
Child start_program(const std::vector<std::string>& argv, const std::string& folder,
                    const std::string& output);

// What tells WSJT-X and JTDX apart in a test.
struct DecoderKind {
  const char* program;        // on the PATH
  const char* settings;       // its settings file in XDG_CONFIG_HOME
  const char* more_settings;  // of [Configuration], beyond WSJT-X's
  const char* window;         // a pattern of its main window's name
  const char* folder;         // its data folder in XDG_DATA_HOME
  // Its decode log in its data folder: the newest file of that name;
  // whether it makes it when it starts (else with its first decode).
  bool (*is_log_name)(const std::string& name);
  bool makes_log_at_start;
  std::optional<Decode> (*read_line)(std::string_view line);
};
extern const DecoderKind kWsjtx;
// JTDX writes every decode into its log only with "write decoded" on.
extern const DecoderKind kJtdx;

// The GUI of WSJT-X or JTDX on an Xvfb display of its own; HOME, its
// settings, data and scratch folders under `home`; its UDP server at
// `udp_server`, port 16004. problem() says what failed to start.
class DecoderGui {
 public:
  DecoderGui(const DecoderKind& kind, const std::string& home, const std::string& udp_server = "127.0.0.1");
  DecoderGui(const DecoderGui&) = delete;
  DecoderGui& operator=(const DecoderGui&) = delete;

  const std::string& problem() const { return problem_; }
  // Its data folder, where it writes its decode log.
  const std::string& data_folder() const { return data_folder_; }
  // The name of its decode log there; "" before it is made.
  std::string log_name() const;
  // Waits until its log is there (at most `timeout`); its name.
  std::string wait_for_log(std::chrono::milliseconds timeout);

  // Opens `wav` with File > Open, as a user does, and waits until its log
  // holds a line for each of `sent` (at most `timeout`). The lines the log
  // gained; problem() names the messages that it did not decode.
  std::vector<std::string> decode(const std::string& wav, const std::vector<Transmission>& sent,
                                  std::chrono::milliseconds timeout = std::chrono::seconds(30));

 private:
  std::string xdotool(const std::vector<std::string>& args);
  std::string window(const std::string& name_pattern, std::chrono::milliseconds timeout);

  const DecoderKind& kind_;
  std::string problem_;
  std::string home_;
  std::string data_folder_;
  std::string display_;
  std::size_t lines_seen_ = 0;
  Child xvfb_;
  Child gui_;
};

}  // namespace e2e

#endif  // TESTS_WSJTX_STATION_H
