// The local clock, and a pause.
#ifndef SYSTEM_CLOCK_H
#define SYSTEM_CLOCK_H

struct LocalTime {
  int year = 0;    // e.g. 2023
  int month = 0;   // 1-12
  int day = 0;     // 1-31
  int hour = 0;    // 0-23
  int minute = 0;  // 0-59
  int second = 0;  // 0-59 (60 in a leap second)
};

LocalTime local_time();
void pause_ms(int milliseconds);

#endif  // SYSTEM_CLOCK_H
