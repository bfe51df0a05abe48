#include "ui/theme_setup.h"

#include "config/resource_archive.h"
#include "ui/font_cache.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace ui {

bool LoadThemeResources(const ResourceArchive& archive, const std::string& themeFolder,
                        const tinyxml2::XMLDocument& themeDocument, std::string& error) {
  ThemeTextureCache::Instance().SetSource(&archive, themeFolder);
  if (!LoadPrivateFonts(archive, error)) {
    error = "theme fonts: " + error;
    return false;
  }
  if (!LoadProfiles(themeDocument, error)) {
    error = "theme profiles: " + error;
    return false;
  }
  return true;
}

}  // namespace ui
