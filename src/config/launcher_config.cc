#include "config/launcher_config.h"

#include <zlib.h>

#include "base/log_impl.h"
#include "base/startup_error.h"
#include "config/language_list.h"
#include "config/launcher_lang_table.h"
#include "base/marker_record.h"
#include "config/resource_archive.h"
#include "base/xml_path_query.h"
#include "base/xml_readers.h"
#include "platform/embedded_resources.h"
#include "platform/file_system.h"
#include "platform/shell_open.h"
#include "platform/settings_store.h"
#include "platform/text_encoding.h"
#include "servers/url_selector.h"

namespace {

constexpr size_t kMaxThemeNameLength = 50;
constexpr const char kCifFileName[] = "CIF.dat";

uint32_t Crc32(const std::string& bytes) {
  uLong crc = crc32(0L, Z_NULL, 0);
  if (!bytes.empty()) crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
  return static_cast<uint32_t>(crc);
}

std::string Le32(uint32_t value) {
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) out[static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

// An XML text parsed into `document`; an empty text is an empty document.
bool ParseDocument(const std::string& text, tinyxml2::XMLDocument& document, std::string& error) {
  document.Clear();
  if (text.empty() || text.find('\0') == 0) {
    error = "empty document";
    return false;
  }
  // tinyxml2 copies the text and ends it with a NUL of its own.
  if (document.Parse(text.c_str(), text.size()) != tinyxml2::XML_SUCCESS) {
    error = document.ErrorStr() != nullptr ? document.ErrorStr() : "parse error";
    return false;
  }
  if (document.RootElement() == nullptr) {
    error = "no root element";
    return false;
  }
  return true;
}

void Log(CLogImplW* log, const std::string& text) {
  if (log != nullptr) log->WriteText(text, true);
}

}  // namespace

std::string StoredThemeName(const std::string& regPath) {
  const auto name =
      platform::SettingsStore::GetString(platform::Hive::kCurrentUser, regPath + "\\Themes", "Theme");
  if (!name || platform::Utf8ToUtf16(*name).size() > kMaxThemeNameLength) return std::string();
  return *name;
}

bool ChooseThemePath(const tinyxml2::XMLElement* root, const std::string& chosenName, std::string& path) {
  const tinyxml2::XMLElement* themes = root != nullptr ? root->FirstChildElement("themes") : nullptr;
  const tinyxml2::XMLElement* theme = themes != nullptr ? themes->FirstChildElement("theme") : nullptr;
  if (theme == nullptr) return false;
  bool havePath = false;
  for (; theme != nullptr; theme = theme->NextSiblingElement()) {
    std::string name;
    if (!ReadAttrString(theme, "name", name)) name.clear();
    const bool chosen = name == chosenName;
    if (!havePath || chosen) {
      std::string candidate;
      if (ReadAttrString(theme, "path", candidate)) {
        path = candidate;
        havePath = true;
      }
    }
    if (chosen) break;
  }
  return havePath;
}

bool LoadLauncherConfig(const ResourceArchive& archive, LauncherSettings& settings,
                        tinyxml2::XMLDocument& configDocument, LanguageList& languages, std::string& error) {
  std::string text;
  if (!archive.Get("config.xml", text)) {
    error = "config.xml: missing from the resource archive";
    return false;
  }
  settings.configCrc = Crc32(text);
  std::string reason;
  if (!ParseDocument(text, configDocument, reason)) {
    error = "config.xml: " + reason;
    return false;
  }
  const tinyxml2::XMLElement* root = configDocument.RootElement();
  const tinyxml2::XMLElement* common = XmlPathFind(root, "common");
  if (common == nullptr) {
    error = "config.xml: no common element";
    return false;
  }
  if (!XmlQueryText(common, "regPath/text()", settings.regPath)) {
    error = "config.xml: no common/regPath";
    return false;
  }
  settings.logLauncher = false;
  settings.logHttp = false;
  settings.multiRun = false;
  XmlQueryAttrBool(common, "log/logLauncher/@enable", settings.logLauncher);
  XmlQueryAttrBool(common, "log/logHTTP/@enable", settings.logHttp);
  XmlQueryAttrBool(common, "multiRun/@value", settings.multiRun);

  std::string themePath;
  if (!ChooseThemePath(root, StoredThemeName(settings.regPath), themePath)) {
    error = "config.xml: no theme with a path";
    return false;
  }
  settings.themeFolder = themePath + "\\";

  if (!LoadLanguageList(root, archive, languages, error)) return false;
  return true;
}

bool LoadLauncherConfig(LauncherSettings& settings, tinyxml2::XMLDocument& configDocument, LanguageList& languages,
                        std::string& error) {
  const auto bytes = platform::FindResource("ZIP", 130);
  if (!bytes || bytes->size == 0) {
    error = "no resource ZIP 130 in the executable";
    return false;
  }
  ResourceArchive& archive = ResourceArchive::Instance();
  if (!archive.Open(bytes->data, bytes->size)) {
    error = "resource ZIP 130 is not a readable archive";
    return false;
  }
  return LoadLauncherConfig(archive, settings, configDocument, languages, error);
}

bool LoadThemeDocument(const ResourceArchive& archive, const LauncherSettings& settings,
                       tinyxml2::XMLDocument& themeDocument, std::string& error) {
  const std::string name = settings.themeFolder + "config.xml";
  std::string text;
  if (!archive.Get(name, text)) {
    error = name + ": missing from the resource archive";
    return false;
  }
  std::string reason;
  if (!ParseDocument(text, themeDocument, reason)) {
    error = name + ": " + reason;
    return false;
  }
  return true;
}

bool LoadEmbeddedLauncherDocuments(LauncherSettings& settings, tinyxml2::XMLDocument& configDocument,
                                   tinyxml2::XMLDocument& themeDocument, LanguageList& languages, std::string& error) {
  return LoadLauncherConfig(settings, configDocument, languages, error) &&
         LoadThemeDocument(ResourceArchive::Instance(), settings, themeDocument, error);
}

void ReadLauncherSettings(const tinyxml2::XMLDocument& configDocument, const tinyxml2::XMLDocument& themeDocument,
                          const SettingsEnvironment& environment, LauncherSettings& settings) {
  const tinyxml2::XMLElement* root = configDocument.RootElement();
  if (!XmlQueryText(root, "launch/WindowClassName/text()", settings.windowClassName)) {
    throw StartupError("Unable to load window class name");
  }

  const tinyxml2::XMLElement* common = XmlPathFind(root, "common");
  if (!XmlQueryText(common, "shortName/text()", settings.shortName)) {
    throw StartupError("Unable to load short clone name");
  }
  if (!XmlQueryText(common, "fullName/text()", settings.fullName)) {
    throw StartupError("Unable to load full clone name");
  }
  settings.iconName.clear();
  settings.licenseUrl.clear();
  XmlQueryText(common, "iconName/text()", settings.iconName);
  XmlQueryText(common, "urlLicense/text()", settings.licenseUrl);

  const tinyxml2::XMLElement* launch = XmlPathFind(root, "launch");
  if (launch == nullptr) throw StartupError("config/launch");
  std::string process;
  if (!XmlQueryText(launch, "Process/text()", process) || process.empty()) {
    throw StartupError("Unable load client file name");
  }
  settings.clientProcess = process;
  if (environment.loadMigrations) environment.loadMigrations();
  std::string arguments;
  settings.clientCommandLine = process;
  if (XmlQueryText(launch, "ProcessArgs/text()", arguments) && !arguments.empty()) {
    settings.clientCommandLine += " " + arguments;
  }

  settings.skipIconsPage = false;
  XmlQueryAttrBool(common, "skipIconsPage/@value", settings.skipIconsPage);
  settings.automaticInstallMode = environment.autoInstall;
  if (!settings.automaticInstallMode) {
    const tinyxml2::XMLElement* automatic = XmlPathFind(common, "automaticInstallMode");
    if (automatic != nullptr) {
      ReadAttrBool(automatic, "enable", settings.automaticInstallMode);
      std::string promoUrl;
      if (settings.automaticInstallMode && ReadAttrString(automatic, "promoURL", promoUrl) && !promoUrl.empty() &&
          environment.openUrl) {
        environment.openUrl(promoUrl);
      }
    }
  }
  settings.silentDownload = true;
  settings.progressFromZero = false;
  settings.createDesktopIcon = true;
  settings.createProgramsIcon = true;
  settings.createProgramsFolder = settings.automaticInstallMode;
  XmlQueryAttrBool(common, "silentDownload/@value", settings.silentDownload);
  XmlQueryAttrBool(common, "progressFromZero/@value", settings.progressFromZero);
  XmlQueryAttrBool(common, "iconCreateDesctop/@value", settings.createDesktopIcon);
  // Systems that report 6.2 or later in both numbers start with the desktop
  // shortcut off unless the install runs unattended.
  if (!settings.automaticInstallMode && environment.osMajor >= 6 && environment.osMinor >= 2) {
    settings.createDesktopIcon = false;
  }
  XmlQueryAttrBool(common, "iconCreatePrograms/@value", settings.createProgramsIcon);
  XmlQueryAttrBool(common, "iconCreateProgramsFolder/@value", settings.createProgramsFolder);

  settings.updatePath = environment.updatePathMarker;
  if (settings.updatePath.empty() && !XmlQueryText(common, "urlUpdate/text()", settings.updatePath)) {
    settings.updatePath.clear();
  }

  const tinyxml2::XMLElement* themeCommon = XmlPathFind(themeDocument.RootElement(), "common");
  if (themeCommon == nullptr) throw StartupError("theme: config/common");
  settings.backNextArrowsInText = true;
  settings.singlePageMode = false;
  XmlQueryAttrBool(themeCommon, "backNextArrowsInText/@value", settings.backNextArrowsInText);
  XmlQueryAttrBool(themeCommon, "singlePageMode/@value", settings.singlePageMode);
}

SettingsEnvironment DefaultSettingsEnvironment(bool autoInstall, uint32_t osMajor, uint32_t osMinor) {
  SettingsEnvironment environment;
  environment.autoInstall = autoInstall;
  environment.osMajor = osMajor;
  environment.osMinor = osMinor;
  environment.updatePathMarker = ReadMarker("UPDATE_PATH", 133);
  environment.openUrl = [](const std::string& url) { platform::OpenInBrowser(url); };
  return environment;
}

std::string CifFilePath(const std::string& clientFolder) {
  if (clientFolder.empty()) return kCifFileName;
  return platform::JoinPath(clientFolder, kCifFileName);
}

bool ConfigChanged(uint32_t configCrc, const std::string& clientFolder, CLogImplW* log) {
  const std::string cifPath = CifFilePath(clientFolder);
  std::string stored;
  if (platform::ReadWholeFile(cifPath, stored) && stored == Le32(configCrc)) return false;

  const std::string cudPath = CudFilePath(clientFolder);
  if (platform::PathExists(cudPath) && !platform::RemoveFile(cudPath)) {
    Log(log, "Can't delete " + cudPath + ", CIF.dat left as it was");
    return true;
  }
  if (!platform::WriteFileAtomic(cifPath, Le32(configCrc))) Log(log, "Can't write " + cifPath);
  return true;
}

std::string LauncherCopyName(const tinyxml2::XMLElement* root) {
  std::string name;
  if (!XmlQueryAttrString(root, "common/shortcut/@file", name)) return "Launcher.exe";
  if (name.size() < 4 || name.find(".exe") == std::string::npos) name += ".exe";
  return name;
}

std::string TaskbarCaption(const tinyxml2::XMLElement* root) {
  std::string caption;
  if (XmlQueryText(root, "common/taskbarCaption/text()", caption)) return caption;
  return GetString(2);
}

std::string UninstallLink(const tinyxml2::XMLElement* root, const char* name) {
  std::string value;
  if (XmlQueryAttrString(root, std::string("common/uninstall/@") + name, value)) return value;
  return "empty";
}
