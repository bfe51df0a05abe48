#include "platform/user_locale.h"

#include <locale.h>
#include <stdlib.h>

#include <vector>

namespace platform {
namespace {

// Usual territories of the languages whose territory code is not the
// language code in capitals.
struct Territory {
  std::string_view language;
  const char* locale;
};
constexpr Territory kTerritories[] = {
    {"en", "en_GB.UTF-8"}, {"el", "el_GR.UTF-8"}, {"cs", "cs_CZ.UTF-8"},   {"kk", "kk_KZ.UTF-8"},
    {"sr", "sr_RS.UTF-8@latin"}, {"sr", "sr_RS.UTF-8"}, {"en", "en_US.UTF-8"}, {"uk", "uk_UA.UTF-8"},
};

bool LocaleInstalled(const std::string& name) {
  locale_t probe = newlocale(LC_ALL_MASK, name.c_str(), static_cast<locale_t>(nullptr));
  if (probe == static_cast<locale_t>(nullptr)) return false;
  freelocale(probe);
  return true;
}

bool IsLowerAscii(const std::string& text) {
  for (char c : text) {
    if (c < 'a' || c > 'z') return false;
  }
  return true;
}

}  // namespace

std::string ResolveLocaleName(const std::string& shortName) {
  if (shortName.empty() || shortName.size() > 64) return std::string();
  std::vector<std::string> candidates;
  if (IsLowerAscii(shortName)) {
    for (const Territory& territory : kTerritories) {
      if (territory.language == shortName) candidates.emplace_back(territory.locale);
    }
    std::string upper;
    for (char c : shortName) upper += static_cast<char>(c - 'a' + 'A');
    candidates.push_back(shortName + "_" + upper + ".UTF-8");
  } else {
    // A full locale name is taken as it stands.
    candidates.push_back(shortName);
  }
  for (const std::string& candidate : candidates) {
    if (LocaleInstalled(candidate)) return candidate;
  }
  return std::string();
}

bool SetTimeLocale(const std::string& shortName) {
  const std::string name = ResolveLocaleName(shortName);
  if (name.empty()) return false;
  return setlocale(LC_TIME, name.c_str()) != nullptr;
}

std::string LanguageCodeOfLocale(std::string_view value) {
  const size_t end = value.find_first_of("_.@");
  const std::string_view language = value.substr(0, end);
  if (language.size() < 2 || language.size() > 3) return std::string();
  std::string code;
  for (char c : language) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c < 'a' || c > 'z') return std::string();
    code += c;
  }
  return code;
}

std::string UserLanguageCode() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = getenv(variable);
    if (value != nullptr && *value != '\0') return LanguageCodeOfLocale(value);
  }
  return std::string();
}

}  // namespace platform
