// The theme "kvxm" as the build packs it into the launcher's resource
// archive: every texture atlas cut the way the launcher cuts it, and the
// theme document checked against what the launcher and its controls need.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "config/resource_archive.h"
#include "base/xml_readers.h"
#include "ui/control_name_table.h"
#include "ui/theme_texture.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

constexpr char kThemeFolder[] = "theme_kvxm\\";
constexpr uint32_t kOpaqueCyan = 0xFF00FFFFu;  // straight ARGB

const ResourceArchive& BuiltArchive() {
  static const ResourceArchive archive = [] {
    ResourceArchive a;
    const std::string image = testing_support::ReadFileBytes(LAUNCHER_RESOURCE_ARCHIVE);
    a.Open(image.data(), image.size());
    return a;
  }();
  return archive;
}

// ------------------------------------------------------------------ atlases

struct Size {
  int width, height;
};

struct AtlasCase {
  const char* name;
  int width, height;
  size_t pieces;
  // Runs of piece sizes in cut order, each with the index of its first
  // piece (the scroll bar's table names only the pieces that are drawn).
  std::vector<std::pair<size_t, std::vector<Size>>> sized;
};

std::vector<Size> Repeat(std::vector<Size> group, int times) {
  std::vector<Size> out;
  for (int i = 0; i < times; ++i) out.insert(out.end(), group.begin(), group.end());
  return out;
}

// The layouts the controls rely on.
const std::vector<AtlasCase>& AtlasCases() {
  static const std::vector<AtlasCase> cases = {
      {"buttons\\Stuff_button_medium.png", 80, 292, 12, {{0, Repeat({{36, 72}, {6, 72}, {36, 72}}, 4)}}},
      {"buttons\\Stuff_button_medium_accent.png", 80, 292, 12, {{0, Repeat({{36, 72}, {6, 72}, {36, 72}}, 4)}}},
      {"buttons\\Stuff_checkbox.png", 36, 296, 8, {{0, Repeat({{36, 36}}, 8)}}},
      {"buttons\\button_link.png", 8, 36, 36, {{0, Repeat({{2, 2}}, 36)}}},
      {"combobox\\Stuff_combo_medium.png", 83, 292, 12, {{0, Repeat({{24, 72}, {1, 72}, {56, 72}}, 4)}}},
      {"combobox\\flagsMain.png", 1, 15, 7, {{0, Repeat({{1, 1}}, 7)}}},
      {"dialog\\Stuff_bb_border.png",
       24,
       36,
       9,
       {{0, {{8, 8}, {6, 8}, {8, 8}, {8, 16}, {6, 16}, {8, 16}, {8, 8}, {6, 8}, {8, 8}}}}},
      {"dialog\\Stuff_bb_combo_drop.png",
       48,
       228,
       9,
       {{0, {{20, 12}, {6, 12}, {20, 12}, {20, 184}, {6, 184}, {20, 184}, {20, 28}, {6, 28}, {20, 28}}}}},
      {"dialog\\Stuff_bb_level0.png",
       64,
       227,
       9,
       {{0, {{28, 20}, {6, 20}, {28, 20}, {28, 168}, {6, 168}, {28, 168}, {28, 36}, {6, 36}, {28, 36}}}}},
      {"dialog\\error.png", 128, 129, 1, {{0, {{128, 128}}}}},
      {"dialog\\logo.png", 276, 108, 1, {{0, {{276, 107}}}}},
      {"edit\\Stuff_edit.png",
       56,
       268,
       36,
       {{0, Repeat({{24, 20}, {6, 20}, {24, 20}, {24, 16}, {6, 16}, {24, 16}, {24, 28}, {6, 28}, {24, 28}}, 4)}}},
      {"progress\\Stuff_progress.png", 20, 26, 6, {{0, Repeat({{6, 12}}, 6)}}},
      {"scroll\\Stuff_scroll.png",
       122,
       98,
       57,
       {{0, Repeat({{12, 1}}, 6)},
        {6, Repeat({{12, 12}}, 3)},
        {9, Repeat({{12, 8}}, 3)},
        {12, Repeat({{12, 12}}, 3)},
        {39, Repeat({{12, 8}}, 9)}}},
  };
  return cases;
}

// An atlas as the launcher loads it: the decoded image (for the marker) and
// the texture cut from it, both from the built resource archive.
struct CutAtlas {
  ui::ArgbImage image;
  const ui::ThemeTexture* texture = nullptr;
  size_t Count() const { return texture ? texture->Count() : 0; }
  ui::GuiRect Inner(size_t index) const { return texture->Image(index)->InnerRect(); }
};

bool LoadAtlas(const std::string& name, CutAtlas& atlas) {
  std::string bytes, error;
  if (!BuiltArchive().Get(kThemeFolder + name, bytes) || !ui::ThemeTexture::DecodePng(bytes, atlas.image, error)) {
    return false;
  }
  // A cache of our own over the built archive: its textures live as long as
  // the test binary, and the launcher's shared cache stays untouched.
  static ui::ThemeTextureCache& cache = *[] {
    static ui::ThemeTextureCache c;
    c.SetSource(&BuiltArchive(), kThemeFolder);
    return &c;
  }();
  atlas.texture = cache.Get(name, &error);
  return atlas.texture != nullptr;
}

TEST(KvxmThemeAtlases, EveryAtlasCutsIntoItsPieceLayout) {
  for (const AtlasCase& c : AtlasCases()) {
    SCOPED_TRACE(c.name);
    CutAtlas atlas;
    ASSERT_TRUE(LoadAtlas(c.name, atlas));
    EXPECT_EQ(atlas.image.width, c.width);
    EXPECT_EQ(atlas.image.height, c.height);
    EXPECT_EQ(atlas.image.pixels[0], kOpaqueCyan);
    ASSERT_EQ(atlas.Count(), c.pieces);
    for (const auto& [first, sizes] : c.sized) {
      for (size_t k = 0; k < sizes.size(); ++k) {
        const ui::GuiRect inner = atlas.Inner(first + k);
        EXPECT_EQ(inner.width, sizes[k].width) << "piece " << first + k;
        EXPECT_EQ(inner.height, sizes[k].height) << "piece " << first + k;
      }
    }
    // Every pixel outside the pieces is marker and none inside is: a stray
    // cyan pixel in a piece would leave its box and count unchanged.
    size_t pieceArea = 0;
    for (size_t i = 0; i < atlas.Count(); ++i) {
      pieceArea += static_cast<size_t>(atlas.Inner(i).width) * atlas.Inner(i).height;
    }
    const size_t markers = std::count(atlas.image.pixels.begin(), atlas.image.pixels.end(), kOpaqueCyan);
    EXPECT_EQ(markers + pieceArea, atlas.image.pixels.size());
  }
}

// The generator draws the same bytes on every run (nothing left to chance
// or to uninitialised memory), so the packed atlases are reproducible.
TEST(KvxmThemeAtlases, GeneratorRedrawsThePackedAtlasesByteForByte) {
  testing_support::TempDir folder;
  ASSERT_EQ(testing_support::RunProcess({LAUNCHER_THEME_ART_PATH, folder.path().string()}), 0);
  std::string packed;
  for (const AtlasCase& c : AtlasCases()) {
    std::string relative = c.name;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    ASSERT_TRUE(BuiltArchive().Get(kThemeFolder + std::string(c.name), packed)) << c.name;
    EXPECT_EQ(testing_support::ReadFileBytes(folder / relative), packed) << c.name;
  }
  EXPECT_EQ(testing_support::RunProcess({LAUNCHER_THEME_ART_PATH}), 1);  // no folder: usage
}

// Pixels of piece `index` (inside its frame) as one list, for comparing
// states.
std::vector<uint32_t> PiecePixels(const CutAtlas& atlas, size_t index) {
  const ui::TextureImage& image = *atlas.texture->Image(index);
  const ui::GuiRect inner = image.InnerRect();
  std::vector<uint32_t> out;
  for (int y = inner.y; y < inner.y + inner.height; ++y) {
    for (int x = inner.x; x < inner.x + inner.width; ++x) out.push_back(image.At(x, y));
  }
  return out;
}

bool AllAlpha(const CutAtlas& atlas, size_t index, bool (*test)(uint32_t alpha)) {
  for (uint32_t pixel : PiecePixels(atlas, index)) {
    if (!test(pixel >> 24)) return false;
  }
  return true;
}

TEST(KvxmThemeAtlases, TransparentPiecesStillCutAndTheLinkStaysClickable) {
  CutAtlas flags;
  ASSERT_TRUE(LoadAtlas("combobox\\flagsMain.png", flags));
  ASSERT_EQ(flags.Count(), 7u);
  for (size_t i = 0; i < flags.Count(); ++i) {
    EXPECT_TRUE(AllAlpha(flags, i, [](uint32_t a) { return a == 0; })) << "flag " << i;
  }

  // States 0 to 2 have alpha everywhere (the whole link takes clicks); the
  // disabled skin is partly fully transparent.
  CutAtlas link;
  ASSERT_TRUE(LoadAtlas("buttons\\button_link.png", link));
  ASSERT_EQ(link.Count(), 36u);
  for (size_t i = 0; i < 27; ++i) {
    EXPECT_TRUE(AllAlpha(link, i, [](uint32_t a) { return a > 0; })) << "piece " << i;
  }
  size_t transparent = 0;
  for (size_t i = 27; i < 36; ++i) transparent += AllAlpha(link, i, [](uint32_t a) { return a == 0; });
  EXPECT_GT(transparent, 0u);
  EXPECT_LT(transparent, 9u);
}

// Each state of a skin looks different from the others, and the Install
// button's accent differs from the plain buttons.
TEST(KvxmThemeAtlases, StatesOfASkinDiffer) {
  struct StateCase {
    const char* name;
    size_t piecesPerState;
    size_t states;
  };
  for (const StateCase& c : {StateCase{"buttons\\Stuff_button_medium.png", 3, 4},
                             StateCase{"buttons\\Stuff_button_medium_accent.png", 3, 4},
                             StateCase{"combobox\\Stuff_combo_medium.png", 3, 4},
                             StateCase{"edit\\Stuff_edit.png", 9, 3},  // the field never shows state 3
                             StateCase{"buttons\\Stuff_checkbox.png", 1, 7}}) {
    SCOPED_TRACE(c.name);
    CutAtlas atlas;
    ASSERT_TRUE(LoadAtlas(c.name, atlas));
    ASSERT_GE(atlas.Count(), c.piecesPerState * c.states);
    for (size_t a = 0; a < c.states; ++a) {
      for (size_t b = a + 1; b < c.states; ++b) {
        bool differs = false;
        for (size_t k = 0; k < c.piecesPerState && !differs; ++k) {
          differs = PiecePixels(atlas, a * c.piecesPerState + k) != PiecePixels(atlas, b * c.piecesPerState + k);
        }
        EXPECT_TRUE(differs) << "states " << a << " and " << b;
      }
    }
  }
  CutAtlas plain, accent;
  ASSERT_TRUE(LoadAtlas("buttons\\Stuff_button_medium.png", plain));
  ASSERT_TRUE(LoadAtlas("buttons\\Stuff_button_medium_accent.png", accent));
  EXPECT_NE(PiecePixels(plain, 1), PiecePixels(accent, 1));
}

// ------------------------------------------------------------ the document

const std::set<std::string>& ControlElements() {
  static const std::set<std::string> names = {
      "CGuiButtonCtrl",   "CGuiScrollCtrl",       "CGuiComboBoxCtrl", "CGuiProgressCtrl", "CGuiProgressWaitCtrl",
      "CGuiBitmapBorderCtrl", "CGuiBitmapCtrl",   "CGuiEditCtrl",     "CGuiCheckBoxCtrl", "CGuiTextLabelCtrl",
      "CGuiTextLinesCtrl"};
  return names;
}

class KvxmThemeDocument : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string bytes;
    ASSERT_TRUE(BuiltArchive().Get(std::string(kThemeFolder) + "config.xml", bytes));
    ASSERT_EQ(m_document.Parse(bytes.data(), bytes.size()), tinyxml2::XML_SUCCESS) << m_document.ErrorStr();
    m_root = m_document.FirstChildElement("config");
    ASSERT_NE(m_root, nullptr);
  }

  // Walks a control and its children: element names, "func", "profile",
  // "pt" and "size" as the factories read them.
  void CheckControl(const tinyxml2::XMLElement* control, const std::set<std::string>& profiles,
                    std::vector<std::string>& funcs) {
    const std::string element = control->Name();
    SCOPED_TRACE(element);
    EXPECT_TRUE(ControlElements().count(element));
    std::string func, profile;
    ReadAttrString(control, "func", func);
    funcs.push_back(func);
    EXPECT_TRUE(func.empty() || ui::NameToId(func) >= 0) << func;
    EXPECT_TRUE(ReadAttrString(control, "profile", profile) && profiles.count(profile)) << profile;
    int32_t a = 0, b = 0;
    EXPECT_TRUE(ReadAttrIntPair(control, "pt", a, b)) << func;
    EXPECT_TRUE(ReadAttrIntPair(control, "size", a, b) && a > 0 && b > 0) << func;
    for (const auto* child = control->FirstChildElement(); child; child = child->NextSiblingElement()) {
      CheckControl(child, profiles, funcs);
    }
  }

  tinyxml2::XMLDocument m_document;
  const tinyxml2::XMLElement* m_root = nullptr;
};

TEST_F(KvxmThemeDocument, ProfilesNameEarlierProfilesAndPackedFiles) {
  const auto* common = m_root->FirstChildElement("common");
  ASSERT_NE(common, nullptr);
  bool singlePage = false;
  EXPECT_TRUE(ReadAttrBool(common->FirstChildElement("singlePageMode"), "value", singlePage) && singlePage);

  const auto* profiles = m_root->FirstChildElement("profiles");
  ASSERT_NE(profiles, nullptr);
  std::set<std::string> defined;
  std::string bytes;
  for (const auto* profile = profiles->FirstChildElement(); profile; profile = profile->NextSiblingElement()) {
    const std::string name = profile->Name();
    SCOPED_TRACE(name);
    std::string value;
    if (ReadAttrString(profile, "profilesForChildren", value)) {
      EXPECT_TRUE(defined.count(value)) << value;  // one name in this theme
    }
    if (ReadAttrString(profile, "texture", value)) {
      EXPECT_TRUE(BuiltArchive().Get(kThemeFolder + value, bytes)) << value;
    }
    for (const auto* font = profile->FirstChildElement(); font; font = font->NextSiblingElement()) {
      if (ReadAttrString(font, "fontName", value)) {
        EXPECT_TRUE(BuiltArchive().Get(std::string(kThemeFolder) + "fonts\\" + value + ".ttf", bytes)) << value;
      }
    }
    defined.insert(name);
  }
  EXPECT_EQ(defined.size(), 17u);
  EXPECT_TRUE(defined.count("profile_tooltip"));
}

// The four pages of the single-page flow, in order, with their controls in
// document order (children after their container).
TEST_F(KvxmThemeDocument, FourFormsInPageOrderWithKnownControls) {
  std::set<std::string> profiles;
  for (const auto* p = m_root->FirstChildElement("profiles")->FirstChildElement(); p; p = p->NextSiblingElement()) {
    profiles.insert(p->Name());
  }
  const std::vector<std::vector<std::string>> expected = {
      {"mbox_link", "mbox_text_edit_caption", "mbox_edit", "", "mblistbox_sprite_error", "mblistbox",
       "mblistbox_error", "mbox_yes", "mbox_no", "mbox_ok", "mbox_retry", "mbox_cancel"},
      {"", "headline_uninstall_info", "cancelUninstall", "uninstall", "text_wantuninstall_path",
       "text_wantuninstall"},
      {"", "headline_uninstall_close_info", "close_uninstall", "errors", "scroll_error_text_area"},
      {"", "single_install_button_browse", "single_install_button_install", "single_install_button_cancel",
       "single_install_button_cancel_update", "single_install_text_progress_info", "single_install_text_folder",
       "single_install_sprite_hide", "single_install_text_create_shortcuts",
       "single_install_checkbox_icon_desktop", "single_install_checkbox_icon_programs",
       "single_install_checkbox_guest", "single_install_progress", "single_install_spriterange_wait",
       "language"},
  };
  const auto* forms = m_root->FirstChildElement("forms");
  ASSERT_NE(forms, nullptr);
  size_t index = 0;
  for (const auto* step = forms->FirstChildElement(); step; step = step->NextSiblingElement()) {
    ASSERT_STREQ(step->Name(), "step");
    ASSERT_LT(index, expected.size());
    SCOPED_TRACE("form " + std::to_string(index + 1));
    std::string profile;
    EXPECT_TRUE(ReadAttrString(step, "profile", profile) && profiles.count(profile));
    int32_t w = 0, h = 0;
    for (const char* size : {"size", "size0", "size1", "size2", "size3"}) {
      EXPECT_TRUE(ReadAttrIntPair(step, size, w, h) && w > 0 && h > 0) << size;
    }
    std::vector<std::string> funcs;
    for (const auto* control = step->FirstChildElement(); control; control = control->NextSiblingElement()) {
      CheckControl(control, profiles, funcs);
    }
    EXPECT_EQ(funcs, expected[index]);
    ++index;
  }
  EXPECT_EQ(index, 4u);
}

}  // namespace
