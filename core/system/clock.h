// The local clock, and a pause.
#ifndef SYSTEM_CLOCK_H
#define SYSTEM_CLOCK_H

#include <string>

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

// Two-digit form of a date or time field 0 to 99 ("07", "12"); any other
// number in full.
inline std::string format_digits(int value) {
  if (value >= 0 && value <= 99)
    return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
  return std::to_string(value);
}

#endif  // SYSTEM_CLOCK_H
