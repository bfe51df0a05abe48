#include "support/built_resources.h"

#include <filesystem>
#include <string>

#include "app/logic.h"
#include "config/launcher_config.h"
#include "config/resource_archive.h"
#include "support/temp_dir.h"

namespace testing_support {

bool OpenBuiltResourceArchive() {
  static const bool opened = [] {
    const std::string image = ReadFileBytes(LAUNCHER_RESOURCE_ARCHIVE);
    return !image.empty() && ResourceArchive::Instance().Open(image.data(), image.size());
  }();
  return opened;
}

namespace {

void RedirectUrls(tinyxml2::XMLElement* element) {
  for (; element != nullptr; element = element->NextSiblingElement()) {
    if (std::string(element->Name()) == "URL") element->SetText(kUnservedUrl);
    RedirectUrls(element->FirstChildElement());
  }
}

}  // namespace

bool LoadBuiltLauncherDocuments(CLogic& logic) {
  if (!OpenBuiltResourceArchive()) return false;
  const ResourceArchive& archive = ResourceArchive::Instance();
  if (!LoadLauncherConfig(archive, logic.settings, logic.configDocument, logic.languages, logic.preinitError) ||
      !LoadThemeDocument(archive, logic.settings, logic.themeDocument, logic.preinitError)) {
    return false;
  }
  logic.settings.logLauncher = true;
  // The sample product's servers are not ours to reach: every URL of the
  // predefined client update data points at a local port nobody serves.
  tinyxml2::XMLElement* root = logic.configDocument.RootElement();
  tinyxml2::XMLElement* data = root != nullptr ? root->FirstChildElement("ClientUpdateData") : nullptr;
  if (data != nullptr) RedirectUrls(data->FirstChildElement());
  return true;
}

}  // namespace testing_support
