#include <pthread.h>

#include <csignal>
#include <utility>

#include "thread_signals.h"

std::thread start_thread_without_signals(std::function<void()> body) {
  sigset_t set, before;
  sigemptyset(&set);
  for (int sig : {SIGTERM, SIGHUP, SIGQUIT, SIGINT, SIGCONT, SIGWINCH, SIGPIPE}) sigaddset(&set, sig);
  // A new thread starts with its creator's mask: blocked here for that moment only.
  pthread_sigmask(SIG_BLOCK, &set, &before);
  std::thread thread(std::move(body));
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return thread;
}

namespace {
thread_local int t_end_held = 0;  // EndSignalsHeld objects alive in this thread

sigset_t end_signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}
}  // namespace

EndSignalsHeld::EndSignalsHeld() {
  if (t_end_held++ > 0) return;
  const sigset_t set = end_signals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

EndSignalsHeld::~EndSignalsHeld() {
  if (--t_end_held > 0) return;
  const sigset_t set = end_signals();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}
