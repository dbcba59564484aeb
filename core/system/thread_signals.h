// Signals are the main thread's: there the console's handlers write out what
// the console still holds, restore the terminal and end the program at once.
// Run in another thread, a handler would find the main thread's work half
// done.
#ifndef SYSTEM_THREAD_SIGNALS_H
#define SYSTEM_THREAD_SIGNALS_H

#include <functional>
#include <thread>

// Starts `body` in a thread that never takes the signals the console
// handles, from its first instruction on.
std::thread start_thread_without_signals(std::function<void()> body);

// While an object lives, the signals that end the program from outside
// (SIGTERM, SIGHUP, SIGINT, SIGQUIT) wait in the calling thread: work done
// under it (a point added to the files and its report line printed) is
// done whole or not at all when the program ends. Objects may nest. No
// system call: a handler that finds one alive leaves the signal to it
// (end_signal_deferred), and the last one destroyed raises it again.
class EndSignalsHeld {
 public:
  EndSignalsHeld();
  ~EndSignalsHeld();
  EndSignalsHeld(const EndSignalsHeld&) = delete;
  EndSignalsHeld& operator=(const EndSignalsHeld&) = delete;
};

// For the handlers of those signals: true when an EndSignalsHeld lives in
// this thread, which then raises `sig` again when it is destroyed.
bool end_signal_deferred(int sig);

// True when such a signal came while an EndSignalsHeld lived in this
// thread and waits to be raised again: a wait may end early for it.
bool end_signal_waiting();

#endif  // SYSTEM_THREAD_SIGNALS_H
