// A theme for the profile and form tests: a resource archive with atlases
// under "theme_t\", installed as the texture source, and the profile
// registry emptied before and after each test.
#pragma once

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <string>

#include "config/resource_archive.h"
#include "config/resource_fixture.h"
#include "ui/png_fixture.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace ui_testing {

// Twelve pieces, three per state, like a button skin.
inline std::string ButtonAtlas() {
  return AtlasPng({
      "..........",
      ".aa.b.cc..",
      "..........",
      ".dd.e.ff..",
      "..........",
      ".gg.h.ii..",
      "..........",
      ".jj.k.ll..",
  });
}

class ThemeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(config_testing::OpenArchive(
        m_archive, {{"theme_t\\buttons\\button.png", ButtonAtlas()},
                    {"theme_t\\dialog\\logo.png", AtlasPng({"...", ".ab"})},
                    {"theme_t\\broken.png", "not an image"}}));
    ui::ThemeTextureCache::Instance().SetSource(&m_archive, "theme_t\\");
    ui::ResetProfiles();
  }
  void TearDown() override {
    ui::ResetProfiles();
    ui::ThemeTextureCache::Instance().SetSource(nullptr, std::string());
  }

  // Parses `xml` into m_document.
  void Parse(const std::string& xml) { ASSERT_EQ(m_document.Parse(xml.c_str()), tinyxml2::XML_SUCCESS) << xml; }
  // Parses a theme document holding `profiles` and `forms` and loads the
  // profiles; the load result is returned.
  bool LoadTheme(const std::string& profiles, const std::string& forms = std::string()) {
    Parse("<config><common/><profiles>" + profiles + "</profiles><forms>" + forms + "</forms></config>");
    m_error.clear();
    return ui::LoadProfiles(m_document, m_error);
  }

  ResourceArchive m_archive;
  tinyxml2::XMLDocument m_document;
  std::string m_error;
};

}  // namespace ui_testing
