#include "ui/scroll_geometry.h"

#include <gtest/gtest.h>

namespace ui {
namespace {

TEST(ScrollGeometryTest, ContentTwiceTheViewGivesHalfThumbMovingProportionally) {
  const ScrollGeometry g(100, 200);
  ASSERT_TRUE(g.Scrollable());
  EXPECT_EQ(g.MinOffset(), -100);
  EXPECT_EQ(g.ThumbHeight(), 50);
  EXPECT_EQ(g.ThumbTopForOffset(0), 0);
  EXPECT_EQ(g.ThumbTopForOffset(-50), 25);
  EXPECT_EQ(g.ThumbTopForOffset(-100), 50);
  EXPECT_EQ(g.OffsetForThumbTop(25), -50);
  // Beyond the ends: clamped.
  EXPECT_EQ(g.ClampOffset(5), 0);
  EXPECT_EQ(g.ClampOffset(-500), -100);
  EXPECT_EQ(g.ThumbTopForOffset(-500), 50);
  EXPECT_EQ(g.OffsetForThumbTop(-10), 0);
  EXPECT_EQ(g.OffsetForThumbTop(90), -100);
}

TEST(ScrollGeometryTest, EmptyShortAndDegenerateViewsAreNotScrollable) {
  const struct {
    int view, content;
  } cases[] = {{73, 0}, {73, 40}, {73, 73}, {0, 200}, {-5, 10}, {10, -5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.view << " / " << c.content);
    const ScrollGeometry g(c.view, c.content);
    EXPECT_FALSE(g.Scrollable());
    EXPECT_EQ(g.MinOffset(), 0);
    EXPECT_EQ(g.ClampOffset(-30), 0);
    EXPECT_EQ(g.ThumbTopForOffset(-30), 0);
    EXPECT_EQ(g.OffsetForThumbTop(30), 0);
    EXPECT_EQ(g.ThumbHeight(), g.ViewHeight());
  }
}

TEST(ScrollGeometryTest, MinimumThumbKeepsVeryLongContentDraggableToTheEnd) {
  const ScrollGeometry g(73, 100000, 12);
  EXPECT_EQ(g.ThumbHeight(), 12);
  EXPECT_EQ(g.ThumbTopForOffset(g.MinOffset()), 61);
  EXPECT_EQ(g.OffsetForThumbTop(61), 73 - 100000);
}

}  // namespace
}  // namespace ui
