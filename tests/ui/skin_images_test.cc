#include "ui/skin_images.h"

#include <gtest/gtest.h>

#include <cmath>

#include "ui/control_fixture.h"
#include "ui/skin_drawing.h"

namespace ui {
namespace {

using ui_testing::Canvas;
using ui_testing::DpiScope;
using ui_testing::MakeTexture;
using ui_testing::MakeThreeSliceTexture;
using ui_testing::PieceSpec;
using ui_testing::SurfacePixel;

constexpr ArgbColor kRed = MakeArgb(255, 255, 0, 0);
constexpr ArgbColor kGreen = MakeArgb(255, 0, 255, 0);
constexpr ArgbColor kBlue = MakeArgb(255, 0, 0, 255);
constexpr ArgbColor kGrey = MakeArgb(255, 128, 128, 128);

TEST(SkinImagesTest, ThreePieceSkinGivesOneImagePerStateAtTheControlSize) {
  DpiScope baseDpi(1.0);
  const ArgbColor colours[4] = {kRed, kGreen, kBlue, kGrey};
  auto texture = MakeThreeSliceTexture(colours, 4, 8);
  ASSERT_TRUE(texture);
  ASSERT_EQ(texture->Count(), 12u);
  StateImages images;
  ASSERT_TRUE(images.Build(texture.get(), 40, 16, 1.0));
  EXPECT_EQ(images.Width(), 40);
  EXPECT_EQ(images.Height(), 16);
  for (int s = 0; s < kSkinStateCount; ++s) {
    for (int x : {0, 5, 20, 39}) {
      EXPECT_EQ(SurfacePixel(images.Image(s), x, 8), colours[s]) << "state " << s << " x " << x;
    }
  }
  EXPECT_EQ(images.Image(4), nullptr);
  EXPECT_EQ(images.AlphaAt(0, 40, 0), 0);
  EXPECT_EQ(images.AlphaAt(0, 39, 15), 255);
}

TEST(SkinImagesTest, ThreeSliceScalesEndsByTheHeightRatioAndZoom) {
  DpiScope baseDpi(1.0);
  // Left piece blue 4 x 8, middle red, right green 6 x 8; drawn 16 high:
  // k = 2, so the left end is 8 wide, the right 12, the middle fills.
  auto texture = MakeTexture({{{4, 8, kBlue}, {2, 8, kRed}, {6, 8, kGreen}}});
  ASSERT_TRUE(texture);
  Canvas canvas(60, 20);
  ASSERT_TRUE(DrawThreeSlice(canvas.cr(), *texture, 0, 1, 2, GuiRect{2, 1, 50, 16}, 1.0));
  EXPECT_EQ(canvas.BoundsOf(kBlue, 8), (GuiRect{2, 1, 8, 16}));
  EXPECT_EQ(canvas.BoundsOf(kGreen, 8), (GuiRect{40, 1, 12, 16}));
  EXPECT_EQ(canvas.BoundsOf(kRed, 8), (GuiRect{10, 1, 30, 16}));

  // Zoom 0.5 halves the ends (and their height).
  canvas.Clear();
  ASSERT_TRUE(DrawThreeSlice(canvas.cr(), *texture, 0, 1, 2, GuiRect{0, 0, 50, 16}, 0.5));
  EXPECT_EQ(canvas.BoundsOf(kBlue, 8), (GuiRect{0, 0, 4, 8}));
  EXPECT_EQ(canvas.BoundsOf(kGreen, 8), (GuiRect{44, 0, 6, 8}));
  // A missing piece or a zoom that is not positive draws nothing.
  canvas.Clear();
  EXPECT_FALSE(DrawThreeSlice(canvas.cr(), *texture, 0, 1, 3, GuiRect{0, 0, 50, 16}, 1.0));
  for (double zoom : {0.0, -1.0, std::nan("")}) {
    EXPECT_FALSE(DrawThreeSlice(canvas.cr(), *texture, 0, 1, 2, GuiRect{0, 0, 50, 16}, zoom));
    EXPECT_FALSE(DrawNineSlice(canvas.cr(), *texture, 0, GuiRect{0, 0, 50, 16}, zoom));
  }
  EXPECT_EQ(canvas.CountPainted(), 0);
}

TEST(SkinImagesTest, NineSliceBordersScaleByZoomThenDpi) {
  DpiScope baseDpi(1.0);
  DpiScope dpi(1.5);
  // Corners 8 x 6 red, edges green, centre blue.
  const PieceSpec corner{8, 6, kRed};
  const PieceSpec hEdge{4, 6, kGreen};
  const PieceSpec vEdge{8, 4, kGreen};
  auto texture = MakeTexture({{corner, hEdge, corner}, {vEdge, {4, 4, kBlue}, vEdge}, {corner, hEdge, corner}});
  ASSERT_TRUE(texture);
  ASSERT_EQ(texture->Count(), 9u);
  Canvas canvas(80, 60);
  ASSERT_TRUE(DrawNineSlice(canvas.cr(), *texture, 0, GuiRect{10, 10, 60, 40}, 0.5));
  // Borders: trunc(trunc(8 x 0.5) x 1.5) = 6 wide, trunc(trunc(6 x 0.5) x 1.5) = 4 high.
  EXPECT_EQ(canvas.BoundsOf(kBlue, 8), (GuiRect{16, 14, 48, 32}));
  EXPECT_EQ(canvas.BoundsOf(kRed, 8), (GuiRect{10, 10, 60, 40}));
  EXPECT_EQ(canvas.At(12, 12), kRed);
  EXPECT_EQ(canvas.At(67, 47), kRed);
  EXPECT_EQ(canvas.At(30, 12), kGreen);
  EXPECT_EQ(canvas.At(12, 30), kGreen);
  EXPECT_EQ(canvas.At(9, 9), 0u);
  EXPECT_EQ(canvas.At(70, 50), 0u);
}

TEST(SkinImagesTest, WrongPieceCountLeavesTransparentImages) {
  DpiScope baseDpi(1.0);
  auto texture = MakeTexture({{{2, 2, kRed}, {2, 2, kRed}, {2, 2, kRed}, {2, 2, kRed}, {2, 2, kRed}, {2, 2, kRed}, {2, 2, kRed}}});
  ASSERT_TRUE(texture);
  StateImages images;
  EXPECT_FALSE(images.Build(texture.get(), 20, 10, 1.0));
  ASSERT_NE(images.Image(0), nullptr);
  for (int s = 0; s < kSkinStateCount; ++s) EXPECT_EQ(images.AlphaAt(s, 10, 5), 0);
  EXPECT_FALSE(images.Build(nullptr, 20, 10, 1.0));
}

TEST(SkinImagesTest, OutOfRangeSizesNeverAllocateWithoutBound) {
  DpiScope baseDpi(1.0);
  const ArgbColor colours[4] = {kRed, kGreen, kBlue, kGrey};
  auto texture = MakeThreeSliceTexture(colours, 4, 8);
  ASSERT_TRUE(texture);
  StateImages images;
  struct Case {
    int width, height;
    bool made;
    int expectWidth, expectHeight;
  };
  const Case cases[] = {
      {-5, 10, false, 0, 0},           // negative: empty
      {10, -1, false, 0, 0},           //
      {0, 10, false, 0, 0},            //
      {100000, 10, true, 8192, 10},    // one side clamped
      {100000, 100000, false, 0, 0},   // too many pixels: none
      {3000, 2000, false, 0, 0},       //
  };
  for (const Case& c : cases) {
    const bool ok = images.Build(texture.get(), c.width, c.height, 64.0);
    EXPECT_EQ(ok, c.made) << c.width << "x" << c.height;
    EXPECT_EQ(images.Image(0) != nullptr, c.made);
    EXPECT_EQ(images.Width(), c.expectWidth);
    EXPECT_EQ(images.Height(), c.expectHeight);
  }
}

TEST(SkinImagesTest, RebuildOnlyWhenSizeTextureZoomOrDpiChange) {
  DpiScope baseDpi(1.0);
  const ArgbColor colours[4] = {kRed, kGreen, kBlue, kGrey};
  auto texture = MakeThreeSliceTexture(colours, 4, 8);
  auto other = MakeThreeSliceTexture(colours, 4, 8);
  StateImages images;
  EXPECT_TRUE(images.NeedsRebuild(texture.get(), 20, 10, 1.0));
  images.Build(texture.get(), 20, 10, 1.0);
  EXPECT_FALSE(images.NeedsRebuild(texture.get(), 20, 10, 1.0));
  EXPECT_TRUE(images.NeedsRebuild(texture.get(), 21, 10, 1.0));
  EXPECT_TRUE(images.NeedsRebuild(other.get(), 20, 10, 1.0));
  EXPECT_TRUE(images.NeedsRebuild(texture.get(), 20, 10, 0.5));
  DpiScope dpi(1.5);
  EXPECT_TRUE(images.NeedsRebuild(texture.get(), 20, 10, 1.0));
}

}  // namespace
}  // namespace ui

namespace ui {
namespace {

void DrawWhole(cairo_t* cr, const ThemeTexture& texture, const GuiRect& target, double) {
  DrawPiece(cr, *texture.Image(0), target.x, target.y, target.width, target.height);
}

TEST(SkinCacheTest, KeepsTheDrawnImageUntilItsInputsChange) {
  DpiScope baseDpi(1.0);
  auto texture = MakeTexture({{{4, 4, kRed}}});
  ASSERT_TRUE(texture);
  SkinCache cache;
  Canvas canvas(60, 40);
  cache.Paint(canvas.cr(), texture.get(), GuiRect{10, 5, 30, 20}, 1.0, DrawWhole);
  EXPECT_EQ(canvas.BoundsOf(kRed, 4), (GuiRect{10, 5, 30, 20}));
  ASSERT_NE(cache.Image(), nullptr);

  // A mark in the cached image shows as long as the image is kept: moving
  // the target keeps it, a new size redraws it.
  cairo_t* cr = cairo_create(cache.Image());
  cairo_set_source_rgb(cr, 0, 0, 1);
  cairo_rectangle(cr, 0, 0, 1, 1);
  cairo_fill(cr);
  cairo_destroy(cr);
  canvas.Clear();
  cache.Paint(canvas.cr(), texture.get(), GuiRect{20, 5, 30, 20}, 1.0, DrawWhole);
  EXPECT_EQ(canvas.At(20, 5), kBlue);
  canvas.Clear();
  cache.Paint(canvas.cr(), texture.get(), GuiRect{20, 5, 31, 20}, 1.0, DrawWhole);
  EXPECT_EQ(canvas.At(20, 5), kRed);
  {
    DpiScope dpi(1.25);
    cairo_t* mark = cairo_create(cache.Image());
    cairo_set_source_rgb(mark, 0, 0, 1);
    cairo_rectangle(mark, 0, 0, 1, 1);
    cairo_fill(mark);
    cairo_destroy(mark);
    cache.Paint(canvas.cr(), texture.get(), GuiRect{20, 5, 31, 20}, 1.0, DrawWhole);
    EXPECT_EQ(canvas.At(20, 5), kRed);
  }
}

TEST(SkinCacheTest, TooLargeTargetsAreDrawnDirectlyWithoutAnImage) {
  DpiScope baseDpi(1.0);
  auto texture = MakeTexture({{{4, 4, kRed}}});
  ASSERT_TRUE(texture);
  SkinCache cache;
  Canvas canvas(2100, 2100);
  cache.Paint(canvas.cr(), texture.get(), GuiRect{0, 0, 2100, 2100}, 1.0, DrawWhole);
  EXPECT_EQ(cache.Image(), nullptr);
  EXPECT_EQ(canvas.At(2099, 2099), kRed);
  // Negative sizes draw nothing and keep nothing.
  canvas.Clear();
  cache.Paint(canvas.cr(), texture.get(), GuiRect{5, 5, -20, 10}, 1.0, DrawWhole);
  EXPECT_EQ(cache.Image(), nullptr);
  EXPECT_EQ(canvas.At(5, 5), 0u);
}

}  // namespace
}  // namespace ui
