#include "ui/gui_progress_ctrl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "ui/control_fixture.h"
#include "ui/gui_bitmap_border_ctrl.h"
#include "ui/gui_bitmap_border_step_ctrl.h"
#include "ui/gui_bitmap_ctrl.h"
#include "ui/gui_progress_wait_ctrl.h"
#include "ui/theme_profile.h"

namespace ui {
namespace {

using ui_testing::Canvas;
using ui_testing::DpiScope;
using ui_testing::MakeTexture;
using ui_testing::PieceSpec;

constexpr ArgbColor kFill = MakeArgb(255, 0, 200, 0);
constexpr ArgbColor kTrack = MakeArgb(255, 90, 90, 90);

// Progress texture: fill pieces 0 to 2 above track pieces 3 to 5, 6 x 12.
std::unique_ptr<ThemeTexture> ProgressTexture() {
  const PieceSpec fill{6, 12, kFill};
  const PieceSpec track{6, 12, kTrack};
  return MakeTexture({{fill, fill, fill}, {track, track, track}});
}

class ProgressTest : public ::testing::Test {
 protected:
  DpiScope baseDpi{1.0};  // before SetUp lays anything out

  void SetUp() override {
    texture = ProgressTexture();
    ASSERT_TRUE(texture);
    ASSERT_EQ(texture->Count(), 6u);
    profile.texture = texture.get();
    profile.zoom = 3.0f;  // not used by the bars
  }

  // Paints a bar `width` wide at (0, 0) and returns the filled width seen.
  int PaintedFill(CGuiProgressCtrl& bar, int width) {
    bar.SetDesignSize(width, 6);
    Canvas canvas(width + 10, 10);
    bar.Paint(canvas.cr());
    EXPECT_EQ(canvas.BoundsOf(kTrack, 4).Empty(), bar.FillWidth() == width);
    const GuiRect fill = canvas.BoundsOf(kFill, 4);
    return fill.Empty() ? 0 : fill.width;
  }

  std::unique_ptr<ThemeTexture> texture;
  ThemeProfile profile;
};

TEST_F(ProgressTest, FillRevealsTheExactShareOfTheWidth) {
  struct Case {
    float percent;
    int width;
    int fill;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {
      {75, 360, 270}, {37.5f, 200, 75}, {0, 360, 0},   {100, 360, 360}, {-5, 360, 0},
      {150, 360, 360}, {nan, 360, 0},   {33.3f, 300, 99}, {0.1f, 360, 0},
  };
  for (const Case& c : cases) {
    CGuiProgressCtrl bar;
    ASSERT_TRUE(bar.SetProfile(&profile, nullptr));
    bar.SetPercent(c.percent);
    bar.SetDesignSize(c.width, 6);
    EXPECT_EQ(bar.FillWidth(), c.fill) << c.percent << "% of " << c.width;
    EXPECT_EQ(PaintedFill(bar, c.width), c.fill) << c.percent << "% of " << c.width;
  }
}

TEST_F(ProgressTest, BarsAndPicturesAreNeverHotButTheFormIs) {
  CGuiBitmapBorderStepCtrl form;
  form.designWidth = 400;
  form.designHeight = 100;
  ASSERT_TRUE(form.SetProfile(&profile, nullptr));
  auto add = [&](std::unique_ptr<GuiControl> c) {
    GuiControl* raw = form.AddChild(std::move(c));
    raw->SetDesignSize(100, 50);
    EXPECT_TRUE(raw->SetProfile(&profile, &form));
    EXPECT_FALSE(raw->enabled);
    EXPECT_EQ(form.ControlAt({10, 10}), &form);
    form.children.pop_back();
  };
  add(std::make_unique<CGuiProgressCtrl>());
  add(std::make_unique<CGuiProgressWaitCtrl>());
  add(std::make_unique<CGuiBitmapCtrl>());
  add(std::make_unique<CGuiBitmapBorderCtrl>());
  EXPECT_TRUE(form.enabled);
}

TEST_F(ProgressTest, WaitingBlockSwingsRightAndBackInFiveSeconds) {
  CGuiProgressWaitCtrl bar;
  ASSERT_TRUE(bar.SetProfile(&profile, nullptr));
  bar.SetDesignSize(360, 6);
  Canvas canvas(400, 10);
  bar.PaintAt(canvas.cr(), 70000);  // the first paint starts the animation
  ASSERT_TRUE(bar.animationStart.has_value());
  EXPECT_EQ(canvas.BoundsOf(kFill, 4), (GuiRect{0, 0, 100, 6}));
  struct Case {
    std::uint64_t after;
    int left;
  };
  const Case cases[] = {{1250, 130}, {2500, 260}, {3750, 130}, {5000, 0}, {7500, 260}, {12500, 260}};
  for (const Case& c : cases) {
    canvas.Clear();
    bar.PaintAt(canvas.cr(), 70000 + c.after);
    EXPECT_EQ(canvas.BoundsOf(kFill, 4), (GuiRect{c.left, 0, 100, 6})) << c.after << " ms";
    EXPECT_FALSE(canvas.BoundsOf(kTrack, 4).Empty());
  }
  EXPECT_EQ(*bar.animationStart, 70000u);  // never resets
  // The block is 100 design pixels wide.
  DpiScope dpi(1.5);
  bar.Layout();
  EXPECT_EQ(bar.BlockRect(70000 + 2500), (GuiRect{540 - 150, 0, 150, 9}));
}

TEST_F(ProgressTest, PictureStretchesItsWholeImageAndHidesCompletely) {
  // One blob (a single piece has no frame).
  constexpr ArgbColor kRed = MakeArgb(255, 220, 0, 0);
  auto picture = MakeTexture({{{4, 4, kRed}}});
  ASSERT_TRUE(picture);
  ASSERT_EQ(picture->Count(), 1u);
  ThemeProfile pictureProfile;
  pictureProfile.texture = picture.get();
  CGuiBitmapCtrl bitmap;
  bitmap.SetDesignPosition(5, 5);
  bitmap.SetDesignSize(40, 20);
  ASSERT_TRUE(bitmap.SetProfile(&pictureProfile, nullptr));
  Canvas canvas(60, 40);
  bitmap.Paint(canvas.cr());
  EXPECT_EQ(canvas.BoundsOf(kRed, 4), (GuiRect{5, 5, 40, 20}));
  EXPECT_EQ(canvas.CountPainted(), 800);

  canvas.Clear();
  bitmap.visible = false;
  bitmap.Paint(canvas.cr());
  EXPECT_EQ(canvas.CountPainted(), 0);
}

TEST_F(ProgressTest, FramedPanelDrawsItsNinePiecesBehindItsChildren) {
  constexpr ArgbColor kEdge = MakeArgb(255, 200, 200, 0);
  constexpr ArgbColor kCentre = MakeArgb(255, 0, 0, 200);
  const PieceSpec e{8, 8, kEdge};
  auto nine = MakeTexture({{e, e, e}, {e, {8, 8, kCentre}, e}, {e, e, e}});
  ASSERT_TRUE(nine);
  ThemeProfile panelProfile;
  panelProfile.texture = nine.get();
  panelProfile.zoom = 0.5f;
  CGuiBitmapBorderCtrl panel;
  panel.SetDesignPosition(10, 10);
  panel.SetDesignSize(60, 40);
  ASSERT_TRUE(panel.SetProfile(&panelProfile, nullptr));
  auto bar = std::make_unique<CGuiProgressCtrl>();
  bar->SetDesignPosition(10, 10);
  bar->SetDesignSize(30, 6);
  ASSERT_TRUE(bar->SetProfile(&profile, &panel));
  bar->SetPercent(100);
  panel.AddChild(std::move(bar));
  Canvas canvas(80, 60);
  panel.Paint(canvas.cr());
  EXPECT_EQ(canvas.BoundsOf(kEdge, 4), (GuiRect{10, 10, 60, 40}));
  EXPECT_EQ(canvas.BoundsOf(kCentre, 4), (GuiRect{14, 14, 52, 32}));
  EXPECT_EQ(canvas.BoundsOf(kFill, 4), (GuiRect{20, 20, 30, 6}));
}

TEST(GuiFormTest, SizeSwitchUsesTheFourSizesAndIgnoresOtherIndexes) {
  DpiScope baseDpi(1.0);
  ThemeProfile profile;
  CGuiBitmapBorderStepCtrl form;
  form.SetDesignSize(451, 371);  // the "size" attribute
  form.SetSize(0, {452, 303});   // only "size0" given
  ASSERT_TRUE(form.SetProfile(&profile, nullptr));
  auto child = std::make_unique<CGuiBitmapCtrl>();
  child->SetDesignPosition(45, 42);
  child->SetDesignSize(138, 53);
  GuiControl* logo = form.AddChild(std::move(child));
  ASSERT_TRUE(logo->SetProfile(&profile, &form));

  // Until a size is applied the "size" attribute stays, even through Relayout.
  form.Relayout();
  EXPECT_EQ(form.ScreenRect(), (GuiRect{0, 0, 451, 371}));

  EXPECT_TRUE(form.ApplySize(0));
  EXPECT_EQ(form.ScreenRect(), (GuiRect{0, 0, 452, 303}));
  EXPECT_TRUE(form.ApplySize(1));  // never given: 0 x 0
  EXPECT_EQ(form.sizeIndex, 1);
  EXPECT_EQ(form.ScreenRect(), (GuiRect{0, 0, 0, 0}));
  EXPECT_FALSE(form.ApplySize(4));
  EXPECT_FALSE(form.ApplySize(-1));
  EXPECT_EQ(form.sizeIndex, 1);
  form.SetSize(7, {1, 1});  // ignored
  EXPECT_TRUE(form.ApplySize(0));

  // After a DPI change Relayout keeps the applied size and scales it.
  {
    DpiScope dpi(1.5);
    form.Relayout();
    EXPECT_EQ(form.ScreenRect(), (GuiRect{0, 0, 678, 454}));
    EXPECT_EQ(logo->ScreenRect(), (GuiRect{67, 63, 207, 79}));
    // The window's list shift moves the form's content down.
    form.SetDesignOffsetY(20);
    EXPECT_EQ(form.screenY, 30);
    EXPECT_EQ(logo->screenY, 93);
  }
}

TEST(GuiFormTest, TransparentPartsOfTheFormStillHitIt) {
  DpiScope baseDpi(1.0);
  // A form skin whose centre is fully transparent.
  const PieceSpec e{4, 4, MakeArgb(255, 50, 50, 50)};
  auto nine = MakeTexture({{e, e, e}, {e, {4, 4, 0}, e}, {e, e, e}});
  ASSERT_TRUE(nine);
  ThemeProfile profile;
  profile.texture = nine.get();
  CGuiBitmapBorderStepCtrl form;
  form.SetDesignSize(100, 100);
  ASSERT_TRUE(form.SetProfile(&profile, nullptr));
  Canvas canvas(100, 100);
  form.Paint(canvas.cr());
  EXPECT_EQ(canvas.At(50, 50), 0u);
  EXPECT_EQ(form.ControlAt({50, 50}), &form);
}

}  // namespace
}  // namespace ui
