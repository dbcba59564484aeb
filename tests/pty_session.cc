#include "pty_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <system_error>
#include <thread>

extern char** environ;

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void throw_errno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

// Moves fd to a number above the standard streams, close-on-exec.
int high_cloexec(int fd) {
  int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  int saved = errno;
  close(fd);
  errno = saved;
  return moved;
}

// Closes a descriptor of the parent's own when it goes out of scope.
struct LocalFd {
  int fd = -1;
  ~LocalFd() {
    if (fd >= 0) close(fd);
  }
};

int open_cloexec(const std::string& path, int flags) {
  int fd = open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) throw_errno("open " + path);
  return high_cloexec(fd);
}

std::vector<std::string> child_environment(const std::vector<std::string>& changes) {
  std::map<std::string, std::string> vars;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    size_t eq = entry.find('=');
    if (eq != std::string::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  vars["TERM"] = "xterm-256color";
  vars.erase("LINES");
  vars.erase("COLUMNS");
  vars.erase("NO_COLOR");
  // No data folder of WSJT-X or JTDX: a program started in a folder without
  // a log finds none of the user's.
  vars["HOME"] = "/nonexistent";
  vars.erase("XDG_DATA_HOME");
  for (const std::string& change : changes) {
    size_t eq = change.find('=');
    if (eq == std::string::npos) {
      vars.erase(change);
    } else {
      vars[change.substr(0, eq)] = change.substr(eq + 1);
    }
  }
  std::vector<std::string> out;
  for (const auto& [name, value] : vars) out.push_back(name + "=" + value);
  return out;
}

std::vector<char*> c_strings(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

// What the child reports through the exec pipe when it cannot start.
struct StartFailure {
  int step;
  int error;
};
enum StartStep { kSetsid, kControllingTty, kRedirect, kChdir, kExec };
constexpr const char* kStepNames[] = {"setsid", "TIOCSCTTY", "dup2", "chdir", "exec"};

// Runs in the forked child: only async-signal-safe calls from here on.
[[noreturn]] void start_child(int slave_fd, int stdin_fd, int stdout_fd, const char* dir, char* const* argv,
                              char* const* envp, int report_fd) {
  auto fail = [report_fd](int step) {
    StartFailure f{step, errno};
    ssize_t ignored = write(report_fd, &f, sizeof f);
    (void)ignored;
    _exit(127);
  };
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  for (int sig = 1; sig < NSIG; ++sig) ::signal(sig, SIG_DFL);

  if (setsid() < 0) fail(kSetsid);
  if (ioctl(slave_fd, TIOCSCTTY, 0) < 0) fail(kControllingTty);
  if (dup2(stdin_fd >= 0 ? stdin_fd : slave_fd, 0) < 0) fail(kRedirect);
  if (dup2(stdout_fd >= 0 ? stdout_fd : slave_fd, 1) < 0) fail(kRedirect);
  if (dup2(slave_fd, 2) < 0) fail(kRedirect);
  if (dir != nullptr && chdir(dir) < 0) fail(kChdir);
  execvpe(argv[0], argv, envp);
  fail(kExec);
  _exit(127);
}

}  // namespace

std::vector<std::string> fake_clock_env(std::string_view local_time) {
  return {"LD_PRELOAD=/usr/$LIB/faketime/libfaketime.so.1", "FAKETIME=@" + std::string(local_time)};
}

std::string termios_diff(const termios& before, const termios& after) {
  std::string out;
  auto flag = [&out](const char* name, tcflag_t a, tcflag_t b) {
    if (a == b) return;
    char line[120];
    std::snprintf(line, sizeof line, "%s: %#o -> %#o (changed bits %#o)\n", name, static_cast<unsigned>(a),
                  static_cast<unsigned>(b), static_cast<unsigned>(a ^ b));
    out += line;
  };
  flag("c_iflag", before.c_iflag, after.c_iflag);
  flag("c_oflag", before.c_oflag, after.c_oflag);
  flag("c_cflag", before.c_cflag, after.c_cflag);
  flag("c_lflag", before.c_lflag, after.c_lflag);
  static constexpr std::pair<int, const char*> kChars[] = {
      {VINTR, "VINTR"},       {VQUIT, "VQUIT"},     {VERASE, "VERASE"}, {VKILL, "VKILL"},
      {VEOF, "VEOF"},         {VTIME, "VTIME"},     {VMIN, "VMIN"},     {VSTART, "VSTART"},
      {VSTOP, "VSTOP"},       {VSUSP, "VSUSP"},     {VEOL, "VEOL"},     {VREPRINT, "VREPRINT"},
      {VDISCARD, "VDISCARD"}, {VWERASE, "VWERASE"}, {VLNEXT, "VLNEXT"}, {VEOL2, "VEOL2"},
  };
  for (const auto& [index, name] : kChars) {
    if (before.c_cc[index] != after.c_cc[index]) {
      out += std::string(name) + ": " + std::to_string(before.c_cc[index]) + " -> " +
             std::to_string(after.c_cc[index]) + "\n";
    }
  }
  if (cfgetispeed(&before) != cfgetispeed(&after)) out += "input speed changed\n";
  if (cfgetospeed(&before) != cfgetospeed(&after)) out += "output speed changed\n";
  return out;
}

namespace {

PtyOptions options_for(std::vector<std::string> argv, std::string working_dir) {
  PtyOptions options;
  options.argv = std::move(argv);
  options.working_dir = std::move(working_dir);
  return options;
}

}  // namespace

PtySession::PtySession(std::vector<std::string> argv, std::string working_dir)
    : PtySession(options_for(std::move(argv), std::move(working_dir))) {}

PtySession::PtySession(PtyOptions options) : screen_(options.rows, options.cols) {
  if (options.argv.empty()) throw std::invalid_argument("PtySession needs a program to run");
  try {
    start(options);
  } catch (...) {
    if (master_fd_ >= 0) close(master_fd_);
    if (slave_fd_ >= 0) close(slave_fd_);
    throw;
  }
}

void PtySession::start(const PtyOptions& options) {
  winsize size{};
  size.ws_row = static_cast<unsigned short>(options.rows);
  size.ws_col = static_cast<unsigned short>(options.cols);
  int master = -1;
  int slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) throw_errno("openpty");
  master_fd_ = high_cloexec(master);
  slave_fd_ = high_cloexec(slave);
  if (master_fd_ < 0 || slave_fd_ < 0) throw_errno("fcntl");
  if (fcntl(master_fd_, F_SETFL, fcntl(master_fd_, F_GETFL) | O_NONBLOCK) < 0) {
    throw_errno("fcntl O_NONBLOCK");
  }

  termios settings{};
  if (tcgetattr(slave_fd_, &settings) != 0) throw_errno("tcgetattr");
  if (options.initial_termios) {
    settings = *options.initial_termios;
  } else {
    settings.c_iflag |= IUTF8;
  }
  if (tcsetattr(slave_fd_, TCSANOW, &settings) != 0) throw_errno("tcsetattr");
  if (tcgetattr(slave_fd_, &termios_at_start_) != 0) throw_errno("tcgetattr");

  // Everything the child needs is prepared before fork: it must not allocate.
  LocalFd stdin_fd;
  if (!options.stdin_file.empty()) stdin_fd.fd = open_cloexec(options.stdin_file, O_RDONLY);
  LocalFd stdout_fd;
  if (!options.stdout_file.empty()) {
    stdout_fd.fd = open_cloexec(options.stdout_file, O_WRONLY | O_CREAT | O_TRUNC);
  }
  std::vector<std::string> env = child_environment(options.env);
  std::vector<char*> envp = c_strings(env);
  std::vector<std::string> args = options.argv;
  std::vector<char*> argv = c_strings(args);
  const char* dir = options.working_dir.empty() ? nullptr : options.working_dir.c_str();

  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) throw_errno("pipe2");
  LocalFd report_read{report[0]};
  LocalFd report_write{report[1]};
  pid_ = fork();
  if (pid_ == 0) {
    start_child(slave_fd_, stdin_fd.fd, stdout_fd.fd, dir, argv.data(), envp.data(), report[1]);
  }
  if (pid_ < 0) throw_errno("fork");
  close(report_write.fd);
  report_write.fd = -1;

  StartFailure failure{};
  ssize_t n;
  do {
    n = read(report_read.fd, &failure, sizeof failure);
  } while (n < 0 && errno == EINTR);
  if (n == static_cast<ssize_t>(sizeof failure)) {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    errno = failure.error;
    throw_errno(std::string("starting ") + options.argv[0] + ": " + kStepNames[failure.step]);
  }
}

PtySession::~PtySession() {
  if (pid_ > 0 && !status_) {
    kill(-pid_, SIGKILL);
    kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  if (master_fd_ >= 0) close(master_fd_);
  if (slave_fd_ >= 0) close(slave_fd_);
}

bool PtySession::read_output(milliseconds timeout) {
  if (master_fd_ < 0) {
    std::this_thread::sleep_for(timeout);
    return false;
  }
  pollfd p{master_fd_, POLLIN, 0};
  int ready = poll(&p, 1, static_cast<int>(timeout.count()));
  if (ready < 0 && errno != EINTR) throw_errno("poll");
  if (ready <= 0) return false;
  bool got = false;
  char buf[4096];
  for (;;) {
    ssize_t n = read(master_fd_, buf, sizeof buf);
    if (n > 0) {
      got = true;
      raw_output_.append(buf, static_cast<size_t>(n));
      screen_.feed(std::string_view(buf, static_cast<size_t>(n)));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // EAGAIN: drained for now. EIO: no slave side open any more.
    break;
  }
  std::string replies = screen_.take_replies();
  if (!replies.empty()) write_all(replies, kDefaultTimeout);
  return got;
}

void PtySession::write_all(std::string_view bytes, milliseconds timeout) {
  if (master_fd_ < 0) throw std::logic_error("the terminal has been closed");
  auto deadline = Clock::now() + timeout;
  while (!bytes.empty()) {
    ssize_t n = write(master_fd_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) throw_errno("write to terminal");
    if (Clock::now() >= deadline) {
      throw std::runtime_error("the program did not take typed input in time");
    }
    // The input queue is full: keep reading output so the program can go on.
    pollfd p{master_fd_, POLLOUT, 0};
    poll(&p, 1, 10);
    read_output(milliseconds(0));
  }
}

void PtySession::send(std::string_view bytes, milliseconds timeout) {
  read_output(milliseconds(0));
  write_all(bytes, timeout);
}

void PtySession::pump(milliseconds duration) {
  auto deadline = Clock::now() + duration;
  for (;;) {
    auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    read_output(left);
  }
}

bool PtySession::wait_for(const std::function<bool()>& pred, milliseconds timeout) {
  auto deadline = Clock::now() + timeout;
  read_output(milliseconds(0));
  while (!pred()) {
    auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    read_output(std::min(left, milliseconds(50)));
  }
  return true;
}

bool PtySession::wait_for_text(std::string_view needle, milliseconds timeout) {
  return wait_for([&] { return screen_.contains(needle); }, timeout);
}

bool PtySession::wait_for_quiet(milliseconds quiet, milliseconds timeout) {
  auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (!read_output(quiet)) return true;
  }
  return false;
}

void PtySession::note_exit(int status) {
  status_ = status;
  // The harness holds the slave open, so what the program wrote last is
  // still waiting in the terminal.
  while (read_output(milliseconds(0))) {
  }
}

bool PtySession::running() {
  if (status_) return false;
  int status = 0;
  pid_t r = waitpid(pid_, &status, WNOHANG);
  if (r == pid_) {
    note_exit(status);
    return false;
  }
  if (r < 0 && errno != EINTR) throw_errno("waitpid");
  return true;
}

bool PtySession::wait_exit(milliseconds timeout, int* status) {
  auto deadline = Clock::now() + timeout;
  while (running()) {
    auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    read_output(std::min(left, milliseconds(10)));
  }
  if (status != nullptr) *status = *status_;
  return true;
}

void PtySession::signal(int sig) {
  if (status_) throw std::logic_error("the program has already ended");
  if (kill(pid_, sig) != 0) throw_errno("kill");
}

void PtySession::signal_group(int sig) {
  if (kill(-pid_, sig) != 0) throw_errno("kill process group");
}

void PtySession::resize(int rows, int cols) {
  if (master_fd_ < 0) throw std::logic_error("the terminal has been closed");
  read_output(milliseconds(0));
  screen_.resize(rows, cols);
  winsize size{};
  size.ws_row = static_cast<unsigned short>(rows);
  size.ws_col = static_cast<unsigned short>(cols);
  if (ioctl(master_fd_, TIOCSWINSZ, &size) != 0) throw_errno("TIOCSWINSZ");
}

void PtySession::close_master() {
  if (master_fd_ >= 0) {
    read_output(milliseconds(0));
    close(master_fd_);
    master_fd_ = -1;
  }
  if (slave_fd_ >= 0) {
    close(slave_fd_);
    slave_fd_ = -1;
  }
}

void PtySession::stop_output() {
  if (tcflow(slave_fd_, TCOOFF) != 0) throw_errno("tcflow");
}

void PtySession::start_output() {
  if (tcflow(slave_fd_, TCOON) != 0) throw_errno("tcflow");
}

termios PtySession::termios_now() const {
  if (slave_fd_ < 0) throw std::logic_error("the terminal has been closed");
  termios t{};
  if (tcgetattr(slave_fd_, &t) != 0) throw_errno("tcgetattr");
  return t;
}

}  // namespace e2e
