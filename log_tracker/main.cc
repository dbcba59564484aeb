#include "console/console.h"
#include "log_tracker/log_tracker.h"

int main(int argc, char** argv) {
  console_init(argc, argv);
  return exit_status(run_log_tracker());
}
