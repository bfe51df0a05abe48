// Fuzz target for the launcher configuration: the input is split at its
// first NUL byte into the configuration document and the theme document
// (the same text when there is none) and read as the launcher reads them
// at start.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <tinyxml2.h>

#include "base/startup_error.h"
#include "config/launcher_config.h"
#include "config/launcher_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string_view configText = input.substr(0, split);
  const std::string_view themeText = split == std::string_view::npos ? configText : input.substr(split + 1);
  tinyxml2::XMLDocument config;
  tinyxml2::XMLDocument theme;
  if (config.Parse(configText.data(), configText.size()) != tinyxml2::XML_SUCCESS) return 0;
  theme.Parse(themeText.data(), themeText.size());

  SettingsEnvironment environment;
  environment.autoInstall = size % 2 == 0;
  environment.updatePathMarker = "updates/";
  LauncherSettings settings;
  try {
    ReadLauncherSettings(config, theme, environment, settings);
  } catch (const StartupError&) {
    // A document without a required value: the launcher shows the error.
  }
  if (const tinyxml2::XMLElement* root = config.RootElement()) {
    LauncherCopyName(root);
    UninstallLink(root, "HelpLink");
    std::string path;
    ChooseThemePath(root, "dark", path);
  }
  return 0;
}
