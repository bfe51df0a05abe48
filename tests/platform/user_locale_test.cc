#include "platform/user_locale.h"

#include <gtest/gtest.h>

namespace {

TEST(UserLocale, LanguageCodeOfLocaleValues) {
  struct Case {
    const char* value;
    const char* code;
  };
  const Case cases[] = {
      {"ru_RU.UTF-8", "ru"}, {"de_DE", "de"},   {"sr_RS@latin", "sr"}, {"pt.UTF-8", "pt"}, {"EN_us", "en"},
      {"fil_PH", "fil"},     {"C", ""},         {"C.UTF-8", ""},       {"POSIX", ""},      {"", ""},
      {"x", ""},             {"english", ""},   {"12_34", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::LanguageCodeOfLocale(c.value), c.code) << c.value;
}

TEST(UserLocale, NamesWithoutALocaleResolveToNothing) {
  EXPECT_EQ(platform::ResolveLocaleName(""), "");
  EXPECT_EQ(platform::ResolveLocaleName("cz"), "");  // a country, not a language
  EXPECT_FALSE(platform::SetTimeLocale("cz"));
  // Locales the machine has resolve to themselves.
  EXPECT_EQ(platform::ResolveLocaleName("C.UTF-8"), "C.UTF-8");
}

}  // namespace
