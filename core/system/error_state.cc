#include "error_state.h"

#include <atomic>

namespace {
// Atomic: the read-ahead thread's failed reads set it too.
std::atomic<int> g_error{0};
std::atomic<bool> g_read_failed{false};
// Stands for a failure whose platform error number was zero.
constexpr int kUnknownError = 240;
}  // namespace

int last_error() { return g_error.load(std::memory_order_relaxed); }
void clear_error() { g_error.store(0, std::memory_order_relaxed); }
void set_error(int code) { g_error.store(code != 0 ? code : kUnknownError, std::memory_order_relaxed); }

void set_read_error(int code) {
  set_error(code);
  g_read_failed.store(true, std::memory_order_relaxed);
}
bool read_error_seen() { return g_read_failed.load(std::memory_order_relaxed); }
void clear_read_error() { g_read_failed.store(false, std::memory_order_relaxed); }
