// Calendar time for texts shown to the user: the current time, and a moment
// written in the user's local time with a language's month names.
//
// Any thread; nothing blocks. Never fails: without locale data for the
// language the text falls back to a numeric form.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Seconds since 1970-01-01 00:00 UTC.
int64_t CurrentUnixTime();

// `utcSeconds` converted to local time and written as the long date of the
// language `localeName` (a short name such as "en", "ru", "cz") followed by a
// blank and the 24-hour time, e.g. "5 May 2031 14:30". When the machine has
// no locale for the language: "2031-05-05 14:30".
std::string FormatLongDateShortTime(int64_t utcSeconds, const std::string& localeName);

}  // namespace platform
