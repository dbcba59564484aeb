#include <time.h>

#include <cerrno>

#include "system/clock.h"

LocalTime local_time() {
  const time_t now = time(nullptr);
  struct tm t {};
  localtime_r(&now, &t);
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

void pause_ms(int milliseconds) {
  timespec left{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}
