// The user's language and the C library's locales, for the language tables.
//
// Locale names given here are the short names of the launcher's language
// list ("en", "ru", "sr"). A short name is resolved to an installed POSIX
// locale ("ru" -> "ru_RU.UTF-8"); a name the machine has no locale for
// (for example "cz", which names a country, not a language) resolves to
// nothing.
//
// Any thread may call the queries; SetTimeLocale changes the process-wide
// C locale and belongs to the main thread.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The installed locale for `shortName`, or "" when there is none (or the
// name is empty).
std::string ResolveLocaleName(const std::string& shortName);

// Sets the C library's LC_TIME category to the locale of `shortName`;
// false (nothing changed) when there is none.
bool SetTimeLocale(const std::string& shortName);

// The two- or three-letter language code of the user's locale, taken from
// the first non-empty of LC_ALL, LC_MESSAGES and LANG ("ru_RU.UTF-8" ->
// "ru"); "" for none or for the "C" and "POSIX" locales.
std::string UserLanguageCode();
// The language code of one locale value, as above.
std::string LanguageCodeOfLocale(std::string_view value);

}  // namespace platform
