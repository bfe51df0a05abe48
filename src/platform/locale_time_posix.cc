#include "platform/locale_time.h"

#include <locale.h>
#include <time.h>

#include <cstring>
#include <string_view>

namespace platform {
namespace {

struct LocaleChoice {
  std::string_view name;     // the language's short locale name
  const char* posixLocale;   // the locale with its usual territory
  const char* longDate;      // strftime pattern of its long date
};

// The languages the launcher ships; others try "<name>_<NAME>.UTF-8".
constexpr LocaleChoice kChoices[] = {
    {"en", "en_GB.UTF-8", "%-d %B %Y"}, {"ru", "ru_RU.UTF-8", "%-d %B %Y"}, {"it", "it_IT.UTF-8", "%-d %B %Y"},
    {"es", "es_ES.UTF-8", "%-d de %B de %Y"}, {"pt", "pt_PT.UTF-8", "%-d de %B de %Y"},
    {"de", "de_DE.UTF-8", "%-d. %B %Y"}, {"cz", "cs_CZ.UTF-8", "%-d. %B %Y"}, {"cs", "cs_CZ.UTF-8", "%-d. %B %Y"},
    {"el", "el_GR.UTF-8", "%-d %B %Y"}, {"sr", "sr_RS.UTF-8@latin", "%-d. %B %Y."},
    {"tr", "tr_TR.UTF-8", "%-d %B %Y"}, {"kk", "kk_KZ.UTF-8", "%Y %-d %B"},
};

class TimeLocale {
 public:
  explicit TimeLocale(const char* name) : m_locale(newlocale(LC_TIME_MASK, name, static_cast<locale_t>(nullptr))) {}
  ~TimeLocale() {
    if (m_locale != static_cast<locale_t>(nullptr)) freelocale(m_locale);
  }
  TimeLocale(const TimeLocale&) = delete;
  TimeLocale& operator=(const TimeLocale&) = delete;
  locale_t get() const { return m_locale; }

 private:
  locale_t m_locale;
};

}  // namespace

int64_t CurrentUnixTime() { return static_cast<int64_t>(::time(nullptr)); }

std::string FormatLongDateShortTime(int64_t utcSeconds, const std::string& localeName) {
  const time_t seconds = static_cast<time_t>(utcSeconds);
  struct tm local;
  if (::localtime_r(&seconds, &local) == nullptr) return std::string();

  std::string posixName = localeName + "_";
  for (char c : localeName) posixName += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  posixName += ".UTF-8";
  const char* longDate = "%-d %B %Y";
  for (const LocaleChoice& choice : kChoices) {
    if (choice.name == localeName) {
      posixName = choice.posixLocale;
      longDate = choice.longDate;
    }
  }

  char buffer[256];
  const TimeLocale locale(posixName.c_str());
  if (locale.get() != static_cast<locale_t>(nullptr)) {
    const std::string pattern = std::string(longDate) + " %H:%M";
    const size_t n = ::strftime_l(buffer, sizeof buffer, pattern.c_str(), &local, locale.get());
    if (n > 0) return std::string(buffer, n);
  }
  const size_t n = ::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M", &local);
  return std::string(buffer, n);
}

}  // namespace platform
