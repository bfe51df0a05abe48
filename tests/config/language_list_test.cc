#include "config/language_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/launcher_lang_table.h"
#include "config/lso_source.h"
#include "config/resource_fixture.h"
#include "platform/settings_store.h"
#include "support/platform_sandbox.h"

namespace {

using config_testing::NumberedStrings;
using namespace std::string_literals;

constexpr const char kRegPath[] = "Software\\Test Studio\\Test Game";

std::string Enable(const std::string& lang, const std::string& file, const std::string& locale = "",
                   const std::string& extra = "") {
  return "<enable lang=\"" + lang + "\" file=\"" + file + "\" long=\"Long " + lang + "\" locale=\"" +
         (locale.empty() ? lang : locale) + "\" id=\"1\" icon=\"2\"" + extra + "/>";
}

class LanguageListTest : public ::testing::Test {
 protected:
  void TearDown() override { CLauncherLangTable::Reset(); }

  // Parses a configuration whose "common/languages" holds `enables`, over an
  // archive with a table per language of `files`.
  bool Load(const std::string& enables, const config_testing::Entries& files) {
    const std::string text = "<config><common><languages>" + enables + "</languages></common></config>";
    EXPECT_EQ(document.Parse(text.c_str()), tinyxml2::XML_SUCCESS);
    EXPECT_TRUE(config_testing::OpenArchive(archive, files));
    return LoadLanguageList(document.RootElement(), archive, list, error);
  }

  // en, ru, de with 119 strings each, texts prefixed by the code.
  bool LoadThree() {
    return Load(Enable("en", "en.lso") + Enable("ru", "ru.lso") + Enable("de", "de.lso"),
                {{"en.lso", EncodeLso(NumberedStrings(119, "en"))},
                 {"ru.lso", EncodeLso(NumberedStrings(119, "ru"))},
                 {"de.lso", EncodeLso(NumberedStrings(119, "de"))}});
  }

  std::string Stored() {
    return platform::SettingsStore::GetString(platform::Hive::kCurrentUser, std::string(kRegPath) + "\\Language",
                                              "Language")
        .value_or("<none>");
  }
  void Store(const std::string& code) {
    platform::SettingsStore::SetString(platform::Hive::kCurrentUser, std::string(kRegPath) + "\\Language",
                                       "Language", code);
  }

  testing_support::PlatformSandbox sandbox;
  tinyxml2::XMLDocument document;
  ResourceArchive archive;
  LanguageList list;
  std::string error;
};

TEST_F(LanguageListTest, LoadsEntriesIndexAndTables) {
  ASSERT_TRUE(LoadThree()) << error;
  ASSERT_EQ(list.entries.size(), 3u);
  EXPECT_EQ(list.entries[1].code, "ru");
  EXPECT_EQ(list.entries[1].file, "ru.lso");
  EXPECT_EQ(list.entries[1].longName, "Long ru");
  EXPECT_EQ(list.entries[2].ordinal, 2);
  EXPECT_EQ(list.entries[2].id, 1);
  EXPECT_EQ(list.entries[2].icon, 2);
  EXPECT_EQ(list.defaultCode, "en");
  EXPECT_EQ(list.index.at("de"), 2);

  CLauncherLangTable* table = CLauncherLangTable::Current();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->Size(), 3u);
  EXPECT_EQ(table->defaultIndex(), 0);
  EXPECT_EQ(table->currentIndex(), 0);
  EXPECT_EQ(GetString(5), "en 5");
  EXPECT_EQ(GetString(0), "");
  EXPECT_EQ(GetString(118), "en 118");
  EXPECT_EQ(GetString(119), "");
  EXPECT_EQ(GetString(-1), "");
  ASSERT_TRUE(table->SetCurrent(1));
  EXPECT_EQ(GetString(5), "ru 5");
  EXPECT_FALSE(table->SetCurrent(3));
  EXPECT_EQ(table->currentIndex(), 1);
}

TEST_F(LanguageListTest, DuplicateCodesAndSharedTables) {
  // Two entries named "sr": the later one wins in the index. Three entries
  // share one table file, each with its own copy and name.
  const std::string lso = EncodeLso(NumberedStrings(119, "sr"));
  ASSERT_TRUE(Load(Enable("sr", "sr.lso") + Enable("hr", "sr.lso", "sr") + Enable("bs", "sr.lso", "sr") +
                       Enable("sr", "sr.lso"),
                   {{"sr.lso", lso}}))
      << error;
  EXPECT_EQ(list.index.at("sr"), 3);
  EXPECT_EQ(list.index.at("hr"), 1);
  EXPECT_EQ(list.defaultCode, "sr");
  const CLauncherLangTable& table = *CLauncherLangTable::Current();
  ASSERT_EQ(table.Size(), 4u);
  EXPECT_NE(table.Language(1), table.Language(2));
  EXPECT_EQ(table.Language(2)->longName(), "Long bs");
  EXPECT_EQ(table.Language(2)->String(7), "sr 7");
}

TEST_F(LanguageListTest, OtherChildElementsAreSkipped) {
  ASSERT_TRUE(Load("<note/>" + Enable("en", "en.lso") + "<comment/>" + Enable("de", "de.lso"),
                   {{"en.lso", EncodeLso(NumberedStrings(3, "en"))}, {"de.lso", EncodeLso(NumberedStrings(3, "de"))}}))
      << error;
  ASSERT_EQ(list.entries.size(), 2u);
  EXPECT_EQ(list.index.at("de"), 1);
}

TEST_F(LanguageListTest, FailuresDropTheWholeList) {
  const std::string good = EncodeLso(NumberedStrings(119, "x"));
  std::string lengthPastEnd = EncodeLso({"", "abc"});
  lengthPastEnd[12] = '\xFF';  // string 1 claims 0xFFFFFF03 bytes
  struct Case {
    const char* what;
    std::string enables;
    config_testing::Entries files;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"missing attribute", "<enable lang=\"en\" file=\"a.lso\" long=\"E\" locale=\"en\" icon=\"0\"/>",
       {{"a.lso", good}}, "lacks"},
      {"non-integer id", "<enable lang=\"en\" file=\"a.lso\" long=\"E\" locale=\"en\" id=\"x\" icon=\"0\"/>",
       {{"a.lso", good}}, "lacks"},
      {"missing table", Enable("en", "a.lso") + Enable("de", "b.lso"), {{"a.lso", good}}, "b.lso: missing"},
      {"118 strings next to 119", Enable("en", "a.lso") + Enable("de", "b.lso"),
       {{"a.lso", good}, {"b.lso", EncodeLso(NumberedStrings(118, "de"))}}, "118 strings"},
      {"count 0", Enable("en", "a.lso"), {{"a.lso", "\0\0\0\0\0\0\0\0"s}}, "count is 0"},
      {"reserved word", Enable("en", "a.lso"), {{"a.lso", "\1\0\0\0\1\0\0\0\0\0\0\0"s}}, "reserved"},
      {"cut header", Enable("en", "a.lso"), {{"a.lso", "\1\0\0"s}}, "header"},
      {"length past the end", Enable("en", "a.lso"), {{"a.lso", lengthPastEnd}}, "runs past the end"},
      {"count past the end", Enable("en", "a.lso"), {{"a.lso", "\xFF\xFF\xFF\x7F\0\0\0\0\0\0\0\0"s}},
       "does not fit"},
      {"no languages", "", {{"a.lso", good}}, "no languages"},
  };
  for (const Case& c : cases) {
    list = LanguageList();
    EXPECT_FALSE(Load(c.enables, c.files)) << c.what;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    EXPECT_EQ(CLauncherLangTable::Current(), nullptr) << c.what;
    EXPECT_EQ(GetString(1), "") << c.what;
  }

  const std::string noLanguages = "<config><common/></config>";
  document.Parse(noLanguages.c_str());
  EXPECT_FALSE(LoadLanguageList(document.RootElement(), archive, list, error));
}

TEST_F(LanguageListTest, StartLanguageByRunMode) {
  struct Case {
    const char* preset;
    const char* stored;  // null: nothing stored
    const char* system;
    RunMode mode;
    const char* chosen;
  };
  const Case cases[] = {
      {"en", "ru", "de", rmInstall, "en"},       // install: the build's preset first
      {"en", "ru", "de", rmUpdate, "ru"},        // otherwise the user's choice first
      {"en", "ru", "de", rmUninstaller, "ru"},
      {"", "ru", "de", rmInstall, "ru"},
      {"de", nullptr, "", rmUpdate, "de"},
      {"", nullptr, "de", rmInstall, "de"},      // the system's language
      {"", nullptr, "fr", rmInstall, "en"},      // not listed: the default
      {"", "", "", rmUpdate, "en"},
      {"", "it", "ru", rmUpdate, "en"},          // a choice no longer listed
      {"xx", nullptr, "ru", rmInstall, "en"},    // an unknown preset is not skipped
  };
  ASSERT_TRUE(LoadThree()) << error;
  for (const Case& c : cases) {
    platform::SettingsStore::DeleteKey(platform::Hive::kCurrentUser, std::string(kRegPath) + "\\Language");
    if (c.stored != nullptr) Store(c.stored);
    ASSERT_TRUE(ChooseStartLanguage(list, kRegPath, c.mode, c.preset, c.system, nullptr));
    EXPECT_EQ(list.currentCode, c.chosen) << c.preset << "/" << (c.stored ? c.stored : "-") << "/" << c.system;
    EXPECT_EQ(GetString(3), std::string(c.chosen) + " 3");
    // The choice is written back, also when it replaced an unlisted one.
    EXPECT_EQ(Stored(), c.chosen);
  }
}

TEST_F(LanguageListTest, DownloadRunDoesNotStoreTheChoice) {
  ASSERT_TRUE(LoadThree()) << error;
  ASSERT_TRUE(ChooseStartLanguage(list, kRegPath, rmDownload, "de", "", nullptr));
  EXPECT_EQ(list.currentCode, "de");
  EXPECT_EQ(Stored(), "<none>");
  StoreLanguageChoice(list, kRegPath, rmDownload);
  EXPECT_EQ(Stored(), "<none>");
  StoreLanguageChoice(list, kRegPath, rmUpdate);
  EXPECT_EQ(Stored(), "de");
}

TEST_F(LanguageListTest, OverlongStoredChoiceCountsAsEmpty) {
  ASSERT_TRUE(LoadThree()) << error;
  Store(std::string(51, 'r'));
  EXPECT_EQ(StoredLanguageChoice(kRegPath), "");
  Store("ru");
  EXPECT_EQ(StoredLanguageChoice(kRegPath), "ru");
}

TEST_F(LanguageListTest, NoTableMeansNoChoice) {
  list.index["en"] = 0;
  list.defaultCode = "en";
  EXPECT_FALSE(ChooseStartLanguage(list, kRegPath, rmInstall, "en", "", nullptr));
}

TEST_F(LanguageListTest, UnknownLocaleLeavesTheLanguageWithoutLocale) {
  ASSERT_TRUE(Load(Enable("en", "a.lso") + Enable("cs", "a.lso", "cz"), {{"a.lso", EncodeLso({"", "x"})}})) << error;
  const CLauncherLang& czech = *CLauncherLangTable::Current()->Language(1);
  EXPECT_EQ(czech.localeName(), "cz");
  EXPECT_EQ(czech.runtimeLocale(), "");
  EXPECT_EQ(czech.localeId(), 0u);
  EXPECT_EQ(CLauncherLangTable::Current()->Language(0)->localeId(), 0x09u);
  // Choosing it changes nothing but the current language.
  ASSERT_TRUE(CLauncherLangTable::Current()->SetCurrent(1));
  EXPECT_EQ(CLauncherLangTable::Current()->currentIndex(), 1);
}

}  // namespace
