#include "ui/gui_tool_tip_ctrl.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ui/control_fixture.h"
#include "ui/theme_profile.h"

namespace ui {
namespace {

using ui_testing::Canvas;
using ui_testing::DpiScope;
using ui_testing::MakeTexture;
using ui_testing::PieceSpec;
using ui_testing::TestFont;

constexpr ArgbColor kBack = MakeArgb(255, 30, 30, 60);
constexpr ArgbColor kText = MakeArgb(255, 255, 255, 255);

class ToolTipTest : public ::testing::Test {
 protected:
  DpiScope baseDpi{1.0};  // before SetUp lays anything out

  void SetUp() override {
    const PieceSpec p{4, 4, kBack};
    texture = MakeTexture({{p, p, p}, {p, p, p}, {p, p, p}});
    ASSERT_TRUE(texture);
    profile.texture = texture.get();
    profile.zoom = 0.5f;
    profile.textBorder = {12, 8, 12, 14};
    profile.fontSpecs[fsNormal].color = kText;
    ASSERT_TRUE(tip.SetProfile(&profile, nullptr));
    tip.text = "Portable installation: nothing is registered";
    tip.TextChanged();
  }

  std::unique_ptr<ThemeTexture> texture;
  ThemeProfile profile;
  CGuiToolTipCtrl tip;
};

TEST_F(ToolTipTest, FollowsTheMouseDuringTheDelayAndShowsOnlyAfterIt) {
  EXPECT_EQ(tip.showDelay, 500u);
  tip.Restart(10000);
  tip.Move({50, 40}, 10000);
  EXPECT_EQ(tip.position, (GuiPoint{62, 48}));
  tip.Move({60, 45}, 10499);
  EXPECT_EQ(tip.position, (GuiPoint{72, 53}));

  Canvas canvas(400, 200);
  tip.PaintAt(canvas.cr(), 10499);
  EXPECT_EQ(canvas.CountPainted(), 0);

  // From 500 ms on it stays where it is and is drawn.
  tip.Move({200, 150}, 10500);
  EXPECT_EQ(tip.position, (GuiPoint{72, 53}));
  tip.PaintAt(canvas.cr(), 10500);
  const GuiRect drawn = canvas.BoundsOf(kBack, 4);
  EXPECT_EQ(drawn.x, 72);
  EXPECT_EQ(drawn.y, 53);
  EXPECT_EQ(drawn, tip.TipRect());
  // Without a font the tip is just its borders.
  EXPECT_EQ(tip.TipRect().width, 24);
  EXPECT_EQ(tip.TipRect().height, 22);

  // Entering the control again restarts the delay.
  tip.Restart(20000);
  tip.Move({10, 10}, 20100);
  EXPECT_EQ(tip.position, (GuiPoint{22, 18}));
  EXPECT_FALSE(tip.Shown(20499));
  EXPECT_TRUE(tip.Shown(20500));
}

TEST_F(ToolTipTest, InvisibleTipIsNeverDrawn) {
  tip.visible = false;
  tip.Restart(0);
  Canvas canvas(100, 100);
  tip.PaintAt(canvas.cr(), 5000);
  EXPECT_EQ(canvas.CountPainted(), 0);
}

TEST_F(ToolTipTest, SizeIsTheTextPlusTheScaledBordersAndFollowsTextChanges) {
  FontPtr font = TestFont(11);
  if (!font) GTEST_SKIP() << "fonts-roboto is not installed";
  profile.fonts[fsNormal] = font;
  DpiScope dpi(1.5);
  tip.Restart(0);
  tip.Move({0, 0}, 0);
  EXPECT_EQ(tip.position, (GuiPoint{18, 12}));
  Canvas canvas(600, 200);
  tip.PaintAt(canvas.cr(), 600);
  const TextSize size = MeasureText(font, tip.text);
  EXPECT_NEAR(tip.TipRect().width, size.width + 36, 1.0);
  EXPECT_NEAR(tip.TipRect().height, size.height + 33, 1.0);
  // The text is inside the borders.
  const GuiRect text = canvas.BoundsOf(kText, 60);
  ASSERT_FALSE(text.Empty());
  EXPECT_GE(text.x, 18 + 18);
  EXPECT_GE(text.y, 12 + 12);
  EXPECT_LE(text.x + text.width, tip.TipRect().x + tip.TipRect().width - 18 + 1);

  const int wide = tip.TipRect().width;
  tip.text = "Short";
  tip.TextChanged();
  tip.PaintAt(canvas.cr(), 700);
  EXPECT_LT(tip.TipRect().width, wide);
}

}  // namespace
}  // namespace ui
