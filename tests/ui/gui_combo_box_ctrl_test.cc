#include "ui/gui_combo_box_ctrl.h"

#include <gtest/gtest.h>

#include "piece_atlas.h"
#include "ui/dpi_factor.h"
#include "ui/gui_keys.h"

namespace ui {
namespace {

using ui_test::Canvas;
using ui_test::PieceColor;

constexpr ArgbColor kWhite = MakeArgb(255, 255, 255, 255);
constexpr ArgbColor kHot = MakeArgb(255, 97, 97, 97);
constexpr ArgbColor kSelected = MakeArgb(255, 211, 211, 211);

TEST(ComboListPlacementTest, BelowAboveOrKeptOnTheScreen) {
  // Box at window y 53, 36 high; list 254 high; gaps -6 below, -10 above.
  const struct {
    const char* name;
    ComboPlacement placement;
    int expected;
  } cases[] = {
      {"room below the window", {{0, 0, 1920, 1080}, {100, 100, 452, 240}, 740}, 30},
      {"no room below: above", {{0, 0, 1920, 1080}, {100, 840, 452, 240}, 0}, -244},
      {"neither: bottom on the screen's", {{0, 0, 1920, 1080}, {100, 50, 452, 240}, 0}, -67},
      {"taller than the screen: top on it", {{0, 0, 1920, 200}, {100, 0, 452, 200}, 0}, -53},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ChooseComboListOffsetY(53, 36, 254, -6, -10, &c.placement), c.expected);
  }
  EXPECT_EQ(ChooseComboListOffsetY(53, 36, 254, -6, -10, nullptr), 30);
}

class ComboBoxCtrlTest : public testing::Test {
 protected:
  void SetUp() override {
    SetDpiFactor(1.0);
    boxTexture = ui_test::MakeTexture(ui_test::RepeatRows({{24, 72}, {1, 72}, {56, 72}}, 4));
    dropTexture = ui_test::MakeTexture({{{20, 12}, {6, 12}, {20, 12}}, {{20, 184}, {6, 184}, {20, 184}},
                                        {{20, 28}, {6, 28}, {20, 28}}});
    flagTexture = ui_test::MakeTexture(ui_test::RepeatRows({{4, 3}}, 7));
    ASSERT_TRUE(boxTexture && dropTexture && flagTexture);
    ASSERT_EQ(boxTexture->Count(), 12u);
    ASSERT_EQ(dropTexture->Count(), 9u);

    dropProfile.texture = dropTexture.get();
    dropProfile.zoom = 0.5f;
    ui_test::SetFonts(dropProfile, 12, kWhite, kWhite, kWhite, kWhite);
    flagProfile.texture = flagTexture.get();
    boxProfile.texture = boxTexture.get();
    boxProfile.textOffset = {11, 9};
    ui_test::SetFonts(boxProfile, 12, kWhite, kWhite, kWhite, kWhite);
    boxProfile.childProfiles = {&dropProfile, &flagProfile};

    // The embedded theme's language box.
    box.designX = 262;
    box.designY = 53;
    box.designWidth = 148;
    box.designHeight = 36;
    box.id = 12366;
    box.SetFlagOffset({8, 6});
    box.SetListElementHeight(28);
    box.SetListElementsBorder({6, 12, 6, 18});
    box.SetColorElement(MakeArgb(0, 255, 255, 255));
    box.SetColorElementSEL(kSelected);
    box.SetColorElementHL(kHot);
    box.SetListElementTextOffset({9, 7});
    box.SetListBorder({-2, -6, -2, -10});
    box.commandNotify = [this](int commandId) { commands.push_back(commandId); };
    box.focusNotify = [this](GuiControl* c) { focuses.push_back(c); };
    box.SetOpenCloseCallback([this](int opened) { hooks.push_back(opened); });
    box.SetPlacementCallback([this] { return placement; });
    ASSERT_TRUE(box.SetProfile(&boxProfile, nullptr));
  }

  void TearDown() override { SetDpiFactor(1.0); }

  void AddLanguages(int count) {
    static const char* const kNames[] = {"English", "Deutsch", "Fran\xC3\xA7" "ais", "Espa\xC3\xB1ol",
                                         "Polski", "Italiano", "Portugu\xC3\xAAs", "T\xC3\xBCrk\xC3\xA7" "e"};
    box.ClearItems();
    for (int i = 0; i < count; ++i) box.AddItem(12367 + i, kNames[i % 8]);
  }
  GuiPoint Centre(const GuiRect& r) { return {r.x + r.width / 2, r.y + r.height / 2}; }

  std::unique_ptr<ThemeTexture> boxTexture, dropTexture, flagTexture;
  ThemeProfile boxProfile, dropProfile, flagProfile;
  CGuiComboBoxCtrl box;
  ComboPlacement placement{{0, 0, 1920, 1080}, {100, 100, 452, 240}, 740};
  std::vector<int> commands;
  std::vector<int> hooks;
  std::vector<GuiControl*> focuses;
};

TEST_F(ComboBoxCtrlTest, StateImagesCarryTheCaptionAtTheTextOffset) {
  const GuiRect boxRect{262, 53, 148, 36};
  Canvas blank(452, 240);
  box.Paint(blank.Cr());
  // Three-piece skin at k = 36 / 72: left 12, right 28 wide.
  EXPECT_EQ(blank.BoundsOf(PieceColor(0)), (GuiRect{262, 53, 12, 36}));
  EXPECT_EQ(blank.BoundsOf(PieceColor(1)), (GuiRect{274, 53, 108, 36}));
  EXPECT_EQ(blank.BoundsOf(PieceColor(2)), (GuiRect{382, 53, 28, 36}));

  box.text = "English";
  box.TextChanged();
  Canvas caption(452, 240);
  box.Paint(caption.Cr());
  const GuiRect text = caption.DiffBounds(blank);
  ASSERT_FALSE(text.Empty());
  EXPECT_GE(text.x, 262 + 11);
  EXPECT_LE(text.x, 262 + 11 + 2);
  EXPECT_GE(text.y, 53 + 9);
  EXPECT_LT(text.y + text.height, 53 + 36);

  const struct {
    bool enabled, open, hover;
    size_t leftPiece;
  } states[] = {{true, false, true, 3}, {true, true, false, 6}, {false, false, true, 9}};
  for (const auto& s : states) {
    SCOPED_TRACE(s.leftPiece);
    box.enabled = s.enabled;
    box.open = s.open;
    box.hover = s.hover;
    Canvas canvas(452, 240);
    box.Paint(canvas.Cr());
    EXPECT_EQ(canvas.At(boxRect.x, boxRect.y), PieceColor(s.leftPiece));
  }
}

TEST_F(ComboBoxCtrlTest, OpensBelowHoversAndSelectsByMouseCallingTheHook) {
  AddLanguages(3);
  box.SetSelectedIndex(0);
  box.OnMouseMove(Centre(box.ScreenRect()));
  EXPECT_TRUE(box.hover);
  box.OnLButtonUp(Centre(box.ScreenRect()));
  ASSERT_TRUE(box.IsOpen());
  EXPECT_EQ(hooks, (std::vector<int>{1}));
  EXPECT_EQ(focuses, (std::vector<GuiControl*>{&box}));
  // Below the box: 36 - 6 down, 2 wider on each side, 12 + 3 x 28 + 18 high.
  EXPECT_EQ(box.ListOffsetY(), 30);
  EXPECT_EQ(box.ListRect(), (GuiRect{260, 83, 152, 114}));
  EXPECT_EQ(box.ItemRect(0), (GuiRect{266, 95, 140, 28}));
  EXPECT_EQ(box.ItemRect(2), (GuiRect{266, 151, 140, 28}));
  EXPECT_TRUE(box.HitTest(261, 190));  // the list belongs to the box while open

  box.OnMouseMove(Centre(box.ItemRect(1)));
  EXPECT_EQ(box.HotIndex(), 1);
  Canvas canvas(452, 240);
  box.Paint(canvas.Cr());
  // Nine-piece list: corners 10 x 6 and 10 x 14 at zoom 0.5.
  EXPECT_EQ(canvas.At(260, 83), PieceColor(0));
  EXPECT_EQ(canvas.At(411, 196), PieceColor(8));
  // Hot row in the hot colour, selected row in the selected colour, the
  // other with the transparent normal colour over the list's centre.
  EXPECT_GT(canvas.Count(box.ItemRect(1), kHot), 140 * 28 / 2);
  EXPECT_GT(canvas.Count(box.ItemRect(0), kSelected), 140 * 28 / 2);
  EXPECT_GT(canvas.Count(box.ItemRect(2), PieceColor(4)), 120 * 28 / 2);
  // Item texts start at the item text offset.
  box.ClearItems();
  for (int i = 0; i < 3; ++i) box.AddItem(12367 + i, "");
  box.OnMouseMove(Centre(box.ItemRect(1)));
  Canvas noText(452, 240);
  box.Paint(noText.Cr());
  const GuiRect texts = canvas.DiffBounds(noText);
  ASSERT_FALSE(texts.Empty());
  EXPECT_GE(texts.x, 266 + 9);
  EXPECT_LE(texts.x, 266 + 9 + 2);
  EXPECT_GE(texts.y, 95 + 7);
  EXPECT_LT(texts.y + texts.height, 151 + 28);

  box.OnLButtonUp(Centre(box.ItemRect(2)));
  EXPECT_EQ(box.SelectedIndex(), 2);
  EXPECT_EQ(box.KeyAt(2), 12369);
  EXPECT_EQ(commands, (std::vector<int>{12366}));
  EXPECT_FALSE(box.IsOpen());
  EXPECT_EQ(box.HotIndex(), -1);
  EXPECT_EQ(hooks, (std::vector<int>{1, 0}));
  EXPECT_TRUE(box.ListRect().Empty());
  EXPECT_FALSE(box.HitTest(261, 190));
}

TEST_F(ComboBoxCtrlTest, OpensUpwardsWithoutRoomBelowAndDrawsThere) {
  AddLanguages(8);
  placement = {{0, 0, 1920, 1080}, {100, 840, 452, 240}, 0};
  box.SetOpen(true);
  EXPECT_EQ(box.ListOffsetY(), -244);
  const GuiRect list = box.ListRect();
  EXPECT_EQ(list, (GuiRect{260, 53 - 244, 152, 254}));
  // The window grows upwards by the list's overhang (shown here by a
  // translation) and the list is drawn above the box.
  Canvas canvas(452, 500);
  cairo_translate(canvas.Cr(), 0, 244);
  box.Paint(canvas.Cr());
  EXPECT_EQ(canvas.At(260, 53), PieceColor(0));
  EXPECT_EQ(canvas.At(411, 53 + 253), PieceColor(8));
  EXPECT_EQ(box.ItemAt(Centre(box.ItemRect(7))), 7);
  box.SetOpen(true);  // no change, no second call
  EXPECT_EQ(hooks, (std::vector<int>{1}));
}

TEST_F(ComboBoxCtrlTest, KeysMoveTheHotItemAndPickIt) {
  AddLanguages(3);
  box.OnKeyDown(eGuiKey_Down, 0);  // closed: nothing
  EXPECT_EQ(box.HotIndex(), -1);
  box.SetSelectedIndex(1);
  box.SetOpen(true);
  box.OnKeyDown(eGuiKey_Down, 0);
  EXPECT_EQ(box.HotIndex(), 2);
  box.OnKeyDown(eGuiKey_Down, 0);
  EXPECT_EQ(box.HotIndex(), 2);
  box.OnKeyDown(eGuiKey_Up, 0);
  box.OnKeyDown(eGuiKey_Up, 0);
  box.OnKeyDown(eGuiKey_Up, 0);
  EXPECT_EQ(box.HotIndex(), 0);
  box.OnKeyDown(eGuiKey_Return, 0);
  EXPECT_EQ(box.SelectedIndex(), 0);
  EXPECT_EQ(commands, (std::vector<int>{12366}));
  EXPECT_FALSE(box.IsOpen());
  box.SetOpen(true);
  box.OnKeyDown(eGuiKey_Escape, 0);
  EXPECT_FALSE(box.IsOpen());
  EXPECT_EQ(commands.size(), 1u);
}

TEST_F(ComboBoxCtrlTest, FlagIsTheWholeFramedPieceAtTheFlagOffset) {
  Canvas noFlag(452, 240);
  box.Paint(noFlag.Cr());
  // Piece 5's colour is not one the closed box shows.
  box.SetFlagIndex(5);
  Canvas canvas(452, 240);
  box.Paint(canvas.Cr());
  EXPECT_EQ(canvas.BoundsOf(PieceColor(5)), (GuiRect{270, 59, 6, 5}));
  EXPECT_EQ(canvas.DiffBounds(noFlag), (GuiRect{270, 59, 6, 5}));
  // Beyond the flag texture's pieces, or without a flag profile: no flag.
  for (int index : {7, 1000}) {
    SCOPED_TRACE(index);
    box.SetFlagIndex(index);
    Canvas none(452, 240);
    box.Paint(none.Cr());
    EXPECT_TRUE(none.DiffBounds(noFlag).Empty());
  }
  boxProfile.childProfiles = {&dropProfile};
  ASSERT_TRUE(box.SetProfile(&boxProfile, nullptr));
  box.SetFlagIndex(5);
  Canvas none(452, 240);
  box.Paint(none.Cr());
  EXPECT_TRUE(none.DiffBounds(noFlag).Empty());
}

TEST_F(ComboBoxCtrlTest, NoItemsOrSelectionOutOfRangeIsSafe) {
  box.SetSelectedIndex(5);
  box.OnLButtonUp(Centre(box.ScreenRect()));
  ASSERT_TRUE(box.IsOpen());
  EXPECT_EQ(box.ListRect().height, 12 + 18);
  EXPECT_EQ(box.ItemAt(Centre(box.ListRect())), -1);
  box.OnKeyDown(eGuiKey_Down, 0);
  box.OnKeyDown(eGuiKey_Return, 0);
  EXPECT_TRUE(commands.empty());
  EXPECT_EQ(box.KeyAt(0), -1);
  box.SetOpen(true);
  AddLanguages(2);
  box.SetSelectedIndex(7);
  Canvas canvas(452, 240);
  box.Paint(canvas.Cr());
  EXPECT_EQ(canvas.Count({0, 0, 452, 240}, kSelected), 0);
  box.OnLButtonUp(Centre(box.ScreenRect()));  // a click on the box closes it
  EXPECT_FALSE(box.IsOpen());
  EXPECT_EQ(box.SelectedIndex(), 7);
}

TEST_F(ComboBoxCtrlTest, ListGeometryScalesWithTheDpiFactor) {
  SetDpiFactor(1.25);
  box.Relayout();
  AddLanguages(3);
  box.SetOpen(true);
  EXPECT_EQ(box.ScreenRect(), (GuiRect{327, 66, 185, 45}));
  EXPECT_EQ(box.ListRect(), (GuiRect{325, 104, 190, 142}));
  EXPECT_EQ(box.ItemRect(0), (GuiRect{332, 119, 176, 35}));
  EXPECT_EQ(box.ItemRect(2), (GuiRect{332, 189, 176, 35}));
}

}  // namespace
}  // namespace ui
