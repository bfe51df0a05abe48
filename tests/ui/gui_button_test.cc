#include "ui/gui_button_ctrl.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ui/control_fixture.h"
#include "ui/gui_bitmap_border_step_ctrl.h"
#include "ui/gui_check_box_ctrl.h"
#include "ui/theme_profile.h"

namespace ui {
namespace {

using ui_testing::Canvas;
using ui_testing::DpiScope;
using ui_testing::MakeTexture;
using ui_testing::MakeThreeSliceTexture;
using ui_testing::PieceSpec;
using ui_testing::SurfacePixel;
using ui_testing::TestFont;

constexpr ArgbColor kNormal = MakeArgb(255, 200, 0, 0);
constexpr ArgbColor kHover = MakeArgb(255, 0, 200, 0);
constexpr ArgbColor kPressed = MakeArgb(255, 0, 0, 200);
constexpr ArgbColor kDisabled = MakeArgb(255, 100, 100, 100);

// A form with one button at (10, 10), 40 x 16 design pixels, whose skin has
// transparent corners.
class ButtonTest : public ::testing::Test {
 protected:
  DpiScope baseDpi{1.0};  // before SetUp lays anything out

  void SetUp() override {
    const ArgbColor colours[4] = {kNormal, kHover, kPressed, kDisabled};
    texture = MakeThreeSliceTexture(colours, 4, 8, /*clearCorners=*/true);
    ASSERT_TRUE(texture);
    buttonProfile.texture = texture.get();
    form.designWidth = 100;
    form.designHeight = 50;
    ASSERT_TRUE(form.SetProfile(&formProfile, nullptr));
    auto owned = std::make_unique<CGuiButtonCtrl>();
    button = owned.get();
    button->SetDesignPosition(10, 10);
    button->SetDesignSize(40, 16);
    button->id = 12354;
    ASSERT_TRUE(button->SetProfile(&buttonProfile, &form));
    form.AddChild(std::move(owned));
    form.InstallNotifications(nullptr, nullptr, [this](int id) { commands.push_back(id); });
  }

  ArgbColor Painted() {
    Canvas canvas(100, 50);
    button->Paint(canvas.cr());
    return canvas.At(30, 18);
  }

  std::unique_ptr<ThemeTexture> texture;
  ThemeProfile formProfile;
  ThemeProfile buttonProfile;
  CGuiBitmapBorderStepCtrl form;
  CGuiButtonCtrl* button = nullptr;
  std::vector<int> commands;
};

TEST_F(ButtonTest, StatesFollowHoverPressReleaseAndLeave) {
  EXPECT_EQ(Painted(), kNormal);
  button->OnMouseMove({30, 18});
  EXPECT_EQ(Painted(), kHover);
  button->OnLButtonDown({30, 18});
  EXPECT_EQ(Painted(), kPressed);
  EXPECT_TRUE(commands.empty());
  button->OnLButtonUp({30, 18});
  EXPECT_EQ(commands, std::vector<int>{12354});
  EXPECT_EQ(Painted(), kHover);
  // The window delivers the release a second time when the button is also
  // the capturing control: nothing more happens.
  button->OnLButtonUp({30, 18});
  EXPECT_EQ(commands.size(), 1u);
  button->OnMouseLeave();
  EXPECT_EQ(Painted(), kNormal);
}

TEST_F(ButtonTest, PressThenLeaveThenReleaseSendsNoCommand) {
  button->OnMouseMove({30, 18});
  button->OnLButtonDown({30, 18});
  button->OnMouseLeave();
  button->OnLButtonUp({80, 40});
  EXPECT_TRUE(commands.empty());
  EXPECT_FALSE(button->pressed);
  EXPECT_FALSE(button->hover);
}

TEST_F(ButtonTest, TransparentSkinPixelsAreNotPartOfTheButton) {
  EXPECT_EQ(form.ControlAt({30, 18}), button);
  EXPECT_EQ(form.ControlAt({10, 10}), &form);  // transparent corner: the form gets it
  EXPECT_EQ(form.ControlAt({49, 25}), &form);
  EXPECT_EQ(form.ControlAt({12, 12}), button);
  button->visible = false;
  EXPECT_EQ(form.ControlAt({30, 18}), &form);
  EXPECT_EQ(Painted(), 0u);
}

TEST_F(ButtonTest, DisabledButtonIsNeverHotAndShowsItsDisabledState) {
  button->enabled = false;
  EXPECT_EQ(form.ControlAt({30, 18}), &form);
  button->OnMouseMove({30, 18});
  button->OnLButtonDown({30, 18});
  button->OnLButtonUp({30, 18});
  EXPECT_TRUE(commands.empty());
  EXPECT_EQ(Painted(), kDisabled);
}

TEST_F(ButtonTest, SkinWithoutTwelveOrThirtySixPiecesMakesTheButtonInvisible) {
  auto seven = MakeTexture({{{2, 2, kNormal}, {2, 2, kNormal}, {2, 2, kNormal}, {2, 2, kNormal},
                             {2, 2, kNormal}, {2, 2, kNormal}, {2, 2, kNormal}}});
  ThemeProfile profile;
  profile.texture = seven.get();
  ASSERT_TRUE(button->SetProfile(&profile, &form));
  EXPECT_EQ(Painted(), 0u);
  EXPECT_EQ(form.ControlAt({30, 18}), &form);
}

TEST_F(ButtonTest, StateImagesAreBuiltOnceAndRebuiltOnlyWhenTheirInputsChange) {
  // Mark the cached normal image; the mark survives as long as it is not
  // rebuilt.
  constexpr ArgbColor kMark = MakeArgb(255, 1, 2, 3);
  auto mark = [this] {
    cairo_t* cr = cairo_create(button->Images().Image(0));
    cairo_set_source_rgb(cr, 1 / 255.0, 2 / 255.0, 3 / 255.0);
    cairo_rectangle(cr, 20, 8, 1, 1);
    cairo_fill(cr);
    cairo_destroy(cr);
  };
  mark();
  EXPECT_EQ(Painted(), kMark);
  form.Relayout();
  button->Layout();
  EXPECT_EQ(Painted(), kMark);

  button->SetDesignSize(50, 16);  // a new size rebuilds
  EXPECT_EQ(button->Images().Width(), 50);
  EXPECT_EQ(Painted(), kNormal);
  mark();
  {
    DpiScope dpi(1.5);  // a new DPI factor rebuilds at the new screen size
    form.Relayout();
    EXPECT_EQ(button->ScreenRect(), (GuiRect{15, 15, 75, 24}));
    EXPECT_EQ(button->Images().Width(), 75);
    EXPECT_EQ(button->Images().Height(), 24);
  }
  form.Relayout();
  EXPECT_EQ(button->Images().Width(), 50);
  EXPECT_EQ(Painted(), kNormal);
  mark();
  button->text = "x";  // so does a new caption
  button->TextChanged();
  EXPECT_EQ(Painted(), kNormal);
}

TEST_F(ButtonTest, CaptionIsCentredInEveryStateWithThatStatesFontColour) {
  FontPtr font = TestFont(12);
  if (!font) GTEST_SKIP() << "fonts-roboto is not installed";
  // Over the normal (red) and disabled (grey) skins green outweighing blue
  // marks the normal caption (yellow) and blue outweighing green the
  // disabled one (magenta), even where glyph edges blend with the skin.
  constexpr ArgbColor kTextP = MakeArgb(255, 255, 255, 0);
  constexpr ArgbColor kTextN = MakeArgb(255, 255, 0, 255);
  auto greenish = [](ArgbColor c) { return GreenOf(c) - BlueOf(c) > 48; };
  auto bluish = [](ArgbColor c) { return BlueOf(c) - GreenOf(c) > 48; };
  for (int s = 0; s < 4; ++s) buttonProfile.fonts[s] = font;
  buttonProfile.fontSpecs[fsNormal].color = kTextP;
  buttonProfile.fontSpecs[fsHover].color = kTextP;
  buttonProfile.fontSpecs[fsPressed].color = kTextP;
  buttonProfile.fontSpecs[fsDisabled].color = kTextN;
  button->SetDesignSize(80, 30);
  button->text = "Install";
  button->TextChanged();

  Canvas canvas(100, 50);
  button->Paint(canvas.cr());
  const GuiRect text = canvas.BoundsWhere(greenish);
  ASSERT_FALSE(text.Empty());
  const int leftMargin = text.x - 10;
  const int rightMargin = 10 + 80 - (text.x + text.width);
  EXPECT_LE(std::abs(leftMargin - rightMargin), 2) << leftMargin << " / " << rightMargin;
  const int topMargin = text.y - 10;
  const int bottomMargin = 10 + 30 - (text.y + text.height);
  EXPECT_GT(topMargin, 4);
  EXPECT_GT(bottomMargin, 4);
  EXPECT_TRUE(canvas.BoundsWhere(bluish).Empty());

  // textOffset moves it by f x offset; the disabled image carries "fontN"'s colour.
  buttonProfile.textOffset = {6, 0};
  button->BuildSkin();
  button->enabled = false;
  canvas.Clear();
  button->Paint(canvas.cr());
  const GuiRect disabledText = canvas.BoundsWhere(bluish);
  EXPECT_TRUE(canvas.BoundsWhere(greenish).Empty());
  EXPECT_NEAR(disabledText.x, text.x + 6, 1);
  EXPECT_EQ(disabledText.width, text.width);
}

// --- Check box ----------------------------------------------------------

// Eight square pieces in one column, piece i in colour kPiece[i].
constexpr ArgbColor kPiece[8] = {
    MakeArgb(255, 10, 0, 0),  MakeArgb(255, 40, 0, 0),  MakeArgb(255, 70, 0, 0),  MakeArgb(255, 100, 0, 0),
    MakeArgb(255, 130, 0, 0), MakeArgb(255, 160, 0, 0), MakeArgb(255, 190, 0, 0), MakeArgb(255, 220, 0, 0)};

class CheckBoxTest : public ::testing::Test {
 protected:
  DpiScope baseDpi{1.0};  // before SetUp lays anything out

  void SetUp() override {
    std::vector<std::vector<PieceSpec>> rows;
    for (ArgbColor c : kPiece) rows.push_back({{6, 6, c}});
    texture = MakeTexture(rows);
    ASSERT_TRUE(texture);
    ASSERT_EQ(texture->Count(), 8u);
    profile.texture = texture.get();
    profile.textOffset = {24, 2};
    form.designWidth = 200;
    form.designHeight = 100;
    ASSERT_TRUE(form.SetProfile(&formProfile, nullptr));
    auto owned = std::make_unique<CGuiCheckBoxCtrl>();
    box = owned.get();
    box->SetDesignPosition(10, 34);
    box->SetDesignSize(290, 18);
    box->id = 12356;
    ASSERT_TRUE(box->SetProfile(&profile, &form));
    form.AddChild(std::move(owned));
    form.InstallNotifications(nullptr, nullptr, [this](int id) { commands.push_back(id); });
  }

  std::unique_ptr<ThemeTexture> texture;
  ThemeProfile formProfile;
  ThemeProfile profile;
  CGuiBitmapBorderStepCtrl form;
  CGuiCheckBoxCtrl* box = nullptr;
  std::vector<int> commands;
};

TEST_F(CheckBoxTest, PieceAndFontFollowTheState) {
  struct Case {
    bool enabled, checked, pressed, hover;
    int piece;
    int font;
  };
  const Case cases[] = {
      {true, false, false, false, 0, fsNormal},  {true, true, false, false, 1, fsPressed},
      {true, false, true, false, 2, fsHover},    {true, true, true, false, 3, fsPressed},
      {true, false, false, true, 4, fsHover},    {true, true, false, true, 5, fsPressed},
      {true, true, true, true, 3, fsPressed},    {false, true, true, true, 6, fsDisabled},
      {false, false, false, false, 6, fsDisabled},
  };
  for (const Case& c : cases) {
    box->enabled = c.enabled;
    box->checked = c.checked;
    box->pressed = c.pressed;
    box->hover = c.hover;
    EXPECT_EQ(box->PieceIndex(), c.piece);
    EXPECT_EQ(box->FontStateIndex(), c.font);
    Canvas canvas(200, 100);
    box->Paint(canvas.cr());
    // The piece is a square of the box's height at its left edge.
    EXPECT_EQ(canvas.BoundsOf(kPiece[c.piece], 2), (GuiRect{10, 34, 18, 18})) << "piece " << c.piece;
  }
}

TEST_F(CheckBoxTest, EveryReleaseTogglesAndSendsTheCommand) {
  box->OnMouseMove({20, 40});
  box->OnLButtonDown({20, 40});
  EXPECT_TRUE(box->pressed);
  box->OnLButtonUp({20, 40});
  EXPECT_TRUE(box->checked);
  EXPECT_FALSE(box->pressed);
  // Pressed elsewhere, released over the box: it still toggles.
  box->OnLButtonUp({20, 40});
  EXPECT_FALSE(box->checked);
  EXPECT_EQ(commands, (std::vector<int>{12356, 12356}));
  box->OnLButtonDown({20, 40});
  box->OnMouseLeave();
  EXPECT_FALSE(box->pressed);
  EXPECT_FALSE(box->hover);
  // Disabled: not hot, no press, no hover.
  box->enabled = false;
  EXPECT_EQ(form.ControlAt({20, 40}), &form);
  box->OnMouseMove({20, 40});
  box->OnLButtonDown({20, 40});
  EXPECT_FALSE(box->hover);
  EXPECT_FALSE(box->pressed);
}

TEST_F(CheckBoxTest, CaptionSitsAtTheTextOffsetBesideTheBox) {
  DpiScope dpi(1.5);
  form.Relayout();
  const GuiRectF rect = box->CaptionRect();
  EXPECT_DOUBLE_EQ(rect.x, 15 + 1.5 * 24);
  EXPECT_DOUBLE_EQ(rect.y, 51 + 1.5 * 2);
  EXPECT_DOUBLE_EQ(rect.width, 435 - 27);
  EXPECT_DOUBLE_EQ(rect.height, 27);

  FontPtr font = TestFont(18);
  if (!font) GTEST_SKIP() << "fonts-roboto is not installed";
  constexpr ArgbColor kChecked = MakeArgb(255, 0, 255, 0);
  constexpr ArgbColor kUnchecked = MakeArgb(255, 0, 0, 255);
  for (int s = 0; s < 4; ++s) profile.fonts[s] = font;
  profile.fontSpecs[fsNormal].color = kUnchecked;
  profile.fontSpecs[fsPressed].color = kChecked;
  box->text = "Create a desktop icon";
  box->TextChanged();
  box->checked = true;
  Canvas canvas(500, 100);
  box->Paint(canvas.cr());
  const GuiRect text = canvas.BoundsOf(kChecked, 40);
  ASSERT_FALSE(text.Empty());
  EXPECT_GE(text.x, 51);
  EXPECT_LE(text.x, 54);
  EXPECT_TRUE(canvas.BoundsOf(kUnchecked, 40).Empty());
}

}  // namespace
}  // namespace ui
