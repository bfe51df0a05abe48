#include "ui/gui_text_label_ctrl.h"

#include <gtest/gtest.h>

#include "ui/control_fixture.h"
#include "ui/theme_profile.h"

namespace ui {
namespace {

using ui_testing::DpiScope;
using ui_testing::Canvas;
using ui_testing::TestFont;

constexpr ArgbColor kTextP = MakeArgb(255, 174, 174, 174);
constexpr ArgbColor kTextH = MakeArgb(255, 255, 0, 0);

class TextLabelTest : public ::testing::Test {
 protected:
  DpiScope baseDpi{1.0};  // before SetUp lays anything out

  void SetUp() override {
    font = TestFont(12);
    if (!font) GTEST_SKIP() << "fonts-roboto is not installed";
    for (int s = 0; s < 4; ++s) profile.fonts[s] = font;
    profile.fontSpecs[fsNormal].color = kTextP;
    profile.fontSpecs[fsHover].color = kTextH;
    label.SetDesignPosition(40, 92);
    label.SetDesignSize(372, 14);
    ASSERT_TRUE(label.SetProfile(&profile, nullptr));
  }

  GuiRect Ink() {
    Canvas canvas(460, 120);
    label.Paint(canvas.cr());
    return canvas.BoundsWhere([](ArgbColor c) { return AlphaOf(c) > 0; });
  }

  FontPtr font;
  ThemeProfile profile;
  CGuiTextLabelCtrl label;
};

TEST_F(TextLabelTest, DrawsTheNormalFontAtTheTopLeftOrCentred) {
  label.text = "Do you want to uninstall?";
  label.TextChanged();
  const GuiRect left = Ink();
  ASSERT_FALSE(left.Empty());
  EXPECT_LE(left.x, 42);
  EXPECT_GE(left.y, 92);
  EXPECT_LE(left.y + left.height, 92 + 16);
  {
    Canvas canvas(460, 120);
    label.Paint(canvas.cr());
    EXPECT_TRUE(canvas.BoundsOf(kTextH, 60).Empty());  // only "fontP" plays a part
  }

  label.SetCentered(true);  // the factory's align="center"
  const GuiRect centred = Ink();
  const int leftMargin = centred.x - 40;
  const int rightMargin = 40 + 372 - (centred.x + centred.width);
  EXPECT_LE(std::abs(leftMargin - rightMargin), 2);
  EXPECT_EQ(centred.width, left.width);
}

TEST_F(TextLabelTest, OverlongTextEndsInsideTheLabelAndFollowsItsMoves) {
  label.text = std::string(200, 'W');
  label.TextChanged();
  const GuiRect ink = Ink();
  ASSERT_FALSE(ink.Empty());
  EXPECT_GE(ink.x, 40);
  EXPECT_LE(ink.x + ink.width, 40 + 372);
  // Moving the label moves its text without a new TextChanged.
  label.SetDesignPosition(10, 10);
  EXPECT_LE(Ink().x, 12);
}

TEST_F(TextLabelTest, DescendersAreNotCutAtAShortRectangle) {
  // A 14-pixel label with a 14-pixel font: the line is taller than the label.
  FontPtr font14 = TestFont(14);
  for (int s = 0; s < 4; ++s) profile.fonts[s] = font14;
  ASSERT_GT(font14->LineHeight(), 14);
  label.text = "gjpqy";
  label.TextChanged();
  const GuiRect ink = Ink();
  EXPECT_GT(ink.y + ink.height, 92 + 14);
}

TEST_F(TextLabelTest, NothingWithoutTextProfileOrVisibility) {
  EXPECT_TRUE(Ink().Empty());
  label.text = "x";
  label.visible = false;
  EXPECT_TRUE(Ink().Empty());
  CGuiTextLabelCtrl bare;
  bare.text = "x";
  EXPECT_FALSE(bare.SetProfile(nullptr, nullptr));
  Canvas canvas(10, 10);
  bare.Paint(canvas.cr());
  EXPECT_EQ(canvas.CountPainted(), 0);
}

}  // namespace
}  // namespace ui
