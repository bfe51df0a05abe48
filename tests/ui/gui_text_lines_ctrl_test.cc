#include "ui/gui_text_lines_ctrl.h"

#include <gtest/gtest.h>

#include "piece_atlas.h"
#include "ui/dpi_factor.h"
#include "ui/gui_scroll_ctrl.h"

namespace ui {
namespace {

using ui_test::Canvas;

constexpr ArgbColor kCaption = MakeArgb(255, 174, 174, 174);
const char kLongText[] =
    "The server could not be reached. Check the connection to the internet, the proxy settings and "
    "the firewall, then try again. If the problem stays, write down the address shown below and "
    "ask the support team for help with it. The log of this run lies in the client folder; keep it "
    "until the problem is solved.";

// The message page's error box: a text area inside a scroll area.
class TextLinesCtrlTest : public testing::Test {
 protected:
  void SetUp() override {
    SetDpiFactor(1.0);
    scrollTexture = ui_test::MakeTexture(ui_test::ScrollAtlasRows());
    ASSERT_TRUE(scrollTexture);
    scrollProfile.texture = scrollTexture.get();
    scrollProfile.zoom = 0.5f;
    ui_test::SetFonts(textProfile, 12, kCaption, kCaption, kCaption, kCaption);

    area.designX = 69;
    area.designY = 120;
    area.designWidth = 315;
    area.designHeight = 73;
    auto text = std::make_unique<CGuiTextLinesCtrl>();
    text->designWidth = 315;
    text->designHeight = 300;
    text->SetCentered(true);
    lines = static_cast<CGuiTextLinesCtrl*>(area.AddChild(std::move(text)));
    ASSERT_TRUE(area.SetProfile(&scrollProfile, nullptr));
    ASSERT_TRUE(lines->SetProfile(&textProfile, &area));
  }

  void SetText(const std::string& value) {
    lines->text = value;
    lines->TextChanged();
    area.UpdateLayout();
  }

  std::unique_ptr<ThemeTexture> scrollTexture;
  ThemeProfile scrollProfile, textProfile;
  CGuiScrollCtrl area;
  CGuiTextLinesCtrl* lines = nullptr;
};

TEST_F(TextLinesCtrlTest, LongTextWrapsTakesItsHeightAndMakesTheAreaScrollable) {
  SetText(kLongText);
  const CTextLayout& layout = lines->TextLayoutForTest();
  ASSERT_GE(layout.Lines().size(), 3u);
  const int lineHeight = textProfile.fonts[0]->LineHeight();
  EXPECT_EQ(lines->designHeight, static_cast<int>(layout.Lines().size()) * lineHeight);
  for (const auto& line : layout.Lines()) {
    EXPECT_LE(line.width, 315);
    EXPECT_NEAR(line.x, (315 - line.width) / 2, 1.0);  // "align" "center"
  }
  EXPECT_TRUE(area.Scrollable());
  // Bar 6 wide at zoom 0.5; thumb 73 x 73 / content high.
  EXPECT_EQ(area.TrackRect(), (GuiRect{378, 120, 6, 73}));
  EXPECT_EQ(area.ThumbRect().height, 73 * 73 / lines->designHeight);

  // Drawn inside the view only.
  Canvas canvas(452, 371);
  area.Paint(canvas.Cr());
  const GuiRect drawn = canvas.DiffBounds(Canvas(452, 371));
  EXPECT_GE(drawn.y, 120);
  EXPECT_LE(drawn.y + drawn.height, 193);
  EXPECT_GE(drawn.x, 69);
  EXPECT_LE(drawn.x + drawn.width, 384);
}

TEST_F(TextLinesCtrlTest, WheelReachesTheDisabledTextAreaThroughItsScrollArea) {
  SetText(kLongText);
  const GuiPoint overText{150, 150};
  // Not enabled: never the hot control, but the wheel target is the area.
  EXPECT_FALSE(lines->enabled);
  EXPECT_EQ(area.ControlAt(overText), nullptr);
  GuiControl* target = area.WheelTargetAt(overText);
  ASSERT_EQ(target, &area);
  target->OnWheel(-120);
  EXPECT_EQ(area.ContentOffset(), -5);
  EXPECT_EQ(lines->screenY, 115);
  // A turn handed to the text area itself goes on to its container.
  lines->OnWheel(-120);
  EXPECT_EQ(area.ContentOffset(), -10);
  for (int i = 0; i < 100; ++i) target->OnWheel(-120);
  EXPECT_EQ(area.ContentOffset(), 73 - lines->screenHeight);
  EXPECT_EQ(area.ThumbRect().y + area.ThumbRect().height, 193);

  // Dragging the thumb back to the top of the track scrolls back with it.
  const GuiRect thumb = area.ThumbRect();
  EXPECT_EQ(area.ControlAt({thumb.x + 2, thumb.y + 2}), &area);
  area.OnLButtonDown({thumb.x + 2, thumb.y + 2});
  area.OnMouseMove({thumb.x + 2, thumb.y + 2 - thumb.y + 120});
  EXPECT_EQ(area.ThumbRect().y, 120);
  EXPECT_EQ(area.ContentOffset(), 0);
  EXPECT_EQ(lines->screenY, 120);
  area.OnLButtonUp({thumb.x + 2, 120});

  // New text (a language switch): measured again, back at the top.
  target->OnWheel(-120);
  ASSERT_EQ(area.ContentOffset(), -5);
  SetText(std::string(kLongText) + " " + kLongText);
  EXPECT_EQ(area.ContentOffset(), 0);
  EXPECT_EQ(area.ThumbRect().y, 120);
  EXPECT_EQ(lines->screenY, 120);
}

TEST_F(TextLinesCtrlTest, TextThatFitsDoesNotScroll) {
  SetText("Done.");
  EXPECT_EQ(lines->designHeight, textProfile.fonts[0]->LineHeight());
  EXPECT_FALSE(area.Scrollable());
  area.WheelTargetAt({150, 150})->OnWheel(-120);
  EXPECT_EQ(area.ContentOffset(), 0);
  Canvas canvas(452, 371);
  area.Paint(canvas.Cr());
  EXPECT_EQ(canvas.Count({378, 120, 6, 73}, ui_test::PieceColor(6)), 0);
  EXPECT_EQ(canvas.Count({378, 120, 6, 73}, ui_test::PieceColor(42)), 0);
}

}  // namespace
}  // namespace ui
