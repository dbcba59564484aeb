#include <pthread.h>

#include <atomic>
#include <csignal>
#include <utility>

#include "system/thread_signals.h"

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
// EndSignalsHeld objects alive in this thread, and an ending signal that came
// meanwhile. The handlers run in the main thread (the others never take
// these signals) and only read the count.
thread_local volatile sig_atomic_t t_end_held = 0;
thread_local volatile sig_atomic_t t_deferred = 0;
}  // namespace

EndSignalsHeld::EndSignalsHeld() {
  t_end_held = t_end_held + 1;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

EndSignalsHeld::~EndSignalsHeld() {
  std::atomic_signal_fence(std::memory_order_seq_cst);
  t_end_held = t_end_held - 1;
  if (t_end_held > 0 || t_deferred == 0) return;
  const int sig = t_deferred;
  t_deferred = 0;
  std::raise(sig);
}

bool end_signal_deferred(int sig) {
  if (t_end_held == 0) return false;
  t_deferred = sig;
  return true;
}

bool end_signal_waiting() { return t_deferred != 0; }
