#include "error_state.h"

namespace {
int g_error = 0;
// Stands for a failure whose platform error number was zero.
constexpr int kUnknownError = 240;
}  // namespace

int last_error() { return g_error; }
void clear_error() { g_error = 0; }
void set_error(int code) { g_error = code != 0 ? code : kUnknownError; }
