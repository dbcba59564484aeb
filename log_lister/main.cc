#include "console/console.h"
#include "log_lister/log_lister.h"

int main(int argc, char** argv) {
  console_init(argc, argv);
  return exit_status(run_log_lister());
}
