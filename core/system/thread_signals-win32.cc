#include <utility>

#include "system/thread_signals.h"

// Console control events come in a thread of the system's own.
std::thread start_thread_without_signals(std::function<void()> body) { return std::thread(std::move(body)); }

// No signals end a program here.
EndSignalsHeld::EndSignalsHeld() {}
EndSignalsHeld::~EndSignalsHeld() {}
bool end_signal_deferred(int) { return false; }
bool end_signal_waiting() { return false; }
