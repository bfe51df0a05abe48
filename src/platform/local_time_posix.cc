#include "platform/local_time.h"

#include <time.h>

namespace platform {

LocalTime CurrentLocalTime() {
  const time_t now = ::time(nullptr);
  struct tm parts {};
  ::localtime_r(&now, &parts);
  LocalTime result;
  result.year = parts.tm_year + 1900;
  result.month = parts.tm_mon + 1;
  result.day = parts.tm_mday;
  result.hour = parts.tm_hour;
  result.minute = parts.tm_min;
  result.second = parts.tm_sec;
  return result;
}

uint64_t TickCountMs() {
  struct timespec ts {};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

}  // namespace platform
