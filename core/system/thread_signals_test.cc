#include "system/thread_signals.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <csignal>

namespace {

volatile sig_atomic_t g_handled = 0;

void on_term(int sig) {
  if (end_signal_deferred(sig)) return;
  g_handled = g_handled + 1;
}

// A signal that comes while the work is held waits for the last holder to
// go, then is handled once.
TEST(EndSignalsHeld, ASignalWaitsForTheHeldWorkThenComesOnce) {
  struct sigaction action {
  }, before{};
  action.sa_handler = on_term;
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(sigaction(SIGTERM, &action, &before), 0);
  g_handled = 0;
  {
    const EndSignalsHeld outer;
    {
      const EndSignalsHeld inner;
      std::raise(SIGTERM);
      EXPECT_EQ(g_handled, 0);
    }
    EXPECT_EQ(g_handled, 0);
  }
  EXPECT_EQ(g_handled, 1);
  std::raise(SIGTERM);  // nothing held: at once
  EXPECT_EQ(g_handled, 2);
  sigaction(SIGTERM, &before, nullptr);
}

}  // namespace
#endif
