#include "ui/theme_profile.h"

#include <gtest/gtest.h>

#include "ui/font_cache.h"
#include "ui/theme_fixture.h"

namespace ui {
namespace {

using ProfileTest = ui_testing::ThemeTest;

TEST_F(ProfileTest, ReadsEveryFieldOfAProfile) {
  ASSERT_TRUE(LoadTheme(R"(
      <plain/>
      <dropdown/>
      <full texture="buttons\button.png" zoom="0.5" textOffset="12, 7" textBorder="12 8 12 14"
            profilesForChildren="dropdown, plain" parent="ignored" fontColor="1 2 3">
        <fontP fontName="Tahoma" fontColor="255, 255, 255" fontSize="12" fontBold="false" fontItalic="true"/>
        <fontN fontName="Tahoma" fontColor="255,255,255,160" fontSize="11" fontBold="true" fontItalic="false"/>
        <other fontName="Ignored"/>
      </full>)"))
      << m_error;
  const ThemeProfile* full = FindProfile("full");
  ASSERT_TRUE(full);
  EXPECT_EQ(full->name, "full");
  ASSERT_EQ(full->childProfiles.size(), 2u);
  EXPECT_EQ(full->childProfiles[0], FindProfile("dropdown"));
  EXPECT_EQ(full->childProfiles[1], FindProfile("plain"));
  EXPECT_EQ(full->textOffset, (GuiPoint{12, 7}));
  EXPECT_EQ(full->textBorder, (GuiInsets{12, 8, 12, 14}));
  EXPECT_EQ(full->zoom, 0.5f);
  ASSERT_TRUE(full->texture);
  EXPECT_EQ(full->texture->Count(), 12u);
  EXPECT_EQ(full->texture, ThemeTextureCache::Instance().Get("buttons\\button.png"));

  const FontSpec normal{"Tahoma", 12, false, true, 0xFFFFFFFFu};
  const FontSpec disabled{"Tahoma", 11, true, false, 0xA0FFFFFFu};
  EXPECT_EQ(full->fontSpecs[fsNormal], normal);
  EXPECT_EQ(full->fontSpecs[fsHover], FontSpec{});
  EXPECT_EQ(full->fontSpecs[fsPressed], FontSpec{});
  EXPECT_EQ(full->fontSpecs[fsDisabled], disabled);
  // An unknown name still gets a font (the stand-in family); no name, none.
  EXPECT_TRUE(full->fonts[fsNormal]);
  EXPECT_EQ(full->fonts[fsNormal], GetFont(normal));
  EXPECT_TRUE(full->fonts[fsDisabled]);
  EXPECT_FALSE(full->fonts[fsHover]);

  const ThemeProfile* plain = FindProfile("plain");
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->texture);
  EXPECT_EQ(plain->zoom, 1.0f);
  EXPECT_EQ(plain->textOffset, (GuiPoint{}));
  EXPECT_TRUE(plain->childProfiles.empty());
}

// Each font attribute is read only when the one before it was present and
// valid.
TEST_F(ProfileTest, FontAttributesAreReadAsAChain) {
  struct Case {
    const char* attributes;
    FontSpec expected;
  };
  const Case cases[] = {
      {R"(fontName="A" fontColor="1 2 3" fontSize="9" fontBold="1" fontItalic="tr")", {"A", 9, true, true, 0xFF010203u}},
      {R"(fontColor="1 2 3" fontSize="9" fontBold="1")", {}},
      {R"(fontName="A" fontSize="9" fontBold="1")", {"A", 0, false, false, kOpaqueBlack}},
      {R"(fontName="A" fontColor="1 2" fontSize="9")", {"A", 0, false, false, kOpaqueBlack}},
      {R"(fontName="A" fontColor="1 2 3" fontSize="9px" fontBold="1")", {"A", 0, false, false, 0xFF010203u}},
      {R"(fontName="A" fontColor="1 2 3" fontSize="0x0C" fontBold="yes" fontItalic="1")",
       {"A", 12, false, false, 0xFF010203u}},
      {R"(fontName="A" fontColor="1 2 3" fontSize="-5" fontBold="1")", {"A", 0, false, false, 0xFF010203u}},
      {R"(fontName="A" fontColor="1 2 3" fontSize="9" fontBold="0" fontItalic="no")", {"A", 9, false, false, 0xFF010203u}},
  };
  for (const Case& c : cases) {
    tinyxml2::XMLDocument document;
    ASSERT_EQ(document.Parse((std::string("<p><fontH ") + c.attributes + "/></p>").c_str()), tinyxml2::XML_SUCCESS);
    std::array<FontSpec, kFontStateCount> specs{};
    ReadFontSpecs(document.RootElement(), specs);
    EXPECT_EQ(specs[fsHover], c.expected) << c.attributes;
    EXPECT_EQ(specs[fsNormal], FontSpec{}) << c.attributes;
  }

  // A repeated letter replaces the earlier element.
  tinyxml2::XMLDocument document;
  ASSERT_EQ(document.Parse(R"(<p><fontD fontName="A" fontColor="1 2 3"/><fontD fontName="B"/></p>)"),
            tinyxml2::XML_SUCCESS);
  std::array<FontSpec, kFontStateCount> specs{};
  ReadFontSpecs(document.RootElement(), specs);
  EXPECT_EQ(specs[fsPressed], (FontSpec{"B", 0, false, false, kOpaqueBlack}));
}

TEST_F(ProfileTest, InvalidValuesKeepTheirDefaults) {
  ASSERT_TRUE(LoadTheme(R"(<p textOffset="1" zoom="1e30" textBorder="1 2 3"/>
                           <q textOffset="1,2,3" zoom="-0.5" textBorder="1 2 3 4 5"/>)"))
      << m_error;
  for (const char* name : {"p", "q"}) {
    const ThemeProfile* p = FindProfile(name);
    ASSERT_TRUE(p) << name;
    EXPECT_EQ(p->textOffset, (GuiPoint{})) << name;
    EXPECT_EQ(p->zoom, 1.0f) << name;
    EXPECT_EQ(p->textBorder, (GuiInsets{})) << name;
  }
}

TEST_F(ProfileTest, FailuresStopTheLoad) {
  struct Case {
    const char* what;
    const char* profiles;
    const char* reason;  // part of the error text
  };
  const Case cases[] = {
      {"child profile defined later", R"(<a profilesForChildren="b"/><b/>)", "child profile b"},
      {"child profile never defined", R"(<a/><b profilesForChildren="a c"/>)", "child profile c"},
      {"texture missing", R"(<a texture="none.png"/>)", "invalid texture"},
      {"texture not an image", R"(<a texture="broken.png"/>)", "invalid texture"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(LoadTheme(c.profiles)) << c.what;
    EXPECT_NE(m_error.find(c.reason), std::string::npos) << c.what << ": " << m_error;
  }
  // Profiles before the failing one stay registered.
  EXPECT_FALSE(LoadTheme(R"(<a/><b texture="none.png"/><c/>)"));
  EXPECT_TRUE(FindProfile("a"));
  EXPECT_FALSE(FindProfile("c"));
}

TEST_F(ProfileTest, ProfilesElementMissingOrEmpty) {
  Parse("<config><common/><forms/></config>");
  EXPECT_FALSE(LoadProfiles(m_document, m_error));
  Parse("<other><profiles><a/></profiles></other>");
  EXPECT_FALSE(LoadProfiles(m_document, m_error));
  EXPECT_TRUE(LoadTheme(""));
  EXPECT_FALSE(FindProfile("a"));
}

TEST_F(ProfileTest, ALaterProfileOfTheSameNameReplacesTheFirst) {
  ASSERT_TRUE(LoadTheme(R"(<a zoom="2"/><b profilesForChildren="a"/><a zoom="3"/>)")) << m_error;
  EXPECT_EQ(FindProfile("a")->zoom, 3.0f);
  // The first one stays alive for the profile that named it.
  ASSERT_EQ(FindProfile("b")->childProfiles.size(), 1u);
  EXPECT_EQ(FindProfile("b")->childProfiles[0]->zoom, 2.0f);
}

}  // namespace
}  // namespace ui
