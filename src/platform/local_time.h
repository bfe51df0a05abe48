// The local calendar time, as the log and the log names print it.
#pragma once

#include <cstdint>

namespace platform {

struct LocalTime {
  int year = 0;    // in full, e.g. 2024
  int month = 0;   // 1 to 12
  int day = 0;     // 1 to 31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The current calendar time converted to local time.
LocalTime CurrentLocalTime();
// Milliseconds from an arbitrary fixed start, never going back.
uint64_t TickCountMs();

}  // namespace platform
