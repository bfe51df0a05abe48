#include "config/launcher_config.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/startup_error.h"
#include "config/language_list.h"
#include "config/launcher_lang_table.h"
#include "config/lso_source.h"
#include "config/resource_fixture.h"
#include "base/xml_path_query.h"
#include "platform/settings_store.h"
#include "servers/url_selector.h"
#include "support/platform_sandbox.h"

namespace {

using config_testing::NumberedStrings;
using namespace std::string_literals;

tinyxml2::XMLDocument& Parse(tinyxml2::XMLDocument& document, const std::string& text) {
  EXPECT_EQ(document.Parse(text.c_str()), tinyxml2::XML_SUCCESS) << text;
  return document;
}

// ---------------------------------------------------------------- theme choice

TEST(ThemeChoice, WalkOverTheThemes) {
  struct Case {
    const char* what;
    std::string themes;
    std::string chosen;
    const char* path;  // null: no theme path
  };
  const std::vector<Case> cases = {
      {"stored name picks the second",
       "<theme name=\"a\" path=\"pa\"/><theme name=\"b\" path=\"pb\"/>", "b", "pb"},
      {"nothing stored: first theme with a path",
       "<theme name=\"a\"/><theme name=\"b\" path=\"pb\"/><theme name=\"c\" path=\"pc\"/>", "", "pb"},
      {"stored name of no theme: first with a path",
       "<theme name=\"a\" path=\"pa\"/><theme name=\"b\" path=\"pb\"/>", "zz", "pa"},
      {"exact match only", "<theme name=\"a\" path=\"pa\"/><theme name=\"B\" path=\"pb\"/>", "b", "pa"},
      {"a match without path stops the walk",
       "<theme name=\"a\" path=\"pa\"/><theme name=\"b\"/><theme name=\"b\" path=\"pb2\"/>", "b", "pa"},
      {"a nameless theme matches an empty choice",
       "<theme name=\"a\" path=\"pa\"/><theme path=\"pn\"/><theme name=\"c\" path=\"pc\"/>", "", "pn"},
      {"later siblings of other names count", "<theme name=\"a\" path=\"pa\"/><skin name=\"s\" path=\"ps\"/>", "s",
       "ps"},
      {"no path anywhere", "<theme name=\"a\"/><theme name=\"b\"/>", "a", nullptr},
      {"no theme element", "<skin name=\"a\" path=\"pa\"/>", "", nullptr},
  };
  for (const Case& c : cases) {
    tinyxml2::XMLDocument document;
    Parse(document, "<config><themes>" + c.themes + "</themes></config>");
    std::string path;
    EXPECT_EQ(ChooseThemePath(document.RootElement(), c.chosen, path), c.path != nullptr) << c.what;
    if (c.path != nullptr) {
      EXPECT_EQ(path, c.path) << c.what;
    }
  }
  tinyxml2::XMLDocument noThemes;
  std::string path;
  EXPECT_FALSE(ChooseThemePath(Parse(noThemes, "<config/>").RootElement(), "", path));
}

// ------------------------------------------------------------- configuration

constexpr const char kRegPath[] = "Software\\Test Studio\\Test Game";

std::string ConfigText(const std::string& common, const std::string& rest = std::string()) {
  return "<config><common><regPath>" + std::string(kRegPath) + "</regPath>" + common +
         "<languages><enable lang=\"en\" file=\"en.lso\" long=\"English\" locale=\"en\" id=\"826\" icon=\"0\"/>"
         "<enable lang=\"ru\" file=\"ru.lso\" long=\"Русский\" locale=\"ru\" id=\"643\" icon=\"1\"/></languages>"
         "</common><themes><theme name=\"first\" path=\"t1\"/><theme name=\"second\" path=\"t2\"/></themes>" +
         rest + "</config>";
}

class LauncherConfigTest : public ::testing::Test {
 protected:
  void TearDown() override { CLauncherLangTable::Reset(); }

  bool LoadFrom(const std::string& configXml, const std::string& themeXml = "<config><common/></config>") {
    config_testing::Entries entries = {{"en.lso", EncodeLso(NumberedStrings(119, "en"))},
                                       {"ru.lso", EncodeLso(NumberedStrings(119, "ru"))},
                                       {"t1\\config.xml", themeXml},
                                       {"t2\\config.xml", "<config><common><singlePageMode value=\"1\"/></common></config>"}};
    if (!configXml.empty()) entries.push_back({"config.xml", configXml});
    EXPECT_TRUE(config_testing::OpenArchive(archive, entries));
    return LoadLauncherConfig(archive, settings, configDocument, languages, error);
  }

  testing_support::PlatformSandbox sandbox;
  ResourceArchive archive;
  LauncherSettings settings;
  tinyxml2::XMLDocument configDocument;
  tinyxml2::XMLDocument themeDocument;
  LanguageList languages;
  std::string error;
};

TEST_F(LauncherConfigTest, LoadsTheConfigurationAndTheChosenTheme) {
  const std::string text =
      ConfigText("<log><logLauncher enable=\"true\"/><logHTTP enable=\"1\"/></log><multiRun value=\"tr\"/>");
  ASSERT_TRUE(LoadFrom(text)) << error;
  EXPECT_EQ(settings.configCrc, crc32(0, reinterpret_cast<const Bytef*>(text.data()), text.size()));
  EXPECT_EQ(settings.regPath, kRegPath);
  EXPECT_TRUE(settings.logLauncher);
  EXPECT_TRUE(settings.logHttp);
  EXPECT_TRUE(settings.multiRun);
  EXPECT_EQ(settings.themeFolder, "t1\\");
  EXPECT_EQ(languages.entries.size(), 2u);
  EXPECT_EQ(GetString(1), "en 1");
  ASSERT_TRUE(LoadThemeDocument(archive, settings, themeDocument, error)) << error;
  EXPECT_NE(XmlPathFind(themeDocument.RootElement(), "common"), nullptr);

  // The theme the user chose last time.
  platform::SettingsStore::SetString(platform::Hive::kCurrentUser, std::string(kRegPath) + "\\Themes", "Theme",
                                     "second");
  ASSERT_TRUE(LoadFrom(text)) << error;
  EXPECT_EQ(settings.themeFolder, "t2\\");
  ASSERT_TRUE(LoadThemeDocument(archive, settings, themeDocument, error)) << error;
  EXPECT_NE(XmlPathFind(themeDocument.RootElement(), "common/singlePageMode"), nullptr);
  // A name over 50 characters is not read.
  platform::SettingsStore::SetString(platform::Hive::kCurrentUser, std::string(kRegPath) + "\\Themes", "Theme",
                                     "second" + std::string(50, ' '));
  EXPECT_EQ(StoredThemeName(kRegPath), "");
  // Characters, not bytes: 50 Cyrillic letters fit.
  std::string cyrillic;
  for (int i = 0; i < 50; ++i) cyrillic += "Ж";
  platform::SettingsStore::SetString(platform::Hive::kCurrentUser, std::string(kRegPath) + "\\Themes", "Theme",
                                     cyrillic);
  EXPECT_EQ(StoredThemeName(kRegPath), cyrillic);
}

TEST_F(LauncherConfigTest, FlagsNotInBooleanFormStayOff) {
  ASSERT_TRUE(LoadFrom(ConfigText("<log><logLauncher enable=\"yes\"/></log><multiRun value=\"2\"/>"))) << error;
  EXPECT_FALSE(settings.logLauncher);
  EXPECT_FALSE(settings.logHttp);
  EXPECT_FALSE(settings.multiRun);
}

TEST_F(LauncherConfigTest, LoadFailures) {
  struct Case {
    const char* what;
    std::string config;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"no config.xml", "", "missing"},
      {"empty config.xml", " ", "config.xml"},
      {"not XML", "<config><common>", "config.xml"},
      {"no common", "<config><themes><theme path=\"t1\"/></themes></config>", "common"},
      {"no regPath", "<config><common/><themes><theme path=\"t1\"/></themes></config>", "regPath"},
      {"no theme path",
       "<config><common><regPath>x</regPath></common><themes><theme name=\"a\"/></themes></config>", "theme"},
      {"no languages",
       "<config><common><regPath>x</regPath></common><themes><theme path=\"t1\"/></themes></config>", "languages"},
  };
  for (const Case& c : cases) {
    error.clear();
    EXPECT_FALSE(LoadFrom(c.config)) << c.what;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
  }
  // Theme documents: missing, empty, broken.
  for (const std::string& theme : {""s, "<config><com"s}) {
    ASSERT_TRUE(LoadFrom(ConfigText(""), theme)) << error;
    EXPECT_FALSE(LoadThemeDocument(archive, settings, themeDocument, error));
  }
  settings.themeFolder = "nowhere\\";
  EXPECT_FALSE(LoadThemeDocument(archive, settings, themeDocument, error));
  EXPECT_NE(error.find("nowhere\\config.xml"), std::string::npos);
}

// ------------------------------------------------------------------ settings

std::string SettingsConfig(const std::string& common, const std::string& launch =
                                                          "<WindowClassName>GameWnd</WindowClassName>"
                                                          "<Process>bin\\game.exe</Process>") {
  return "<config><common><shortName>Game</shortName><fullName>The Game</fullName>" + common +
         "</common><launch>" + launch + "</launch></config>";
}

struct SettingsRun {
  LauncherSettings settings;
  std::vector<std::string> opened;
  int migrations = 0;
};

SettingsRun Read(const std::string& config, SettingsEnvironment environment = SettingsEnvironment(),
                 const std::string& theme = "<config><common/></config>") {
  SettingsRun run;
  tinyxml2::XMLDocument configDocument, themeDocument;
  Parse(configDocument, config);
  Parse(themeDocument, theme);
  environment.openUrl = [&run](const std::string& url) { run.opened.push_back(url); };
  environment.loadMigrations = [&run] { ++run.migrations; };
  ReadLauncherSettings(configDocument, themeDocument, environment, run.settings);
  return run;
}

TEST(ReadLauncherSettings, DefaultsAndValues) {
  const SettingsRun defaults = Read(SettingsConfig(""));
  const LauncherSettings& d = defaults.settings;
  EXPECT_EQ(d.windowClassName, "GameWnd");
  EXPECT_EQ(d.shortName, "Game");
  EXPECT_EQ(d.fullName, "The Game");
  EXPECT_EQ(d.iconName, "");
  EXPECT_EQ(d.licenseUrl, "");
  EXPECT_EQ(d.clientProcess, "bin\\game.exe");
  EXPECT_EQ(d.clientCommandLine, "bin\\game.exe");
  EXPECT_FALSE(d.skipIconsPage);
  EXPECT_FALSE(d.automaticInstallMode);
  EXPECT_TRUE(d.silentDownload);
  EXPECT_FALSE(d.progressFromZero);
  EXPECT_TRUE(d.createDesktopIcon);  // 10.0
  EXPECT_TRUE(d.createProgramsIcon);
  EXPECT_FALSE(d.createProgramsFolder);
  EXPECT_EQ(d.updatePath, "");
  EXPECT_TRUE(d.backNextArrowsInText);
  EXPECT_FALSE(d.singlePageMode);
  EXPECT_EQ(defaults.migrations, 1);

  const SettingsRun set = Read(
      SettingsConfig("<iconName>game.ico</iconName><urlLicense>/terms</urlLicense><skipIconsPage value=\"true\"/>"
                     "<silentDownload value=\"false\"/><progressFromZero value=\"1\"/>"
                     "<iconCreatePrograms value=\"0\"/><iconCreateProgramsFolder value=\"1\"/>"
                     "<urlUpdate>/updates/</urlUpdate>",
                     "<WindowClassName>W</WindowClassName><Process>g.exe</Process>"
                     "<ProcessArgs>-server 1</ProcessArgs>"),
      SettingsEnvironment(),
      "<config><common><backNextArrowsInText value=\"fa\"/><singlePageMode value=\"true\"/></common></config>");
  const LauncherSettings& s = set.settings;
  EXPECT_EQ(s.iconName, "game.ico");
  EXPECT_EQ(s.licenseUrl, "/terms");
  EXPECT_EQ(s.clientCommandLine, "g.exe -server 1");
  EXPECT_TRUE(s.skipIconsPage);
  EXPECT_FALSE(s.silentDownload);
  EXPECT_TRUE(s.progressFromZero);
  EXPECT_FALSE(s.createProgramsIcon);
  EXPECT_TRUE(s.createProgramsFolder);
  EXPECT_EQ(s.updatePath, "/updates/");
  EXPECT_FALSE(s.backNextArrowsInText);
  EXPECT_TRUE(s.singlePageMode);
}

TEST(ReadLauncherSettings, RaisedTextsForMissingRequiredKeys) {
  const std::string launch = "<WindowClassName>W</WindowClassName><Process>g.exe</Process>";
  struct Case {
    std::string config;
    std::string theme;
    const char* text;
  };
  const std::string theme = "<config><common/></config>";
  const std::vector<Case> cases = {
      {SettingsConfig("", "<Process>g.exe</Process>"), theme, "Unable to load window class name"},
      {"<config><common><fullName>F</fullName></common><launch>" + launch + "</launch></config>", theme,
       "Unable to load short clone name"},
      {"<config><common><shortName>S</shortName></common><launch>" + launch + "</launch></config>", theme,
       "Unable to load full clone name"},
      {SettingsConfig("", "<WindowClassName>W</WindowClassName>"), theme, "Unable load client file name"},
      {SettingsConfig("", "<WindowClassName>W</WindowClassName><Process></Process>"), theme,
       "Unable load client file name"},
      {SettingsConfig("", "<WindowClassName>W</WindowClassName><Process><x/></Process>"), theme,
       "Unable load client file name"},
      {SettingsConfig("", launch), "<config><skin/></config>", "theme: config/common"},
  };
  for (const Case& c : cases) {
    tinyxml2::XMLDocument configDocument, themeDocument;
    Parse(configDocument, c.config);
    Parse(themeDocument, c.theme);
    LauncherSettings settings;
    try {
      ReadLauncherSettings(configDocument, themeDocument, SettingsEnvironment(), settings);
      ADD_FAILURE() << "nothing raised for " << c.text;
    } catch (const StartupError& raised) {
      EXPECT_STREQ(raised.what(), c.text);
    }
  }
  // "config/launch" cannot be reached: the window class is read through
  // the same first "launch" element before.
}

TEST(ReadLauncherSettings, UpdatePathRecordWinsOverTheDocument) {
  SettingsEnvironment environment;
  environment.updatePathMarker = "/from/record/";
  EXPECT_EQ(Read(SettingsConfig("<urlUpdate>/from/document/</urlUpdate>"), environment).settings.updatePath,
            "/from/record/");
  environment.updatePathMarker.clear();
  EXPECT_EQ(Read(SettingsConfig("<urlUpdate>/from/document/</urlUpdate>"), environment).settings.updatePath,
            "/from/document/");
}

TEST(ReadLauncherSettings, DesktopShortcutRuleBySystemVersion) {
  struct Case {
    uint32_t major, minor;
    bool automatic;
    bool desktop;
  };
  const Case cases[] = {
      {6, 2, false, false}, {6, 3, false, false}, {10, 0, false, true}, {6, 1, false, true},
      {5, 2, false, true},  {6, 2, true, true},   {10, 2, false, false},
  };
  for (const Case& c : cases) {
    SettingsEnvironment environment;
    environment.osMajor = c.major;
    environment.osMinor = c.minor;
    environment.autoInstall = c.automatic;
    EXPECT_EQ(Read(SettingsConfig("<iconCreateDesctop value=\"true\"/>"), environment).settings.createDesktopIcon,
              c.desktop)
        << c.major << "." << c.minor << (c.automatic ? " auto" : "");
  }
  // The document's false stays false everywhere.
  EXPECT_FALSE(Read(SettingsConfig("<iconCreateDesctop value=\"false\"/>")).settings.createDesktopIcon);
}

TEST(ReadLauncherSettings, AutomaticInstallModeAndItsPromotionPage) {
  const std::string automatic = "<automaticInstallMode enable=\"true\" promoURL=\"https://promo.example/ü\"/>";
  // "/auto": the element is not read and its page not opened.
  SettingsEnvironment switched;
  switched.autoInstall = true;
  const SettingsRun byCommandLine = Read(SettingsConfig(automatic), switched);
  EXPECT_TRUE(byCommandLine.settings.automaticInstallMode);
  EXPECT_TRUE(byCommandLine.settings.createProgramsFolder);
  EXPECT_TRUE(byCommandLine.opened.empty());

  const SettingsRun byDocument = Read(SettingsConfig(automatic));
  EXPECT_TRUE(byDocument.settings.automaticInstallMode);
  EXPECT_TRUE(byDocument.settings.createProgramsFolder);
  EXPECT_EQ(byDocument.opened, std::vector<std::string>{"https://promo.example/ü"});

  EXPECT_TRUE(Read(SettingsConfig("<automaticInstallMode enable=\"false\" promoURL=\"https://p\"/>")).opened.empty());
  EXPECT_TRUE(Read(SettingsConfig("<automaticInstallMode enable=\"true\" promoURL=\"\"/>")).opened.empty());
  const SettingsRun noUrl = Read(SettingsConfig("<automaticInstallMode enable=\"1\"/>"));
  EXPECT_TRUE(noUrl.settings.automaticInstallMode);
  EXPECT_TRUE(noUrl.opened.empty());
  // Unattended mode keeps the desktop shortcut on 6.2.
  SettingsEnvironment windows8;
  windows8.osMajor = 6;
  windows8.osMinor = 2;
  EXPECT_TRUE(Read(SettingsConfig("<automaticInstallMode enable=\"1\"/>"), windows8).settings.createDesktopIcon);
}

// -------------------------------------------------------- keys of other parts

TEST(LauncherConfigKeys, ShortcutFileName) {
  struct Case {
    const char* shortcut;  // null: no element
    const char* name;
  };
  const Case cases[] = {
      {nullptr, "Launcher.exe"},  {"<shortcut/>", "Launcher.exe"},   {"<shortcut file=\"Game\"/>", "Game.exe"},
      {"<shortcut file=\"x.exe.bak\"/>", "x.exe.bak"},             {"<shortcut file=\"Go.exe\"/>", "Go.exe"},
      {"<shortcut file=\"exe\"/>", "exe.exe"},                     {"<shortcut file=\"a.EXE\"/>", "a.EXE.exe"},
      {"<shortcut file=\".exe\"/>", ".exe"},                       {"<shortcut file=\"\"/>", ".exe"},
  };
  for (const Case& c : cases) {
    tinyxml2::XMLDocument document;
    Parse(document, "<config><common>" + std::string(c.shortcut ? c.shortcut : "") + "</common></config>");
    EXPECT_EQ(LauncherCopyName(document.RootElement()), c.name) << (c.shortcut ? c.shortcut : "none");
  }
}

TEST(LauncherConfigKeys, CaptionAndUninstallLinks) {
  tinyxml2::XMLDocument document;
  Parse(document, "<config><common><uninstall HelpLink=\"/help\"/></common></config>");
  EXPECT_EQ(UninstallLink(document.RootElement(), "HelpLink"), "/help");
  EXPECT_EQ(UninstallLink(document.RootElement(), "URLInfoAbout"), "empty");
  // Without a caption and without languages the default string is empty.
  CLauncherLangTable::Reset();
  EXPECT_EQ(TaskbarCaption(document.RootElement()), "");
  Parse(document, "<config><common><taskbarCaption>Title</taskbarCaption></common></config>");
  EXPECT_EQ(TaskbarCaption(document.RootElement()), "Title");
}

// ------------------------------------------------------------------ CIF.dat

class ConfigFingerprintTest : public ::testing::Test {
 protected:
  std::string Folder() const { return dir.path().string(); }
  std::filesystem::path Cif() const { return dir / "CIF.dat"; }
  std::filesystem::path Cud() const { return dir / "CUD.dat"; }

  testing_support::TempDir dir;
};

TEST_F(ConfigFingerprintTest, UnchangedConfigurationLeavesBothFilesAlone) {
  testing_support::WriteFileBytes(Cif(), "\x78\x56\x34\x12");
  testing_support::WriteFileBytes(Cud(), "cached");
  const auto before = std::filesystem::last_write_time(Cif());
  EXPECT_FALSE(ConfigChanged(0x12345678, Folder(), nullptr));
  EXPECT_EQ(testing_support::ReadFileBytes(Cud()), "cached");
  EXPECT_EQ(std::filesystem::last_write_time(Cif()), before);
}

TEST_F(ConfigFingerprintTest, ChangedOrDamagedFingerprintDropsTheCacheOnce) {
  const std::vector<std::string> stored = {"\x01\x02\x03\x04"s, "\x78\x56\x34"s, "\x78\x56\x34\x12\x00"s};
  for (const std::string& old : stored) {
    testing_support::WriteFileBytes(Cif(), old);
    testing_support::WriteFileBytes(Cud(), "cached");
    EXPECT_TRUE(ConfigChanged(0x12345678, Folder(), nullptr));
    EXPECT_FALSE(std::filesystem::exists(Cud()));
    EXPECT_EQ(testing_support::ReadFileBytes(Cif()), "\x78\x56\x34\x12");
    // The next start finds it current.
    testing_support::WriteFileBytes(Cud(), "new cache");
    EXPECT_FALSE(ConfigChanged(0x12345678, Folder(), nullptr));
    EXPECT_EQ(testing_support::ReadFileBytes(Cud()), "new cache");
  }
  // No fingerprint yet (first start), no cache.
  std::filesystem::remove(Cif());
  std::filesystem::remove(Cud());
  EXPECT_TRUE(ConfigChanged(0xA1B2C3D4, Folder(), nullptr));
  EXPECT_EQ(testing_support::ReadFileBytes(Cif()), "\xD4\xC3\xB2\xA1");
  // Nothing but the fingerprint is left behind (no temporary files).
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) files += entry.is_regular_file();
  EXPECT_EQ(files, 1u);
}

TEST_F(ConfigFingerprintTest, CacheThatCannotBeDeletedKeepsTheOldFingerprint) {
  testing_support::WriteFileBytes(Cif(), "\x01\x02\x03\x04");
  // A non-empty folder named CUD.dat cannot be removed as a file.
  testing_support::WriteFileBytes(dir / "CUD.dat" / "inner", "x");
  EXPECT_TRUE(ConfigChanged(0x12345678, Folder(), nullptr));
  EXPECT_EQ(testing_support::ReadFileBytes(Cif()), "\x01\x02\x03\x04");
}

TEST(ConfigFingerprint, BareNamesWithoutAClientFolder) {
  EXPECT_EQ(CifFilePath(""), "CIF.dat");
  EXPECT_EQ(CifFilePath("/games/x"), "/games/x/CIF.dat");
}

// ------------------------------------------------- the launcher's own config

TEST(EmbeddedConfiguration, LoadsAndReadsAsTheLauncherDoes) {
  testing_support::PlatformSandbox sandbox;
  const std::string image = testing_support::ReadFileBytes(LAUNCHER_RESOURCE_ARCHIVE);
  ResourceArchive archive;
  ASSERT_TRUE(archive.Open(image.data(), image.size()));
  LauncherSettings settings;
  tinyxml2::XMLDocument configDocument, themeDocument;
  LanguageList languages;
  std::string error;
  ASSERT_TRUE(LoadLauncherConfig(archive, settings, configDocument, languages, error)) << error;
  ASSERT_TRUE(LoadThemeDocument(archive, settings, themeDocument, error)) << error;
  SettingsEnvironment environment;
  environment.updatePathMarker = "";
  ReadLauncherSettings(configDocument, themeDocument, environment, settings);

  EXPECT_EQ(std::string(configDocument.RootElement()->Name()), "config");
  EXPECT_TRUE(settings.logLauncher);
  EXPECT_FALSE(settings.logHttp);
  EXPECT_EQ(settings.themeFolder, "theme_kvxm\\");
  EXPECT_TRUE(settings.singlePageMode);
  EXPECT_FALSE(settings.skipIconsPage);
  EXPECT_EQ(settings.updatePath, "/game-clients/win32/brelko/updates.brelko/");
  EXPECT_EQ(settings.clientCommandLine, settings.clientProcess);
  EXPECT_FALSE(settings.regPath.empty());
  EXPECT_FALSE(settings.windowClassName.empty());
  EXPECT_EQ(LauncherCopyName(configDocument.RootElement()), "Launcher.exe");
  EXPECT_EQ(TaskbarCaption(configDocument.RootElement()), "Launcher");
  EXPECT_EQ(UninstallLink(configDocument.RootElement(), "URLUpdateInfo"), "/");

  const std::vector<std::string> codes = {"en", "ru", "it", "es", "pt", "de", "cs",
                                          "el", "sr", "hr", "bs", "tr", "kk"};
  ASSERT_EQ(languages.entries.size(), codes.size());
  for (size_t i = 0; i < codes.size(); ++i) EXPECT_EQ(languages.entries[i].code, codes[i]);
  EXPECT_EQ(languages.entries[6].localeName, "cz");
  EXPECT_EQ(languages.entries[6].longName, "Čeština");
  EXPECT_EQ(languages.entries[9].file, "stringtable_launcher_sr_serbian.lso");
  EXPECT_EQ(CLauncherLangTable::Current()->Language(0)->Count(), 119u);
  EXPECT_EQ(GetString(44), "< Back");
  ASSERT_TRUE(ChooseStartLanguage(languages, settings.regPath, rmInstall, "", "ru", nullptr));
  EXPECT_EQ(GetString(48), "Отмена");

  // The predefined client update data is usable as it stands.
  CUrlSelector selector;
  EXPECT_TRUE(selector.Initialize(XmlPathFind(configDocument.RootElement(), "ClientUpdateData"), {}, "", false));
  CLauncherLangTable::Reset();
}

}  // namespace
