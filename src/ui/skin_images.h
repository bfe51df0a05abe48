// StateImages: the four cached ARGB images of a skinned control, one per
// state (0 normal, 1 hover, 2 pressed, 3 disabled), each the control's
// screen size, built once from the profile's texture pieces and drawn by
// Paint as they are. Controls rebuild them only when the size, the profile
// or the DPI factor changed (NeedsRebuild), or their caption changed.
//
// Sizes from the theme are untrusted: a negative size is empty, each side is
// clamped to kMaxSide and an image larger than kMaxPixels is not made (the
// control then draws nothing), so no theme value makes a control allocate
// without bound.
//
// Window thread only. Owns its cairo surfaces.
#pragma once

#include <cairo.h>

#include <array>
#include <cstdint>

#include "ui/gui_types.h"
#include "ui/theme_texture.h"

namespace ui {

enum SkinState {
  ssNormal = 0,
  ssHover = 1,
  ssPressed = 2,
  ssDisabled = 3,
};
inline constexpr int kSkinStateCount = 4;

class StateImages {
 public:
  static constexpr int kMaxSide = 8192;
  // 16 MiB per image: far above any control of a launcher window.
  static constexpr std::int64_t kMaxPixels = std::int64_t{2048} * 2048;

  // Replaces the images by four transparent ones of width x height (after
  // clamping), then draws the pieces of `texture` into them: 12 pieces give
  // a three-piece skin per state (pieces 3s..3s+2), 36 a nine-piece skin
  // (9s..9s+8), at `zoom`. False, with the images left transparent, when
  // the texture is missing or has another piece count; false with no images
  // when the size is empty or too large.
  bool Build(const ThemeTexture* texture, int width, int height, double zoom);
  // Drops the images.
  void Clear();

  // True when Build was never run or ran for another texture, zoom, size or
  // DPI factor.
  bool NeedsRebuild(const ThemeTexture* texture, int width, int height, double zoom) const;

  // The image of a state, or null (no images, state out of range).
  cairo_surface_t* Image(int state) const;
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  // Alpha (0 to 255) of a state image's pixel; 0 outside the image.
  std::uint8_t AlphaAt(int state, int x, int y) const;

 private:
  std::array<CairoSurfacePtr, kSkinStateCount> m_images;
  int m_width = 0;
  int m_height = 0;
  // What the images were built from.
  bool m_built = false;
  const ThemeTexture* m_texture = nullptr;
  int m_requestedWidth = 0;
  int m_requestedHeight = 0;
  double m_zoom = 0;
  double m_dpi = 0;
};

// One cached image of a control's size drawn from its texture (a
// nine-piece background, a stretched picture, a progress track), so the
// window's repaint every 10 ms is a plain copy instead of scaled drawing.
// Redrawn only when texture, size, zoom or DPI factor change. Sizes are
// clamped as for StateImages; when no image can be made (empty or too
// large) Paint draws straight into the target instead, every time.
class SkinCache {
 public:
  // Draws the image's content with its top-left corner at (0, 0) of `cr`.
  using DrawFunction = void (*)(cairo_t* cr, const ThemeTexture& texture, const GuiRect& target,
                                double zoom);

  // Draws the cached image (rebuilding it first when needed) at `target`'s
  // top-left corner; target's size is the image size. Nothing without a
  // texture.
  void Paint(cairo_t* cr, const ThemeTexture* texture, const GuiRect& target, double zoom,
             DrawFunction draw);
  // Drops the image.
  void Clear();
  // The cached image or null (tests).
  cairo_surface_t* Image() const { return m_image.get(); }

 private:
  CairoSurfacePtr m_image;
  bool m_built = false;
  const ThemeTexture* m_texture = nullptr;
  int m_width = 0;
  int m_height = 0;
  double m_zoom = 0;
  double m_dpi = 0;
  DrawFunction m_draw = nullptr;
};

// The state-image builder on a plain array (for controls that keep their
// own images): replaces `images` by four transparent images of
// width x height (clamped as StateImages does; none for an empty or too
// large size) and draws the texture's 12 or 36 pieces into them. Same
// result as StateImages::Build.
bool BuildStateImages(std::array<CairoSurfacePtr, kSkinStateCount>& images,
                      const ThemeTexture* texture, int width, int height, double zoom);

// Clamps a requested image side: negative gives 0, above kMaxSide gives
// kMaxSide.
int ClampImageSide(int side);

}  // namespace ui
