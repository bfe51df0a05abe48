// The maintenance page a server sends with HTTP status 502 or 503: an XHTML
// document with one `div` per language (title, first line, second line with
// an optional end-time placeholder) and a `div` with the end time in UTC.
//
// Pure parsing; any thread. Failures are a false result. The page is server
// text: it is never used as a format, only copied.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <tinyxml2.h>

struct Httx503Answer {
  std::string title;    // UTF-8
  std::string message;  // UTF-8, no-break spaces turned into blanks
  bool timeShown = false;
};

// Collects the parts of the page while tinyxml2 walks it: the end time from
// `div id="time"` and the texts from the `div` whose id is the language code.
class C503Visitor : public tinyxml2::XMLVisitor {
 public:
  explicit C503Visitor(std::string languageCode) : m_language(std::move(languageCode)) {}

  bool VisitEnter(const tinyxml2::XMLElement& element, const tinyxml2::XMLAttribute* firstAttribute) override;

  // End of the maintenance in UTC; fields the page leaves out stay 0.
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  std::string title;
  std::string line1;
  bool hasTitle = false;
  bool hasLine1 = false;
  // The second line's texts; the first `class="time"` child stands at
  // `timeAt` (npos when there is none).
  std::string line2;
  size_t timeAt = std::string::npos;

 private:
  void ReadTime(const tinyxml2::XMLElement& div);
  void ReadTexts(const tinyxml2::XMLElement& div);

  std::string m_language;
};

// Writes a UTC moment for the user (long date, blank, short time).
using MaintenanceTimeFormatter = std::function<std::string(int64_t utcSeconds)>;

// Parses `page` for `languageCode`. False when the page or the language code
// is empty, the page is not well-formed, or it has no title or first line
// for the language. The second line, with the end time in place of its time
// element, is shown only when the end time is after `nowUtc`.
bool ParseHttx503Answer(std::string_view page, std::string_view languageCode, int64_t nowUtc,
                        const MaintenanceTimeFormatter& formatTime, Httx503Answer& answer);
// The same with the clock and the local time in the language's locale.
bool ParseHttx503Answer(std::string_view page, std::string_view languageCode, const std::string& localeName,
                        Httx503Answer& answer);

// Seconds since 1970-01-01 UTC of a calendar moment given in UTC; false for a
// field out of range (month 1-12, day valid in the month, hour 0-23, minute
// 0-59, year 1970-9999).
bool UtcCalendarToUnix(int year, int month, int day, int hour, int minute, int64_t& seconds);
