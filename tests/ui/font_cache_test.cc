#include "ui/font_cache.h"

#include <gtest/gtest.h>

#include "config/resource_archive.h"
#include "config/resource_fixture.h"
#include "ui/dpi_factor.h"
#include "ui/font_test_support.h"
#include "ui/text_layout.h"

namespace ui {
namespace {

using config_testing::OpenArchive;
using ui_font_testing::Canvas;
using ui_font_testing::RobotoBytes;

class FontCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_regular = RobotoBytes("Roboto-Regular.ttf");
    m_bold = RobotoBytes("Roboto-Bold.ttf");
    if (m_regular.empty() || m_bold.empty()) m_regular.clear();
    UnloadPrivateFonts();
    SetDpiFactor(1.0);
  }
  void TearDown() override {
    UnloadPrivateFonts();
    SetDpiFactor(1.0);
  }

  // The theme's two fonts, plus entries that are no private fonts and
  // would fail to load if they were taken for one.
  bool LoadTheme() {
    ResourceArchive archive;
    if (!OpenArchive(archive, {{"theme\\fonts\\Roboto-Regular.ttf", m_regular},
                               {"theme\\fonts\\Roboto-Bold.ttf", m_bold},
                               {"theme\\Fonts\\Upper.ttf", "junk"},
                               {"theme\\fonts\\sub\\Deeper.ttf", "junk"},
                               {"theme\\fontsx\\Other.ttf", "junk"},
                               {"theme\\fonts\\Readme.TTF", "junk"},
                               {"theme\\fonts\\notes.txt", "junk"},
                               {"Top.ttf", "junk"}}))
      return false;
    std::string error;
    const bool loaded = LoadPrivateFonts(archive, error);
    EXPECT_TRUE(error.empty()) << error;
    return loaded;
  }

  std::string m_regular;
  std::string m_bold;
};

TEST_F(FontCacheTest, OnlyTtfFilesDirectlyInAFontsFolderAreRegistered) {
  SKIP_WITHOUT_ROBOTO(m_regular);
  ASSERT_TRUE(LoadTheme());
  EXPECT_TRUE(IsPrivateFont("Roboto-Regular"));
  EXPECT_TRUE(IsPrivateFont("Roboto-Bold"));
  for (const char* name : {"Upper", "Deeper", "Other", "Readme", "notes", "Top", "fonts"})
    EXPECT_FALSE(IsPrivateFont(name)) << name;
}

TEST_F(FontCacheTest, PrivateKeyGivesItsFamilyAndAnyOtherNameTheArialStandIn) {
  SKIP_WITHOUT_ROBOTO(m_regular);
  ASSERT_TRUE(LoadTheme());
  const FontPtr bold = GetFont({"Roboto-Bold", 14, true, false});
  ASSERT_TRUE(bold);
  EXPECT_EQ("Roboto", bold->Family().FamilyName());
  EXPECT_TRUE(bold->Family().IsBold());
  EXPECT_EQ(14, bold->PixelSize());

  // What the system gives for "Arial": Liberation Sans when installed,
  // else fontconfig's own match.
  FontFamilyPtr expected = CGuiFontFamily::FromSystem("Liberation Sans", false, false, true);
  if (!expected) expected = CGuiFontFamily::FromSystem("Arial", false, false, false);
  ASSERT_TRUE(expected) << "fontconfig finds no sans-serif font";
  for (const char* name : {"Tahoma", "Arial", "roboto-regular", "Roboto"}) {
    const FontPtr font = GetFont({name, 12});
    ASSERT_TRUE(font) << name;
    EXPECT_EQ(expected->FamilyName(), font->Family().FamilyName()) << name;
  }
  // Without private fonts the theme's names fall back as well.
  UnloadPrivateFonts();
  const FontPtr fallback = GetFont({"Roboto-Bold", 14, true, false});
  ASSERT_TRUE(fallback);
  EXPECT_EQ(expected->FamilyName(), fallback->Family().FamilyName());
}

TEST_F(FontCacheTest, SameKeySameObjectOtherSizeOrStyleAnother) {
  SKIP_WITHOUT_ROBOTO(m_regular);
  ASSERT_TRUE(LoadTheme());
  const FontSpec spec{"Roboto-Regular", 12, false, false, MakeArgb(255, 255, 255, 255)};
  const FontPtr font = GetFont(spec);
  ASSERT_TRUE(font);
  FontSpec recoloured = spec;
  recoloured.color = MakeArgb(160, 64, 143, 255);
  EXPECT_EQ(font, GetFont(recoloured));

  FontSpec larger = spec;
  larger.size = 14;
  FontSpec bold = spec;
  bold.bold = true;
  FontSpec italic = spec;
  italic.italic = true;
  FontSpec fallbackName = spec;
  fallbackName.name = "Tahoma";
  for (const FontSpec& other : {larger, bold, italic, fallbackName}) {
    const FontPtr otherFont = GetFont(other);
    ASSERT_TRUE(otherFont);
    EXPECT_NE(font, otherFont);
    EXPECT_EQ(otherFont, GetFont(other));
  }
  EXPECT_TRUE(GetFont(bold)->Bold());
  EXPECT_TRUE(GetFont(italic)->Italic());

  ResetFontCache();
  const FontPtr again = GetFont(spec);
  EXPECT_NE(font, again);
  EXPECT_TRUE(IsPrivateFont("Roboto-Regular"));
}

TEST_F(FontCacheTest, PixelSizeFollowsTheDpiFactorAndKeysTheCache) {
  SKIP_WITHOUT_ROBOTO(m_regular);
  ASSERT_TRUE(LoadTheme());
  const FontPtr atOne = GetFont({"Roboto-Regular", 18});
  const double designWidth = MeasureText(GetFont({"Roboto-Regular", 12}), "Install").width;
  SetDpiFactor(1.5);
  const FontPtr scaled = GetFont({"Roboto-Regular", 12});
  ASSERT_TRUE(scaled);
  EXPECT_EQ(18, scaled->PixelSize());
  EXPECT_EQ(atOne, scaled);  // the key is the pixel size, not the design size
  EXPECT_EQ(19, GetFont({"Roboto-Regular", 13})->PixelSize());  // 19.5 truncated
  EXPECT_EQ(21, GetFont({"Tahoma", 14})->PixelSize());
  EXPECT_NEAR(1.5, MeasureText(scaled, "Install").width / designWidth, 0.05);
  SetDpiFactor(1.0);
  EXPECT_EQ(12, GetFont({"Roboto-Regular", 12})->PixelSize());
}

TEST_F(FontCacheTest, NoFontForEmptyNameOrUnusableSize) {
  SKIP_WITHOUT_ROBOTO(m_regular);
  ASSERT_TRUE(LoadTheme());
  EXPECT_FALSE(GetFont({"", 12}));
  EXPECT_FALSE(GetFont({"Roboto-Regular", 0}));
  EXPECT_FALSE(GetFont({"Roboto-Regular", -5}));
  EXPECT_FALSE(GetFont({"Roboto-Regular", 1000000}));
  SetDpiFactor(0.5);
  EXPECT_FALSE(GetFont({"Roboto-Regular", 1}));  // 0.5 pixels
}

TEST_F(FontCacheTest, SynthesisedStylesChangeTheGlyphs) {
  SKIP_WITHOUT_ROBOTO(m_regular);
  ASSERT_TRUE(LoadTheme());
  const FontPtr regular = GetFont({"Roboto-Regular", 20});
  const FontPtr bold = GetFont({"Roboto-Regular", 20, true, false});
  const FontPtr italic = GetFont({"Roboto-Regular", 20, false, true});
  ASSERT_TRUE(regular && bold && italic);
  EXPECT_GT(MeasureText(bold, "Install").width, MeasureText(regular, "Install").width);

  const auto render = [](const FontPtr& font) {
    Canvas canvas(200, 40);
    int ink = 0;
    CTextLayout(font, "Install", 0, 0).Draw(canvas.cr(), 4, 4, kOpaqueBlack);
    canvas.InkBounds(&ink);
    return std::make_pair(ink, canvas.Bytes());
  };
  const auto [regularInk, regularPixels] = render(regular);
  const auto [boldInk, boldPixels] = render(bold);
  const auto [italicInk, italicPixels] = render(italic);
  EXPECT_GT(boldInk, regularInk);
  EXPECT_NE(italicPixels, regularPixels);
}

TEST_F(FontCacheTest, MalformedFontFailsTheWholeLoadAndNamesTheEntry) {
  SKIP_WITHOUT_ROBOTO(m_regular);
  ASSERT_TRUE(LoadTheme());
  std::string corruptDirectory = m_regular;
  // The table directory (from byte 12) overwritten: offsets point nowhere.
  for (size_t i = 12; i < 12 + 16 * 12 && i < corruptDirectory.size(); ++i)
    corruptDirectory[i] = '\xFF';
  const struct {
    const char* label;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"text", "this is not a font file at all"},
      {"cut short", m_regular.substr(0, 1000)},
      {"corrupt table directory", corruptDirectory},
  };
  for (const auto& c : cases) {
    ResourceArchive archive;
    ASSERT_TRUE(OpenArchive(archive, {{"other\\fonts\\A-New.ttf", m_bold},
                                      {"other\\fonts\\Broken.ttf", c.bytes}}));
    std::string error;
    EXPECT_FALSE(LoadPrivateFonts(archive, error)) << c.label;
    EXPECT_NE(std::string::npos, error.find("Broken.ttf")) << c.label << ": " << error;
    // Nothing of the failed load is registered; earlier fonts stay.
    EXPECT_FALSE(IsPrivateFont("A-New")) << c.label;
    EXPECT_TRUE(IsPrivateFont("Roboto-Regular")) << c.label;
  }
}

TEST_F(FontCacheTest, ReloadingAKeyReplacesItsFamily) {
  SKIP_WITHOUT_ROBOTO(m_regular);
  ASSERT_TRUE(LoadTheme());
  const FontPtr before = GetFont({"Roboto-Regular", 12});
  ResourceArchive archive;
  ASSERT_TRUE(OpenArchive(archive, {{"fonts\\Roboto-Regular.ttf", m_bold}}));
  std::string error;
  ASSERT_TRUE(LoadPrivateFonts(archive, error)) << error;
  const FontPtr after = GetFont({"Roboto-Regular", 12});
  ASSERT_TRUE(after);
  EXPECT_NE(before, after);
  EXPECT_TRUE(after->Family().IsBold());
  EXPECT_FALSE(before->Family().IsBold());  // handed-out fonts keep theirs
}

}  // namespace
}  // namespace ui
