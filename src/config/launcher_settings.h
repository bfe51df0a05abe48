// LauncherSettings: what the launcher reads at start from its configuration
// document, the theme's "common" element and the marker records. Filled by
// the configuration reader; held by the controller.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LauncherSettings {
  std::string regPath;
  bool logLauncher = false;
  bool logHttp = false;
  bool multiRun = false;
  std::string themeFolder;       // with a trailing "\"
  std::string windowClassName;   // the client's main window class
  std::string shortName;
  std::string fullName;
  std::string iconName;
  std::string licenseUrl;
  std::string clientProcess;
  std::string clientCommandLine;
  bool skipIconsPage = false;
  bool automaticInstallMode = false;
  bool silentDownload = true;
  bool progressFromZero = false;
  bool createDesktopIcon = true;
  bool createProgramsIcon = true;
  bool createProgramsFolder = false;
  std::string updatePath;
  std::vector<std::string> serverUrls;
  bool backNextArrowsInText = true;
  bool singlePageMode = false;
  uint32_t configCrc = 0;
};
