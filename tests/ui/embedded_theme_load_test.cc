// The theme the build packs into the launcher, read with the launcher's own
// texture cutting, profile loading and factories.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <string>
#include <vector>

#include "config/resource_archive.h"
#include "support/temp_dir.h"
#include "ui/control_factory.h"
#include "ui/control_name_table.h"
#include "ui/dpi_factor.h"
#include "ui/font_cache.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace ui {
namespace {

class EmbeddedThemeLoad : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string image = testing_support::ReadFileBytes(LAUNCHER_RESOURCE_ARCHIVE);
    s_archive = new ResourceArchive;
    s_archive->Open(image.data(), image.size());
  }
  static void TearDownTestSuite() {
    delete s_archive;
    s_archive = nullptr;
  }
  void SetUp() override {
    ASSERT_FALSE(s_archive->Empty());
    m_cache.SetSource(s_archive, "theme_kvxm\\");
  }
  void TearDown() override {
    ResetProfiles();
    ThemeTextureCache::Instance().SetSource(nullptr, std::string());
    UnloadPrivateFonts();
    ResetFontCache();
  }

  static ResourceArchive* s_archive;
  ThemeTextureCache m_cache;
};

ResourceArchive* EmbeddedThemeLoad::s_archive = nullptr;

struct AtlasCase {
  const char* name;
  size_t count;
  // Inner piece sizes in cut order; empty: not checked piece by piece.
  std::vector<GuiSize> sizes;
};

std::vector<GuiSize> Repeat(const std::vector<GuiSize>& group, int times) {
  std::vector<GuiSize> all;
  for (int i = 0; i < times; ++i) all.insert(all.end(), group.begin(), group.end());
  return all;
}

std::vector<GuiSize> NinePieces(std::vector<int> widths, std::vector<int> heights) {
  std::vector<GuiSize> pieces;
  for (int h : heights) {
    for (int w : widths) pieces.push_back({w, h});
  }
  return pieces;
}

TEST_F(EmbeddedThemeLoad, EveryAtlasCutsIntoItsPieces) {
  const std::vector<AtlasCase> cases = {
      {"buttons\\Stuff_button_medium.png", 12, Repeat({{36, 72}, {6, 72}, {36, 72}}, 4)},
      {"buttons\\Stuff_button_medium_accent.png", 12, Repeat({{36, 72}, {6, 72}, {36, 72}}, 4)},
      {"buttons\\Stuff_checkbox.png", 8, Repeat({{36, 36}}, 8)},
      {"buttons\\button_link.png", 36, {}},
      {"combobox\\Stuff_combo_medium.png", 12, Repeat({{24, 72}, {1, 72}, {56, 72}}, 4)},
      {"combobox\\flagsMain.png", 7, Repeat({{1, 1}}, 7)},
      {"dialog\\Stuff_bb_border.png", 9, NinePieces({8, 6, 8}, {8, 16, 8})},
      {"dialog\\Stuff_bb_combo_drop.png", 9, NinePieces({20, 6, 20}, {12, 184, 28})},
      {"dialog\\Stuff_bb_level0.png", 9, NinePieces({28, 6, 28}, {20, 168, 36})},
      {"dialog\\error.png", 1, {{128, 128}}},
      {"dialog\\logo.png", 1, {{276, 107}}},
      {"edit\\Stuff_edit.png", 36, Repeat(NinePieces({24, 6, 24}, {20, 16, 28}), 4)},
      {"progress\\Stuff_progress.png", 6, Repeat({{6, 12}}, 6)},
      {"scroll\\Stuff_scroll.png", 57, {}},
  };
  for (const AtlasCase& c : cases) {
    std::string error;
    const ThemeTexture* texture = m_cache.Get(c.name, &error);
    ASSERT_TRUE(texture) << c.name << ": " << error;
    ASSERT_EQ(texture->Count(), c.count) << c.name;
    for (size_t i = 0; i < c.sizes.size(); ++i) {
      const GuiRect inner = texture->Image(i)->InnerRect();
      EXPECT_EQ((GuiSize{inner.width, inner.height}), c.sizes[i]) << c.name << " piece " << i;
      EXPECT_EQ(texture->Image(i)->framed, c.count > 1) << c.name;
    }
  }
  // The scroll bar's drawn pieces.
  const ThemeTexture* scroll = m_cache.Get("scroll\\Stuff_scroll.png");
  ASSERT_TRUE(scroll);
  const auto inner = [&](size_t i) {
    const GuiRect r = scroll->Image(i)->InnerRect();
    return GuiSize{r.width, r.height};
  };
  for (size_t i = 0; i <= 5; ++i) EXPECT_EQ(inner(i), (GuiSize{12, 1})) << i;
  for (size_t i = 6; i <= 14; ++i) EXPECT_EQ(inner(i), (GuiSize{12, (i >= 9 && i <= 11) ? 8 : 12})) << i;
  for (size_t i = 39; i <= 47; ++i) EXPECT_EQ(inner(i), (GuiSize{12, 8})) << i;
}

TEST_F(EmbeddedThemeLoad, ProfilesAndFourFormsLoad) {
  SetDpiFactor(1.0);
  std::string error;
  ASSERT_TRUE(LoadPrivateFonts(*s_archive, error)) << error;
  ThemeTextureCache::Instance().SetSource(s_archive, "theme_kvxm\\");
  std::string text;
  ASSERT_TRUE(s_archive->Get("theme_kvxm\\config.xml", text));
  tinyxml2::XMLDocument document;
  ASSERT_EQ(document.Parse(text.c_str(), text.size()), tinyxml2::XML_SUCCESS);
  ASSERT_TRUE(LoadProfiles(document, error)) << error;

  const ThemeProfile* combo = FindProfile("profile_combobox");
  ASSERT_TRUE(combo);
  ASSERT_EQ(combo->childProfiles.size(), 1u);
  EXPECT_EQ(combo->childProfiles[0], FindProfile("profile_bg_dropdown"));
  EXPECT_EQ(combo->textOffset, (GuiPoint{11, 9}));
  const ThemeProfile* edit = FindProfile("profile_edit");
  ASSERT_TRUE(edit);
  EXPECT_EQ(edit->zoom, 0.5f);
  EXPECT_EQ(edit->fontSpecs[fsDisabled], (FontSpec{"Roboto-Regular", 12, false, false, 0xFFAEAEAEu}));
  EXPECT_TRUE(edit->fonts[fsNormal]);
  const ThemeProfile* big = FindProfile("profile_text_caption_big");
  ASSERT_TRUE(big);
  EXPECT_TRUE(big->fontSpecs[fsNormal].bold);
  EXPECT_EQ(FindProfile("profile_tooltip")->textBorder, (GuiInsets{12, 8, 12, 14}));
  EXPECT_TRUE(CreateToolTip("profile_tooltip"));

  const auto forms = LoadForms(document);
  ASSERT_EQ(forms.size(), 4u);
  const size_t topLevel[] = {11, 6, 4, 11};
  const GuiSize sizes[] = {{452, 303}, {452, 240}, {452, 240}, {452, 240}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(forms[i]->children.size(), topLevel[i]) << "form " << i;
    EXPECT_EQ(forms[i]->Sizes()[0], sizes[i]) << "form " << i;
  }
  EXPECT_EQ(forms[3]->Sizes()[3], (GuiSize{452, 369}));

  // The single install page: the shortcut panel's headline and check boxes,
  // the language box with its list attributes.
  const GuiControl& panel = *forms[3]->children[7];
  EXPECT_EQ(panel.id, ctlSingleInstallSpriteHide);
  ASSERT_EQ(panel.children.size(), 4u);
  EXPECT_EQ(panel.children[0]->id, ctlSingleInstallTextCreateShortcuts);
  EXPECT_EQ((GuiRect{panel.children[0]->designX, panel.children[0]->designY, panel.children[0]->designWidth,
                     panel.children[0]->designHeight}),
            (GuiRect{11, 12, 300, 30}));
  EXPECT_EQ(panel.children[3]->id, ctlSingleInstallCheckboxGuest);
  const auto* language = dynamic_cast<const CGuiComboBoxCtrl*>(forms[3]->children[10].get());
  ASSERT_TRUE(language);
  EXPECT_EQ(language->id, ctlLanguage);
  EXPECT_EQ(language->listElementHeight, 28);
  EXPECT_EQ(language->listBorder, (GuiInsets{-2, -6, -2, -10}));
  // The message page's text area sits inside its scroll area.
  const GuiControl& listBox = *forms[0]->children[5];
  EXPECT_EQ(listBox.id, ctlMblistbox);
  ASSERT_EQ(listBox.children.size(), 1u);
  EXPECT_EQ(listBox.children[0]->id, ctlMblistboxError);
}

}  // namespace
}  // namespace ui
