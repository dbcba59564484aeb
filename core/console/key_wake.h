// How a wait for other input (the UDP socket of live_tracker) also ends as
// soon as a key is pressed, on each system:
//   POSIX: the keyboard is a descriptor; the wait polls it beside its own
//     and returns when it is readable (a key, or the end of the keys).
//   Windows: the console has nothing a socket wait can take; the wait
//     watches its own input in slices of at most kKeySliceMs and asks
//     key_waiting() between them.
// Either way the waiting code only learns that a key came; the console
// reads it.
#ifndef CONSOLE_KEY_WAKE_H
#define CONSOLE_KEY_WAKE_H

struct KeyWake {
  bool keys_can_come = false;  // false: no key can come; nothing to watch
  int descriptor = -1;         // POSIX: readable when a key is waiting; Windows: -1
};

// The longest a Windows wait goes without asking key_waiting().
inline constexpr int kKeySliceMs = 20;

// The console's keyboard as a wait watches it (after console_init).
KeyWake key_wake();

// True when a key press is waiting; never waits, takes nothing.
bool key_waiting();

#endif  // CONSOLE_KEY_WAKE_H
