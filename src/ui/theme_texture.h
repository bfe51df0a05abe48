// Theme textures: PNG atlases of the theme folder cut into their ordered
// sub-images (the state pieces the controls draw).
//
// An atlas is decoded to 32-bit ARGB, then cut: the marker colour is the
// full 32-bit value of the top-left pixel; every 4-connected region of other
// pixels becomes one sub-image (its bounding box, pixels outside the region
// transparent), numbered by the raster position of its first pixel. With two
// or more sub-images each one gets a one-pixel frame that repeats its edge
// pixels, so bilinear drawing of the inner rectangle never bleeds in
// transparency; a single sub-image stays as it is.
//
// Main thread only (the window's thread). Failures are results: a texture
// that cannot be read, decoded or cut is none (null), never an exception.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/gui_types.h"

class ResourceArchive;

namespace ui {

// Releases a cairo surface.
struct CairoSurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using CairoSurfacePtr = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;

// One sub-image in two forms:
// - `pixels`: straight (not premultiplied) ARGB, alpha in the top byte, row
//   after row, `width` values per row (the stride is `width`);
// - `surface`: the same image as a cairo image surface in CAIRO_FORMAT_ARGB32
//   (premultiplied, native-endian 32-bit words), ready as a drawing source.
//   Owned by the image; its stride is cairo's own.
struct TextureImage {
  int width = 0;
  int height = 0;
  std::vector<ArgbColor> pixels;
  CairoSurfacePtr surface;
  // True when the image carries the one-pixel frame (textures of two or more
  // pieces). InnerRect() is the piece itself: (1, 1, w - 2, h - 2) with a
  // frame, the whole image without.
  bool framed = false;

  ArgbColor At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  GuiRect InnerRect() const {
    return framed ? GuiRect{1, 1, width - 2, height - 2} : GuiRect{0, 0, width, height};
  }
};

// A decoded image before cutting (straight ARGB, stride = width).
struct ArgbImage {
  int width = 0;
  int height = 0;
  std::vector<ArgbColor> pixels;
};

class ThemeTexture {
 public:
  // Limits against damaged or hostile atlases: a larger PNG is refused
  // before any pixel memory is allocated.
  static constexpr int kMaxDimension = 8192;
  // Provisional labels one cutting pass may create.
  static constexpr int kMaxLabels = 254;

  // The sub-images in cut order.
  const std::vector<TextureImage>& Images() const { return m_images; }
  size_t Count() const { return m_images.size(); }
  // Null for an index out of range.
  const TextureImage* Image(size_t index) const { return index < m_images.size() ? &m_images[index] : nullptr; }

  // Decodes a PNG (grey, grey + alpha, RGB, RGBA, palette with or without
  // transparency, 1 to 16 bits per sample) into straight ARGB: grey becomes
  // equal red, green and blue, images without alpha are opaque. False with a
  // reason in `error` for anything that is not a whole, readable PNG or that
  // exceeds kMaxDimension in either direction.
  static bool DecodePng(std::string_view bytes, ArgbImage& image, std::string& error);
  // Cuts a decoded atlas into its pieces (no frame yet). False when the
  // image is empty, has no piece, or needs more than kMaxLabels labels.
  static bool Cut(const ArgbImage& atlas, std::vector<ArgbImage>& pieces, std::string& error);
  // The piece drawn at (1, 1) of an image 2 pixels wider and higher whose
  // border repeats the nearest edge pixels (corners from the corners).
  static ArgbImage AddFrame(const ArgbImage& piece);
  // Decode, cut, frame (two or more pieces) and make the cairo surfaces.
  // Null with a reason in `error` on any failure.
  static std::unique_ptr<ThemeTexture> FromPng(std::string_view bytes, std::string& error);

 private:
  std::vector<TextureImage> m_images;
};

// The textures of the theme, by file name relative to the theme folder
// ("buttons\x.png"), cached for the whole run; a failure is cached as none
// too. The cache owns the textures: pointers stay valid until Reset or
// SetSource.
class ThemeTextureCache {
 public:
  static ThemeTextureCache& Instance();

  // Where textures come from: `archive` (not owned, must outlive the cache's
  // use) and the theme folder with its trailing "\". Empties the cache.
  void SetSource(const ResourceArchive* archive, std::string themeFolder);
  // The texture `name`, or null when it cannot be loaded (`error`, when
  // given, receives the reason on the first attempt).
  const ThemeTexture* Get(const std::string& name, std::string* error = nullptr);
  // Drops every texture (tests); the source stays.
  void Reset();

 private:
  const ResourceArchive* m_archive = nullptr;
  std::string m_themeFolder;
  std::map<std::string, std::unique_ptr<ThemeTexture>, std::less<>> m_textures;
};

// ThemeTextureCache::Instance().Get(name).
const ThemeTexture* GetTexture(const std::string& name);

}  // namespace ui
