#include "servers/httx503_answer.h"

#include <cstring>

#include "base/xml_readers.h"
#include "platform/locale_time.h"

namespace {

bool HasClass(const tinyxml2::XMLElement& element, const char* value) {
  const char* cls = element.Attribute("class");
  return cls != nullptr && std::strcmp(cls, value) == 0;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The UTF-8 no-break space (C2 A0) becomes a blank; every other byte stays,
// so letters whose encoding contains A0 or C2 are not damaged.
std::string NoBreakSpacesToBlanks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0') {
      out += ' ';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

bool UtcCalendarToUnix(int year, int month, int day, int hour, int minute, int64_t& seconds) {
  if (year < 1970 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour < 0 || hour > 23 || minute < 0 || minute > 59) {
    return false;
  }
  seconds = DaysFromCivil(year, month, day) * 86400 + int64_t{hour} * 3600 + int64_t{minute} * 60;
  return true;
}

bool C503Visitor::VisitEnter(const tinyxml2::XMLElement& element, const tinyxml2::XMLAttribute*) {
  if (std::strcmp(element.Name(), "div") != 0) return true;
  const char* id = element.Attribute("id");
  if (id == nullptr) return true;
  if (std::strcmp(id, "time") == 0) {
    ReadTime(element);
  } else if (m_language == id) {
    ReadTexts(element);
  }
  return true;
}

void C503Visitor::ReadTime(const tinyxml2::XMLElement& div) {
  struct Field {
    const char* name;
    int* value;
  } fields[] = {{"year", &year}, {"month", &month}, {"day", &day}, {"hour", &hour}, {"minute", &minute}};
  for (const tinyxml2::XMLElement* e = div.FirstChildElement(); e != nullptr; e = e->NextSiblingElement()) {
    for (const Field& f : fields) {
      int32_t value = 0;
      if (HasClass(*e, f.name) && ReadTextInt(e, value)) *f.value = value;
    }
  }
}

void C503Visitor::ReadTexts(const tinyxml2::XMLElement& div) {
  for (const tinyxml2::XMLElement* e = div.FirstChildElement(); e != nullptr; e = e->NextSiblingElement()) {
    if (HasClass(*e, "title")) {
      hasTitle = ReadText(e, title) || hasTitle;
    } else if (HasClass(*e, "line1")) {
      hasLine1 = ReadText(e, line1) || hasLine1;
    } else if (HasClass(*e, "line2")) {
      line2.clear();
      timeAt = std::string::npos;
      for (const tinyxml2::XMLNode* node = e->FirstChild(); node != nullptr; node = node->NextSibling()) {
        if (const tinyxml2::XMLText* text = node->ToText()) {
          line2 += text->Value();
        } else if (const tinyxml2::XMLElement* child = node->ToElement()) {
          if (timeAt == std::string::npos && HasClass(*child, "time")) timeAt = line2.size();
        }
      }
    }
  }
}

bool ParseHttx503Answer(std::string_view page, std::string_view languageCode, int64_t nowUtc,
                        const MaintenanceTimeFormatter& formatTime, Httx503Answer& answer) {
  if (page.empty() || languageCode.empty()) return false;
  tinyxml2::XMLDocument doc;
  if (doc.Parse(page.data(), page.size()) != tinyxml2::XML_SUCCESS) return false;
  C503Visitor visitor{std::string(languageCode)};
  doc.Accept(&visitor);
  if (!visitor.hasTitle || !visitor.hasLine1) return false;

  Httx503Answer result;
  result.title = visitor.title;
  std::string message = visitor.line1;
  int64_t end = 0;
  if (visitor.timeAt != std::string::npos &&
      UtcCalendarToUnix(visitor.year, visitor.month, visitor.day, visitor.hour, visitor.minute, end) &&
      end > nowUtc) {
    std::string line2 = visitor.line2;
    line2.insert(visitor.timeAt, formatTime ? formatTime(end) : std::string());
    message += "\n\n" + line2;
    result.timeShown = true;
  }
  result.message = NoBreakSpacesToBlanks(message);
  answer = std::move(result);
  return true;
}

bool ParseHttx503Answer(std::string_view page, std::string_view languageCode, const std::string& localeName,
                        Httx503Answer& answer) {
  return ParseHttx503Answer(
      page, languageCode, platform::CurrentUnixTime(),
      [&localeName](int64_t utcSeconds) { return platform::FormatLongDateShortTime(utcSeconds, localeName); },
      answer);
}
