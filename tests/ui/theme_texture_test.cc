#include "ui/theme_texture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/resource_archive.h"
#include "config/resource_fixture.h"
#include "ui/png_fixture.h"

namespace ui {
namespace {

using ui_testing::AtlasPng;
using ui_testing::EncodePng;
using ui_testing::PngSpec;

constexpr ArgbColor kCyan = MakeArgb(255, 0, 255, 255);

std::unique_ptr<ThemeTexture> Load(const std::vector<std::string>& picture) {
  std::string error;
  auto texture = ThemeTexture::FromPng(AtlasPng(picture), error);
  EXPECT_TRUE(texture) << error;
  return texture;
}

GuiSize InnerSize(const TextureImage& image) {
  const GuiRect r = image.InnerRect();
  return {r.width, r.height};
}

// The colour DrawAtlas gives a picture character.
ArgbColor Ink(char c) {
  const auto v = static_cast<uint8_t>(c);
  return MakeArgb(255, v, static_cast<uint8_t>(v * 3), static_cast<uint8_t>(v * 7));
}

TEST(ThemeTextureCut, PiecesComeInReadingOrderOfTheirFirstPixel) {
  // d starts on a lower row than c but further left: it still comes after c.
  auto texture = Load({
      "...........",
      ".aa..bbb...",
      ".aa........",
      "......cc...",
      "..d...cc...",
      ".ddd.......",
  });
  ASSERT_TRUE(texture);
  ASSERT_EQ(texture->Count(), 4u);
  const std::vector<GuiSize> sizes = {{2, 2}, {3, 1}, {2, 2}, {3, 2}};
  const char inks[] = {'a', 'b', 'c', 'd'};
  for (size_t i = 0; i < 4; ++i) {
    const TextureImage& image = *texture->Image(i);
    EXPECT_TRUE(image.framed);
    EXPECT_EQ(InnerSize(image), sizes[i]) << i;
    EXPECT_EQ(image.width, sizes[i].width + 2);
    EXPECT_EQ(image.At(1, image.height - 2), Ink(inks[i])) << i;
  }
  // d's bounding box corner outside the blob is transparent, framed or not.
  const TextureImage& d = *texture->Image(3);
  EXPECT_EQ(d.At(1, 1), 0u);
  EXPECT_EQ(d.At(0, 0), 0u);
  EXPECT_EQ(d.At(2, 1), Ink('d'));
}

TEST(ThemeTextureCut, ConnectivityAndMerging) {
  struct Case {
    const char* what;
    std::vector<std::string> picture;
    size_t pieces;
  };
  const Case cases[] = {
      {"diagonal touch is two pieces", {"....", ".a..", "..a.", "...."}, 2},
      {"a U joined only at the bottom is one piece", {".....", ".a.a.", ".a.a.", ".aaa."}, 1},
      {"a staircase merging right to left is one piece", {"......", "....a.", "..a.a.", ".aaaa."}, 1},
      {"transparent pixels belong to pieces", {"....", ".  .", "....", ".a.."}, 2},
  };
  for (const Case& c : cases) {
    std::string error;
    std::vector<ArgbImage> pieces;
    uint32_t w = 0, h = 0;
    ArgbImage atlas;
    atlas.pixels = ui_testing::DrawAtlas(c.picture, w, h);
    atlas.width = static_cast<int>(w);
    atlas.height = static_cast<int>(h);
    ASSERT_TRUE(ThemeTexture::Cut(atlas, pieces, error)) << c.what << ": " << error;
    EXPECT_EQ(pieces.size(), c.pieces) << c.what;
  }
}

TEST(ThemeTextureCut, PieceKeepsOnlyItsOwnPixelsInItsBox) {
  // b sits inside a's bounding box but is a piece of its own.
  auto texture = Load({
      "......",
      ".aaaa.",
      ".a....",
      ".a.b..",
  });
  ASSERT_TRUE(texture);
  ASSERT_EQ(texture->Count(), 2u);
  const TextureImage& a = *texture->Image(0);
  EXPECT_EQ(InnerSize(a), (GuiSize{4, 3}));
  EXPECT_EQ(a.At(1 + 2, 1 + 2), 0u);  // where b is: transparent in a
  EXPECT_EQ(texture->Image(1)->At(1, 1), Ink('b'));
}

TEST(ThemeTextureCut, SingleBlobHasNoFrame) {
  auto texture = Load({"...", ".ab", ".cd"});
  ASSERT_TRUE(texture);
  ASSERT_EQ(texture->Count(), 1u);
  const TextureImage& image = *texture->Image(0);
  EXPECT_FALSE(image.framed);
  EXPECT_EQ(image.width, 2);
  EXPECT_EQ(image.height, 2);
  EXPECT_EQ(image.InnerRect(), (GuiRect{0, 0, 2, 2}));
  EXPECT_EQ(image.At(1, 1), Ink('d'));
}

TEST(ThemeTextureCut, FrameRepeatsTheEdgePixels) {
  auto texture = Load({
      ".....",
      ".ab.e",
      ".cd..",
  });
  ASSERT_TRUE(texture);
  ASSERT_EQ(texture->Count(), 2u);
  const TextureImage& image = *texture->Image(0);
  ASSERT_EQ(image.width, 4);
  ASSERT_EQ(image.height, 4);
  const std::vector<std::string> expected = {"aabb", "aabb", "ccdd", "ccdd"};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(image.At(x, y), Ink(expected[y][x])) << x << "," << y;
  }
  EXPECT_EQ(image.InnerRect(), (GuiRect{1, 1, 2, 2}));
}

TEST(ThemeTextureCut, At254LabelsTheAtlasCutsAndBeyondItFails) {
  // Isolated single pixels, one label each: marker row on top, then rows of
  // "x." pairs.
  const auto dots = [](int count) {
    std::vector<std::string> picture{std::string(40, '.')};
    std::string row;
    for (int i = 0; i < count; ++i) {
      row += "x.";
      if (row.size() == 40 || i + 1 == count) {
        row.resize(40, '.');
        picture.push_back(row);
        picture.push_back(std::string(40, '.'));
        row.clear();
      }
    }
    return picture;
  };
  std::string error;
  auto ok = ThemeTexture::FromPng(AtlasPng(dots(254)), error);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(ok->Count(), 254u);
  EXPECT_FALSE(ThemeTexture::FromPng(AtlasPng(dots(255)), error));

  // A fine checkerboard: one label per pixel of the second colour.
  std::vector<std::string> board;
  for (int y = 0; y < 32; ++y) {
    std::string row;
    for (int x = 0; x < 32; ++x) row += ((x + y) % 2) ? 'x' : '.';
    board.push_back(row);
  }
  EXPECT_FALSE(ThemeTexture::FromPng(AtlasPng(board), error));
  EXPECT_FALSE(error.empty());
}

TEST(ThemeTextureCut, AtlasOfOnlyMarkerHasNoPiece) {
  std::string error;
  EXPECT_FALSE(ThemeTexture::FromPng(AtlasPng({"...", "..."}), error));
}

TEST(ThemeTextureSurface, HoldsPremultipliedPixels) {
  const std::string png = ui_testing::EncodeArgbPng(2, 1, {kCyan, MakeArgb(128, 200, 100, 0)});
  std::string error;
  auto texture = ThemeTexture::FromPng(png, error);
  ASSERT_TRUE(texture) << error;
  const TextureImage& image = *texture->Image(0);
  EXPECT_EQ(image.At(0, 0), MakeArgb(128, 200, 100, 0));
  cairo_surface_t* surface = image.surface.get();
  ASSERT_EQ(cairo_image_surface_get_format(surface), CAIRO_FORMAT_ARGB32);
  ASSERT_EQ(cairo_image_surface_get_width(surface), 1);
  const auto* word = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(surface));
  EXPECT_EQ(*word, MakeArgb(128, 100, 50, 0));
}

// Colour types and depths, each decoded to straight ARGB.
TEST(ThemeTextureDecode, EveryColourTypeBecomesArgb) {
  struct Case {
    const char* what;
    PngSpec spec;
    ArgbColor first;
    ArgbColor second;
  };
  const auto spec = [](int depth, int type, std::string rows, std::string palette = {}, std::string trns = {}) {
    PngSpec s;
    s.width = 2;
    s.height = 1;
    s.bitDepth = depth;
    s.colorType = type;
    s.rows = std::move(rows);
    s.palette = std::move(palette);
    s.trns = std::move(trns);
    return s;
  };
  const Case cases[] = {
      {"grey 8", spec(8, 0, std::string("\x10\xF0", 2)), 0xFF101010u, 0xFFF0F0F0u},
      {"grey 16 keeps the high byte", spec(16, 0, std::string("\x12\x34\xAB\xCD", 4)), 0xFF121212u, 0xFFABABABu},
      {"grey 1 bit", spec(1, 0, std::string("\x40", 1)), 0xFF000000u, 0xFFFFFFFFu},
      {"grey with alpha", spec(8, 4, std::string("\x20\x80\x40\x00", 4)), 0x80202020u, 0x00404040u},
      {"RGB", spec(8, 2, std::string("\x01\x02\x03\x04\x05\x06", 6)), 0xFF010203u, 0xFF040506u},
      {"RGB 16", spec(16, 2, std::string("\x01\x00\x02\x00\x03\x00\xFF\xFF\x00\x00\x80\x00", 12)), 0xFF010203u,
       0xFFFF0080u},
      {"RGBA", spec(8, 6, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)), 0x04010203u, 0x08050607u},
      {"palette with transparency", spec(8, 3, std::string("\x00\x01", 2), std::string("\x0A\x0B\x0C\x0D\x0E\x0F", 6),
                                         std::string("\x40", 1)),
       0x400A0B0Cu, 0xFF0D0E0Fu},
      {"palette 4 bit", spec(4, 3, std::string("\x10", 1), std::string("\x0A\x0B\x0C\x0D\x0E\x0F", 6)), 0xFF0D0E0Fu,
       0xFF0A0B0Cu},
  };
  for (const Case& c : cases) {
    ArgbImage image;
    std::string error;
    ASSERT_TRUE(ThemeTexture::DecodePng(EncodePng(c.spec), image, error)) << c.what << ": " << error;
    ASSERT_EQ(image.pixels.size(), 2u) << c.what;
    EXPECT_EQ(image.pixels[0], c.first) << c.what;
    EXPECT_EQ(image.pixels[1], c.second) << c.what;
  }
}

TEST(ThemeTextureDecode, DamagedOrOversizedImagesFail) {
  const std::string good = AtlasPng({"..", ".a"});
  PngSpec huge;
  huge.width = ThemeTexture::kMaxDimension + 1;
  huge.height = 1;
  huge.colorType = 0;
  huge.rows = std::string(huge.width, '\0');
  PngSpec tall = huge;
  tall.width = 1;
  tall.height = 1u << 30;  // claims a gigapixel; the data is a single row
  tall.storedRows = 1;
  tall.rows = std::string(1, '\0');
  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"not a PNG", "GIF89a........"},
      {"cut in the header", good.substr(0, 20)},
      {"cut in the data", good.substr(0, good.size() - 20)},
      {"wider than the limit", EncodePng(huge)},
      {"taller than the limit", EncodePng(tall)},
  };
  for (const auto& [what, bytes] : cases) {
    ArgbImage image;
    std::string error;
    EXPECT_FALSE(ThemeTexture::DecodePng(bytes, image, error)) << what;
    EXPECT_FALSE(error.empty()) << what;
  }
}

TEST(ThemeTextureCache, LoadsFromTheThemeFolderOnceAndRemembersFailures) {
  ResourceArchive archive;
  ASSERT_TRUE(config_testing::OpenArchive(
      archive, {{"theme_x\\buttons\\b.png", AtlasPng({"...", ".a.", "...", ".b."})},
                {"theme_x\\broken.png", "not a png"}}));
  ThemeTextureCache cache;
  cache.SetSource(&archive, "theme_x\\");
  const ThemeTexture* texture = cache.Get("buttons\\b.png");
  ASSERT_TRUE(texture);
  EXPECT_EQ(texture->Count(), 2u);
  EXPECT_EQ(cache.Get("buttons\\b.png"), texture);

  std::string error;
  EXPECT_FALSE(cache.Get("broken.png", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(cache.Get("broken.png"));
  EXPECT_FALSE(cache.Get("missing.png", &error));
  EXPECT_EQ(error, "no such entry");
}

}  // namespace
}  // namespace ui
