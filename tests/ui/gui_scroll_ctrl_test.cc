#include "ui/gui_scroll_ctrl.h"

#include <gtest/gtest.h>

#include "piece_atlas.h"
#include "ui/dpi_factor.h"

namespace ui {
namespace {

using ui_test::Canvas;
using ui_test::PieceColor;

// Content of a fixed height that paints itself in one colour.
class Block : public GuiControl {
 public:
  explicit Block(int height, ArgbColor color = MakeArgb(255, 200, 10, 10)) : m_color(color) {
    designWidth = 80;
    designHeight = height;
  }
  void Paint(cairo_t* cr) override {
    cairo_rectangle(cr, screenX, screenY, screenWidth, screenHeight);
    cairo_set_source_rgba(cr, RedOf(m_color) / 255.0, GreenOf(m_color) / 255.0, BlueOf(m_color) / 255.0, 1);
    cairo_fill(cr);
  }

 private:
  ArgbColor m_color;
};

class ScrollCtrlTest : public testing::Test {
 protected:
  void SetUp() override {
    SetDpiFactor(1.0);
    texture = ui_test::MakeTexture(ui_test::ScrollAtlasRows());
    ASSERT_TRUE(texture);
    ASSERT_EQ(texture->Count(), 57u);
    profile.texture = texture.get();
    profile.zoom = 1.0f;
    area.designX = 10;
    area.designY = 10;
    area.designWidth = 80;
    area.designHeight = 100;
    area.id = 12399;
    area.captureNotify = [this](GuiControl* c) { captures.push_back(c); };
    area.commandNotify = [this](int commandId) { commands.push_back(commandId); };
  }

  Block* AddContent(int height) {
    auto* block = static_cast<Block*>(area.AddChild(std::make_unique<Block>(height)));
    EXPECT_TRUE(area.SetProfile(&profile, nullptr));
    area.UpdateLayout();
    return block;
  }

  std::unique_ptr<ThemeTexture> texture;
  ThemeProfile profile;
  CGuiScrollCtrl area;
  std::vector<GuiControl*> captures;
  std::vector<int> commands;
};

TEST_F(ScrollCtrlTest, ContentTwiceTheViewDrawsHalfHeightThumbOnTheRightStrip) {
  AddContent(200);
  ASSERT_TRUE(area.Scrollable());
  EXPECT_EQ(area.TrackRect(), (GuiRect{78, 10, 12, 100}));
  EXPECT_EQ(area.ThumbRect(), (GuiRect{78, 10, 12, 50}));

  Canvas canvas(120, 140);
  area.Paint(canvas.Cr());
  // Thumb: top 12, middle stretched, bottom 12 (normal state pieces).
  EXPECT_EQ(canvas.BoundsOf(PieceColor(6)), (GuiRect{78, 10, 12, 12}));
  EXPECT_EQ(canvas.BoundsOf(PieceColor(9)), (GuiRect{78, 22, 12, 26}));
  EXPECT_EQ(canvas.BoundsOf(PieceColor(12)), (GuiRect{78, 48, 12, 12}));
  // Track below the thumb; its top is hidden under the thumb.
  EXPECT_EQ(canvas.BoundsOf(PieceColor(45)), (GuiRect{78, 102, 12, 8}));
  EXPECT_EQ(canvas.BoundsOf(PieceColor(42)), (GuiRect{78, 60, 12, 42}));
  // Content clipped to the view.
  EXPECT_EQ(canvas.BoundsOf(MakeArgb(255, 200, 10, 10)), (GuiRect{10, 10, 68, 100}));
}

TEST_F(ScrollCtrlTest, WheelMovesFivePixelsANotchAndStopsAtBothEnds) {
  Block* content = AddContent(200);
  area.OnWheel(120);  // already at the top
  EXPECT_EQ(area.ContentOffset(), 0);
  area.OnWheel(-120);
  EXPECT_EQ(area.ContentOffset(), -5);
  EXPECT_EQ(content->screenY, 5);
  EXPECT_EQ(area.ThumbRect().y, 10 + 3);  // 5 / 100 x 50, rounded
  for (int i = 0; i < 30; ++i) area.OnWheel(-1);
  EXPECT_EQ(area.ContentOffset(), -100);
  EXPECT_EQ(area.ThumbRect().y, 60);
  EXPECT_EQ(content->screenY, -90);
  area.OnWheel(1);
  EXPECT_EQ(area.ContentOffset(), -95);
}

TEST_F(ScrollCtrlTest, DraggingTheThumbMovesContentProportionallyWithinTheTrack) {
  Block* content = AddContent(200);
  EXPECT_EQ(area.ControlAt({80, 20}), &area);  // the track belongs to the area
  area.OnLButtonDown({80, 20});
  ASSERT_TRUE(area.dragging);
  ASSERT_EQ(captures, (std::vector<GuiControl*>{&area}));
  area.OnMouseMove({80, 45});
  EXPECT_EQ(area.ThumbRect().y, 35);
  EXPECT_EQ(area.ContentOffset(), -50);
  EXPECT_EQ(content->screenY, -40);
  area.OnWheel(-1);  // the wheel waits while dragging
  EXPECT_EQ(area.ContentOffset(), -50);

  Canvas canvas(120, 140);
  area.Paint(canvas.Cr());
  EXPECT_GT(canvas.Count(area.ThumbRect(), PieceColor(8)), 0);  // dragging state
  EXPECT_EQ(canvas.Count(area.ThumbRect(), PieceColor(6)), 0);

  area.OnMouseMove({80, 900});
  EXPECT_EQ(area.ThumbRect().y, 60);
  EXPECT_EQ(area.ContentOffset(), -100);
  area.OnMouseMove({80, -900});
  EXPECT_EQ(area.ContentOffset(), 0);
  area.OnMouseMove({80, 45});
  area.OnLButtonUp({80, 45});
  area.OnLButtonUp({80, 45});  // the window's second call for capture + hot
  EXPECT_EQ(commands, (std::vector<int>{12399}));
  EXPECT_EQ(captures, (std::vector<GuiControl*>{&area, nullptr}));
  EXPECT_FALSE(area.dragging);
  EXPECT_EQ(area.ContentOffset(), -50);
}

TEST_F(ScrollCtrlTest, EmptyOrShortContentIsNotScrollableAndDrawsNoBar) {
  for (int height : {-1, 0, 40, 100}) {
    SCOPED_TRACE(height);
    area.children.clear();
    if (height >= 0) {
      AddContent(height);
    } else {
      ASSERT_TRUE(area.SetProfile(&profile, nullptr));
    }
    area.UpdateLayout();
    EXPECT_FALSE(area.Scrollable());
    area.OnWheel(-120);
    area.OnLButtonDown({80, 20});
    area.OnMouseMove({80, 90});
    EXPECT_EQ(area.ContentOffset(), 0);
    EXPECT_FALSE(area.dragging);
    EXPECT_NE(area.ControlAt({80, 20}), &area);
    Canvas canvas(120, 140);
    area.Paint(canvas.Cr());
    for (size_t piece : {6u, 9u, 12u, 39u, 42u, 45u}) EXPECT_EQ(canvas.Count({0, 0, 120, 140}, PieceColor(piece)), 0);
  }
  EXPECT_TRUE(captures.empty());
}

TEST_F(ScrollCtrlTest, MoreThanOneChildPaintsNoneAndContentGrowingResetsToTop) {
  Block* content = AddContent(200);
  area.OnWheel(-1);
  area.OnWheel(-1);
  ASSERT_EQ(area.ContentOffset(), -10);
  content->SetDesignSize(80, 400);
  area.ResetContent();
  area.UpdateLayout();
  EXPECT_EQ(area.ContentOffset(), 0);
  EXPECT_EQ(area.ThumbRect(), (GuiRect{78, 10, 12, 25}));

  area.AddChild(std::make_unique<Block>(50, MakeArgb(255, 10, 200, 10)));
  Canvas canvas(120, 140);
  area.Paint(canvas.Cr());
  EXPECT_EQ(canvas.Count({0, 0, 120, 140}, MakeArgb(255, 200, 10, 10)), 0);
  EXPECT_EQ(canvas.Count({0, 0, 120, 140}, MakeArgb(255, 10, 200, 10)), 0);
}

}  // namespace
}  // namespace ui
