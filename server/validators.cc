#include "validators.h"

#include <cstdio>
#include <cstring>

namespace product_server {
namespace {

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::string FormatHttpDate(time_t time) {
  struct tm parts;
  gmtime_r(&time, &parts);
  char text[40];
  std::snprintf(text, sizeof(text), "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[parts.tm_wday],
                parts.tm_mday, kMonths[parts.tm_mon], parts.tm_year + 1900, parts.tm_hour,
                parts.tm_min, parts.tm_sec);
  return text;
}

std::optional<time_t> ParseHttpDate(std::string_view text) {
  if (text.size() != 29 || text.substr(25) != " GMT") return std::nullopt;
  std::string copy(text);
  char day[4] = {}, month[4] = {};
  struct tm parts = {};
  int consumed = 0;
  if (std::sscanf(copy.c_str(), "%3s, %d %3s %d %d:%d:%d GMT%n", day, &parts.tm_mday, month,
                  &parts.tm_year, &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &consumed) != 7 ||
      consumed != 29) {
    return std::nullopt;
  }
  parts.tm_mon = -1;
  for (int i = 0; i < 12; ++i) {
    if (std::strcmp(month, kMonths[i]) == 0) parts.tm_mon = i;
  }
  if (parts.tm_mon < 0) return std::nullopt;
  parts.tm_year -= 1900;
  return timegm(&parts);
}

std::string MakeETag(uint64_t size, const struct timespec& modified) {
  char text[64];
  std::snprintf(text, sizeof(text), "\"%llx-%llx-%lx\"", static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(modified.tv_sec),
                static_cast<unsigned long>(modified.tv_nsec));
  return text;
}

}  // namespace product_server
