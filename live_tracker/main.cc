#include "console/console.h"
#include "live_tracker/live_tracker.h"

int main(int argc, char** argv) {
  console_init(argc, argv);
  return exit_status(run_live_tracker());
}
