// Signals are the main thread's: there the console's handlers restore the
// terminal and end the program at once. Run in another thread, a handler
// would wait for the main thread's output to drain before it could end it.
#ifndef CORE_THREAD_SIGNALS_H
#define CORE_THREAD_SIGNALS_H

#include <functional>
#include <thread>

// Starts `body` in a thread that never takes the signals the console
// handles, from its first instruction on.
std::thread start_thread_without_signals(std::function<void()> body);

#endif  // CORE_THREAD_SIGNALS_H
