// The launcher configuration: loading the embedded "config.xml" and the
// chosen theme's document from the resource archive, reading the launcher
// settings from them, the configuration fingerprint "CIF.dat", and the keys
// other parts read later with their defaults.
//
// Main thread only, during start-up. Loading reports failure as false with
// a reason for the caller's log (the log is not open yet while the
// documents load); ReadLauncherSettings raises StartupError with the fixed
// texts the entry point shows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <tinyxml2.h>

#include "config/launcher_settings.h"

class CLogImplW;
class ResourceArchive;
struct LanguageList;

// Reads the "ZIP" 130 resource into ResourceArchive::Instance() and loads
// the configuration from it (below).
bool LoadLauncherConfig(LauncherSettings& settings, tinyxml2::XMLDocument& configDocument, LanguageList& languages,
                        std::string& error);
// From an opened archive: "config.xml" (its CRC-32 in `configCrc`), parsed
// into `configDocument`; `regPath`, `logLauncher`, `logHttp`, `multiRun`;
// the theme chosen by the name stored as "Theme" in the user's key
// <regPath>\Themes, giving `themeFolder`; the language list and tables.
bool LoadLauncherConfig(const ResourceArchive& archive, LauncherSettings& settings,
                        tinyxml2::XMLDocument& configDocument, LanguageList& languages, std::string& error);
// `themeFolder` + "config.xml" parsed into `themeDocument`; false when it is
// missing, empty or does not parse.
bool LoadThemeDocument(const ResourceArchive& archive, const LauncherSettings& settings,
                       tinyxml2::XMLDocument& themeDocument, std::string& error);
// Both of the above over the process-wide archive: what the controller's
// preinit runs.
bool LoadEmbeddedLauncherDocuments(LauncherSettings& settings, tinyxml2::XMLDocument& configDocument,
                                   tinyxml2::XMLDocument& themeDocument, LanguageList& languages, std::string& error);

// The theme walk over root/"themes": every "theme" element from the first
// on; the first one with a "path" is the default, and the first whose
// "name" equals `chosenName` exactly ends the walk (taking its path when it
// has one). False when there is no "themes", no "theme" or no path.
bool ChooseThemePath(const tinyxml2::XMLElement* root, const std::string& chosenName, std::string& path);
// The stored theme name (at most 50 characters; empty when missing).
std::string StoredThemeName(const std::string& regPath);

// What ReadLauncherSettings needs from outside the documents.
struct SettingsEnvironment {
  bool autoInstall = false;  // "/auto" on the command line
  uint32_t osMajor = 10;
  uint32_t osMinor = 0;
  std::string updatePathMarker;  // the "UPDATE_PATH" record's value
  // Called once the client process is known (the post-update migrations).
  std::function<void()> loadMigrations;
  // Opens the promotion page of an automatic install; none: nothing opens.
  std::function<void(const std::string& url)> openUrl;
};

// The settings of the launch element, "common" and the theme's "common", in
// the documented order. Raises StartupError with "Unable to load window
// class name", "Unable to load short clone name", "Unable to load full
// clone name", "config/launch", "Unable load client file name" or
// "theme: config/common".
void ReadLauncherSettings(const tinyxml2::XMLDocument& configDocument, const tinyxml2::XMLDocument& themeDocument,
                          const SettingsEnvironment& environment, LauncherSettings& settings);
// The environment of this process: "UPDATE_PATH" from the executable,
// promotion pages opened with the desktop's URL handler.
SettingsEnvironment DefaultSettingsEnvironment(bool autoInstall, uint32_t osMajor, uint32_t osMinor);

// "CIF.dat" beside "CUD.dat": in `clientFolder`, or the bare name.
std::string CifFilePath(const std::string& clientFolder);
// True when "CIF.dat" does not hold `configCrc` (missing, not 4 bytes, or
// another value). Then the cached "CUD.dat" is deleted first and "CIF.dat"
// is written anew through a temporary file renamed over it, so that a crash
// in between never leaves a new fingerprint beside stale data; when
// "CUD.dat" cannot be deleted, "CIF.dat" is left alone so the next run
// tries again. Logs what fails.
bool ConfigChanged(uint32_t configCrc, const std::string& clientFolder, CLogImplW* log);

// Keys read by other parts, with their defaults. `root` is the
// configuration's root element.
//
// "common/shortcut/@file": the launcher's file name in the install folder;
// "Launcher.exe" by default; ".exe" is appended to a value shorter than 4
// characters or without ".exe" anywhere in it.
std::string LauncherCopyName(const tinyxml2::XMLElement* root);
// "common/taskbarCaption/text()", else language string 2.
std::string TaskbarCaption(const tinyxml2::XMLElement* root);
// "uninstall/@<name>" below "common" for HelpLink, URLInfoAbout and
// URLUpdateInfo; "empty" when absent.
std::string UninstallLink(const tinyxml2::XMLElement* root, const char* name);
