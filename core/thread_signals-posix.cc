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
