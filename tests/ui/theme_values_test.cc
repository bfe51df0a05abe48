#include "ui/theme_values.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace ui {
namespace {

TEST(ThemeValues, ListsSplitOnAnyRunOfCommasAndBlanks) {
  using List = std::vector<std::string_view>;
  EXPECT_EQ(SplitThemeList("1, 2"), (List{"1", "2"}));
  EXPECT_EQ(SplitThemeList("1,,2"), (List{"1", "2"}));
  EXPECT_EQ(SplitThemeList(" ,a  b,, c, "), (List{"a", "b", "c"}));
  EXPECT_EQ(SplitThemeList(""), List{});
  EXPECT_EQ(SplitThemeList(" , "), List{});
}

TEST(ThemeValues, ColoursPairsAndRectangles) {
  struct Case {
    const char* kind;
    const char* value;
    std::optional<uint32_t> colour;  // for "colour"
    std::optional<GuiPoint> pair;    // for "pair"
    std::optional<GuiInsets> rect;   // for "rect"
  };
  const Case cases[] = {
      {"colour", "255, 0, 0", 0xFFFF0000u, {}, {}},
      {"colour", "0,0,255,128", 0x800000FFu, {}, {}},
      {"colour", "97 97 97", 0xFF616161u, {}, {}},
      {"colour", "255 255 255 0", 0x00FFFFFFu, {}, {}},
      {"colour", "211,,211, 211 ,100", 0x64D3D3D3u, {}, {}},
      {"colour", "256 0 -1", 0xFF0000FFu, {}, {}},  // each cut to 8 bits
      {"colour", "255,0", {}, {}, {}},
      {"colour", "1,2,3,4,5", {}, {}, {}},
      {"colour", "1 2 x", {}, {}, {}},
      {"colour", "+1 2 3", {}, {}, {}},
      {"colour", "1 2 3.0", {}, {}, {}},
      {"colour", "1 2 99999999999", {}, {}, {}},
      {"colour", "", {}, {}, {}},
      {"pair", "0,-1", {}, GuiPoint{0, -1}, {}},
      {"pair", "12, 7", {}, GuiPoint{12, 7}, {}},
      {"pair", "24 2", {}, GuiPoint{24, 2}, {}},
      {"pair", ",1,,2,", {}, GuiPoint{1, 2}, {}},
      {"pair", "1", {}, {}, {}},
      {"pair", "1 2 3", {}, {}, {}},
      {"pair", "1 -", {}, {}, {}},
      {"pair", "1 2-", {}, {}, {}},
      {"rect", "12 8 12 14", {}, {}, GuiInsets{12, 8, 12, 14}},
      {"rect", "-2 -6 -2 -10", {}, {}, GuiInsets{-2, -6, -2, -10}},
      {"rect", "6,2,7,6", {}, {}, GuiInsets{6, 2, 7, 6}},
      {"rect", "1 2 3", {}, {}, {}},
      {"rect", "1 2 3 4 5", {}, {}, {}},
      {"rect", "1 2 3 0x4", {}, {}, {}},
  };
  for (const Case& c : cases) {
    const std::string kind = c.kind;
    bool ok = false;
    if (kind == "colour") {
      ArgbColor out = 0x12345678u;
      ok = ParseThemeColor(c.value, out);
      EXPECT_EQ(out, c.colour.value_or(0x12345678u)) << c.value;
      EXPECT_EQ(ok, c.colour.has_value()) << c.value;
    } else if (kind == "pair") {
      GuiPoint out{7, 7};
      ok = ParseThemeListPair(c.value, out);
      EXPECT_EQ(out, c.pair.value_or(GuiPoint{7, 7})) << c.value;
      EXPECT_EQ(ok, c.pair.has_value()) << c.value;
    } else {
      GuiInsets out{7, 7, 7, 7};
      ok = ParseThemeRect(c.value, out);
      EXPECT_EQ(out, c.rect.value_or(GuiInsets{7, 7, 7, 7})) << c.value;
      EXPECT_EQ(ok, c.rect.has_value()) << c.value;
    }
  }
}

// Attribute readers: the XML pair rule for "pt" and "size", bounds for
// design values and zoom.
TEST(ThemeValues, AttributeReadersApplyTheirRuleAndBounds) {
  tinyxml2::XMLDocument document;
  ASSERT_EQ(document.Parse(R"(<e pt="11, 12" ptList="11 12" ptBlankBefore="1 ,2" ptTrailing="1,2 "
       size="300, 30" negSize="-1,5" hugeSize="40000,1" hugePt="-40000,0"
       zoomHalf="0.5" zoomHuge="1e30" zoomZero="0" zoomNan="nan" zoomText="0.5x"
       n="28" nHex="0x10" nHuge="99999"/>)"),
            tinyxml2::XML_SUCCESS);
  const tinyxml2::XMLElement* e = document.RootElement();

  GuiPoint point;
  EXPECT_TRUE(ReadThemePoint(e, "pt", point));
  EXPECT_EQ(point, (GuiPoint{11, 12}));
  for (const char* bad : {"ptList", "ptBlankBefore", "ptTrailing", "hugePt", "missing"}) {
    GuiPoint out{5, 5};
    EXPECT_FALSE(ReadThemePoint(e, bad, out)) << bad;
    EXPECT_EQ(out, (GuiPoint{5, 5})) << bad;
  }
  EXPECT_TRUE(ReadThemeListPair(e, "ptList", point));
  EXPECT_EQ(point, (GuiPoint{11, 12}));

  GuiSize size;
  EXPECT_TRUE(ReadThemeSize(e, "size", size));
  EXPECT_EQ(size, (GuiSize{300, 30}));
  for (const char* bad : {"negSize", "hugeSize"}) EXPECT_FALSE(ReadThemeSize(e, bad, size)) << bad;

  const auto zoomOf = [](const char* value) {
    tinyxml2::XMLDocument d;
    d.Parse((std::string("<p zoom=\"") + value + "\"/>").c_str());
    float zoom = 1.0f;
    return ReadThemeZoom(d.RootElement(), zoom) ? zoom : -1.0f;
  };
  EXPECT_EQ(zoomOf("0.5"), 0.5f);
  EXPECT_EQ(zoomOf("2"), 2.0f);
  for (const char* bad : {"1e30", "0", "-1", "nan", "inf", "0.5x", ""}) EXPECT_EQ(zoomOf(bad), -1.0f) << bad;

  int32_t n = 0;
  EXPECT_TRUE(ReadThemeInt(e, "n", n));
  EXPECT_EQ(n, 28);
  EXPECT_TRUE(ReadThemeInt(e, "nHex", n));
  EXPECT_EQ(n, 16);
  EXPECT_FALSE(ReadThemeInt(e, "nHuge", n));
}

}  // namespace
}  // namespace ui
