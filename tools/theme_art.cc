// theme_art: draws the texture atlases of the embedded themes with cairo and
// writes them as PNG files (run by the build; resources.cmake packs them into
// the resource archive below theme_kvxm\, the single-page theme, and
// theme_wizard\, the wizard theme, which shares them and adds the step
// indicator).
//
//   theme_art <out folder>
//       Writes every atlas below the folder under its theme name, for
//       example <out folder>/buttons/Stuff_button_medium.png.
//
// How the launcher reads an atlas: the top-left pixel is the marker colour
// (here opaque cyan); every 4-connected region of other pixels is one piece,
// numbered by the raster position of its first pixel. So each atlas is a
// field of marker colour with the pieces as full rectangles in it, one
// marker pixel apart, rows of pieces from top to bottom with the top edges
// of a row aligned. A piece never holds the marker colour itself (an opaque
// cyan pixel inside a piece would split it); transparent pixels are fine,
// they differ from the opaque marker, so even a fully transparent piece is a
// region of its own.
//
// Most skins are drawn whole (a complete button, panel or field at atlas
// size) and then sliced into their three or nine pieces, so the slices meet
// seamlessly when the launcher stretches the middle ones. The art is drawn at
// twice the size it usually appears (the profiles draw the nine-piece skins
// at zoom 0.5 and the 72-pixel button rows at 32 to 36 pixels).
//
// Exit code 0 on success, 1 with a message on standard error otherwise.
#include <cairo.h>
#include <stdio.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Opaque cyan, the marker colour of every atlas (premultiplied = straight).
constexpr uint32_t kMarker = 0xFF00FFFFu;
// What an opaque cyan pixel inside a piece becomes: one step less green.
constexpr uint32_t kMarkerStandIn = 0xFF00FEFFu;

int Fail(const std::string& message) {
  fprintf(stderr, "theme_art: %s\n", message.c_str());
  return 1;
}

// ---------------------------------------------------------------------------
// Colours and drawing helpers

struct Rgba {
  double r, g, b, a;
};

// 0xRRGGBB with an alpha of 0 to 1.
constexpr Rgba Hex(uint32_t rgb, double alpha = 1.0) {
  return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha};
}
constexpr Rgba WithAlpha(Rgba c, double alpha) { return {c.r, c.g, c.b, alpha}; }

void SetColor(cairo_t* cr, Rgba c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

void SetVerticalGradient(cairo_t* cr, double y0, double y1, Rgba top, Rgba bottom) {
  cairo_pattern_t* pattern = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgba(pattern, 0, top.r, top.g, top.b, top.a);
  cairo_pattern_add_color_stop_rgba(pattern, 1, bottom.r, bottom.g, bottom.b, bottom.a);
  cairo_set_source(cr, pattern);
  cairo_pattern_destroy(pattern);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  r = std::min(r, std::min(w, h) / 2);
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
  cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
  cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
  cairo_close_path(cr);
}

struct Box {
  double x, y, w, h, r;
  Box Inset(double d) const { return {x + d, y + d, w - 2 * d, h - 2 * d, std::max(0.0, r - d)}; }
  void Path(cairo_t* cr) const { RoundedRect(cr, x, y, w, h, r); }
};

// A soft shadow of `box`, moved down by `dy`, fading out over `spread`
// pixels: stacked rounded rectangles of small alpha, the largest first.
void SoftShadow(cairo_t* cr, const Box& box, double dy, double spread, double alpha) {
  const int steps = std::max(1, static_cast<int>(std::lround(spread * 2)));
  for (int i = steps; i >= 1; --i) {
    const double grow = spread * i / steps;
    RoundedRect(cr, box.x - grow, box.y + dy - grow, box.w + 2 * grow, box.h + 2 * grow, box.r + grow);
    cairo_set_source_rgba(cr, 0, 0, 0, alpha / steps);
    cairo_fill(cr);
  }
}

// A stroke of width `width` just inside the outline of `box`.
void InnerBorder(cairo_t* cr, const Box& box, double width, Rgba color) {
  box.Inset(width / 2).Path(cr);
  cairo_set_line_width(cr, width);
  SetColor(cr, color);
  cairo_stroke(cr);
}

// A faint light edge along the top inside `box` that fades out downwards.
void TopSheen(cairo_t* cr, const Box& box, double width, double alpha, double fadeHeight) {
  cairo_save(cr);
  box.Path(cr);
  cairo_clip(cr);
  box.Inset(width * 1.5).Path(cr);
  cairo_set_line_width(cr, width);
  SetVerticalGradient(cr, box.y, box.y + fadeHeight, Hex(0xFFFFFF, alpha), Hex(0xFFFFFF, 0));
  cairo_stroke(cr);
  cairo_restore(cr);
}

// A dark band along the top inside `box` (sunken look).
void TopInnerShadow(cairo_t* cr, const Box& box, double depth, double alpha) {
  cairo_save(cr);
  box.Path(cr);
  cairo_clip(cr);
  cairo_rectangle(cr, box.x, box.y, box.w, depth);
  SetVerticalGradient(cr, box.y, box.y + depth, Hex(0x000000, alpha), Hex(0x000000, 0));
  cairo_fill(cr);
  cairo_restore(cr);
}

// ---------------------------------------------------------------------------
// Canvas: one ARGB32 image surface with its context.

class Canvas {
 public:
  Canvas(int width, int height)
      : m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)), m_cr(cairo_create(m_surface)) {
    cairo_set_antialias(m_cr, CAIRO_ANTIALIAS_BEST);
  }
  ~Canvas() {
    cairo_destroy(m_cr);
    cairo_surface_destroy(m_surface);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  cairo_t* cr() const { return m_cr; }
  int Width() const { return cairo_image_surface_get_width(m_surface); }
  int Height() const { return cairo_image_surface_get_height(m_surface); }
  bool Ok() const {
    return cairo_surface_status(m_surface) == CAIRO_STATUS_SUCCESS && cairo_status(m_cr) == CAIRO_STATUS_SUCCESS;
  }
  // Premultiplied pixel (native-endian ARGB word).
  uint32_t& At(int x, int y) {
    unsigned char* row = cairo_image_surface_get_data(m_surface) + static_cast<size_t>(y) * Stride();
    return reinterpret_cast<uint32_t*>(row)[x];
  }
  void Flush() { cairo_surface_flush(m_surface); }
  void MarkDirty() { cairo_surface_mark_dirty(m_surface); }
  bool EncodePng(std::string& png) {
    png.clear();
    const cairo_status_t status = cairo_surface_write_to_png_stream(
        m_surface,
        [](void* closure, const unsigned char* data, unsigned int length) {
          static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
          return CAIRO_STATUS_SUCCESS;
        },
        &png);
    return status == CAIRO_STATUS_SUCCESS;
  }

 private:
  int Stride() const { return cairo_image_surface_get_stride(m_surface); }

  cairo_surface_t* m_surface;
  cairo_t* m_cr;
};

// ---------------------------------------------------------------------------
// Atlas: the marker field and the pieces placed in it.

class Atlas {
 public:
  Atlas(int width, int height) : m_canvas(width, height), m_used(static_cast<size_t>(width) * height, 0) {
    m_canvas.Flush();
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) m_canvas.At(x, y) = kMarker;
    }
    m_canvas.MarkDirty();
  }

  // Copies the rectangle (sx, sy, w, h) of `skin` to (dx, dy) as one piece.
  // A piece outside the atlas, overlapping another or touching one without a
  // marker pixel between them is a layout error that fails the atlas.
  void Place(Canvas& skin, int sx, int sy, int w, int h, int dx, int dy) {
    if (w <= 0 || h <= 0 || sx < 0 || sy < 0 || sx + w > skin.Width() || sy + h > skin.Height() || dx < 0 ||
        dy < 0 || dx + w > Width() || dy + h > Height()) {
      m_error = "piece " + std::to_string(m_pieces) + " does not fit";
      return;
    }
    for (int y = dy; y < dy + h; ++y) {
      for (int x = dx; x < dx + w; ++x) {
        if (Used(x, y) || Used(x - 1, y) || Used(x + 1, y) || Used(x, y - 1) || Used(x, y + 1)) {
          m_error = "piece " + std::to_string(m_pieces) + " touches another piece";
          return;
        }
      }
    }
    skin.Flush();
    m_canvas.Flush();
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        uint32_t pixel = skin.At(sx + x, sy + y);
        if (pixel == kMarker) pixel = kMarkerStandIn;
        m_canvas.At(dx + x, dy + y) = pixel;
      }
    }
    // Marked only after the whole piece is copied, so its own pixels do not
    // count as neighbours of each other in the check above.
    for (int y = dy; y < dy + h; ++y) {
      for (int x = dx; x < dx + w; ++x) m_used[Index(x, y)] = 1;
    }
    m_canvas.MarkDirty();
    ++m_pieces;
  }

  // Slices `skin` by column widths and row heights (row after row, left to
  // right) and places the slices one marker pixel apart from (dx, dy).
  void PlaceGrid(Canvas& skin, const std::vector<int>& columns, const std::vector<int>& rows, int dx, int dy) {
    int sy = 0;
    int ty = dy;
    for (int rowHeight : rows) {
      int sx = 0;
      int tx = dx;
      for (int columnWidth : columns) {
        Place(skin, sx, sy, columnWidth, rowHeight, tx, ty);
        sx += columnWidth;
        tx += columnWidth + 1;
      }
      sy += rowHeight;
      ty += rowHeight + 1;
    }
  }

  int Width() const { return m_canvas.Width(); }
  int Height() const { return m_canvas.Height(); }
  int Pieces() const { return m_pieces; }
  const std::string& Error() const { return m_error; }

  bool EncodePng(std::string& png, std::string& error) {
    if (!m_error.empty()) {
      error = m_error;
      return false;
    }
    if (!m_canvas.Ok() || !m_canvas.EncodePng(png)) {
      error = "cairo cannot draw or encode it";
      return false;
    }
    return true;
  }

 private:
  size_t Index(int x, int y) const { return static_cast<size_t>(y) * Width() + x; }
  bool Used(int x, int y) const { return x >= 0 && y >= 0 && x < Width() && y < Height() && m_used[Index(x, y)]; }

  Canvas m_canvas;
  std::vector<uint8_t> m_used;
  int m_pieces = 0;
  std::string m_error;
};

// ---------------------------------------------------------------------------
// Palette: dark slate surfaces, one blue accent.

const Rgba kAccent = Hex(0x3B82F0);
const Rgba kAccentLight = Hex(0x5AA2FF);
const Rgba kAccentDeep = Hex(0x2563D9);

enum State { kNormal = 0, kHover = 1, kPressed = 2, kDisabled = 3 };

struct SurfaceLook {
  Rgba top, bottom, border;
  double sheen;   // alpha of the light top edge
  double shadow;  // alpha of the drop shadow
};

SurfaceLook ButtonLook(State state, bool accent) {
  if (accent) {
    switch (state) {
      case kNormal: return {Hex(0x3D87F5), Hex(0x2563D9), Hex(0x5C9DFA), 0.22, 0.45};
      case kHover: return {Hex(0x529AFF), Hex(0x2F70E6), Hex(0x7BB2FF), 0.28, 0.50};
      case kPressed: return {Hex(0x1E52B8), Hex(0x2760CC), Hex(0x3A74DA), 0.0, 0.25};
      case kDisabled: return {Hex(0x2E3B54, 0.85), Hex(0x29344A, 0.85), Hex(0x384868, 0.85), 0.0, 0.15};
    }
  }
  switch (state) {
    case kNormal: return {Hex(0x394052), Hex(0x2B303D), Hex(0x4A5367), 0.10, 0.45};
    case kHover: return {Hex(0x454E64), Hex(0x343A4A), Hex(0x5F6A85), 0.14, 0.50};
    case kPressed: return {Hex(0x22262F), Hex(0x2A2F3B), Hex(0x3D4556), 0.0, 0.25};
    case kDisabled: return {Hex(0x2A2E38, 0.85), Hex(0x262A33, 0.85), Hex(0x323743, 0.85), 0.0, 0.15};
  }
  return {};
}

// A raised surface (button, closed combo box) filling `body`.
void RaisedSurface(cairo_t* cr, const Box& body, const SurfaceLook& look, State state) {
  if (look.shadow > 0) SoftShadow(cr, body, 2, 2.5, look.shadow);
  body.Path(cr);
  SetVerticalGradient(cr, body.y, body.y + body.h, look.top, look.bottom);
  cairo_fill(cr);
  if (state == kPressed) TopInnerShadow(cr, body, 10, 0.35);
  if (look.sheen > 0) TopSheen(cr, body, 2, look.sheen, body.h * 0.6);
  InnerBorder(cr, body, 2, look.border);
}

// ---------------------------------------------------------------------------
// The atlases

// Buttons: rows of left 36, middle 6, right 36 by 72, one row per state.
// The visible body keeps 10 pixels of air left and right (5 on screen), so
// the Install button between Browse and Cancel, which overlap it by five
// design pixels, stands apart from them; that air is transparent and does
// not take clicks.
void DrawButtons(Atlas& atlas, bool accent) {
  for (int s = 0; s < 4; ++s) {
    const State state = static_cast<State>(s);
    Canvas skin(78, 72);
    const Box body{10, 3, 58, 64, 12};
    RaisedSurface(skin.cr(), body, ButtonLook(state, accent), state);
    atlas.PlaceGrid(skin, {36, 6, 36}, {72}, 0, 1 + 73 * s);
  }
}

// Check box squares of 36 (drawn at 18): 0 unchecked, 1 checked, 2 and 3 the
// same pressed, 4 and 5 under the mouse, 6 disabled; 7 (not drawn by the
// launcher) disabled and checked.
void DrawCheckBox(Canvas& skin, bool checked, State state) {
  cairo_t* cr = skin.cr();
  const Box box{2, 2, 32, 32, 7};
  SoftShadow(cr, box, 1, 1.5, state == kDisabled ? 0.1 : 0.3);
  Rgba fillTop{}, fillBottom{}, border{};
  if (checked) {
    switch (state) {
      case kNormal: fillTop = Hex(0x4A94FF), fillBottom = kAccentDeep, border = Hex(0x5C9DFA); break;
      case kHover: fillTop = Hex(0x66A8FF), fillBottom = Hex(0x3476EA), border = Hex(0x8ABDFF); break;
      case kPressed: fillTop = Hex(0x1E52B8), fillBottom = Hex(0x2A64D0), border = Hex(0x3A74DA); break;
      case kDisabled: fillTop = Hex(0x2E3B54), fillBottom = Hex(0x29344A), border = Hex(0x384868); break;
    }
  } else {
    switch (state) {
      case kNormal: fillTop = Hex(0x13161C), fillBottom = Hex(0x1A1E26), border = Hex(0x5A6376); break;
      case kHover: fillTop = Hex(0x1A1E27), fillBottom = Hex(0x222733), border = Hex(0x9AA4B8); break;
      case kPressed: fillTop = Hex(0x0E1015), fillBottom = Hex(0x151820), border = kAccentLight; break;
      case kDisabled: fillTop = Hex(0x1C1F25), fillBottom = Hex(0x1C1F25), border = Hex(0x343944); break;
    }
  }
  box.Path(cr);
  SetVerticalGradient(cr, box.y, box.y + box.h, fillTop, fillBottom);
  cairo_fill(cr);
  if (!checked) TopInnerShadow(cr, box, 8, state == kDisabled ? 0.1 : 0.4);
  InnerBorder(cr, box, 2.5, border);
  if (checked) {
    // The tick: a short and a long stroke, heavy enough to read at 18 pixels.
    cairo_move_to(cr, 9.5, 18.5);
    cairo_line_to(cr, 15.5, 24.5);
    cairo_line_to(cr, 26.5, 12);
    cairo_set_line_width(cr, 4.5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetColor(cr, state == kDisabled ? Hex(0x8A93A6) : Hex(0xFFFFFF));
    cairo_stroke(cr);
  }
}

void DrawCheckBoxes(Atlas& atlas) {
  struct Square {
    bool checked;
    State state;
  };
  const Square squares[8] = {{false, kNormal},   {true, kNormal}, {false, kPressed}, {true, kPressed},
                             {false, kHover},    {true, kHover},  {false, kDisabled}, {true, kDisabled}};
  for (int i = 0; i < 8; ++i) {
    Canvas skin(36, 36);
    DrawCheckBox(skin, squares[i].checked, squares[i].state);
    atlas.Place(skin, 0, 0, 36, 36, 0, 1 + 37 * i);
  }
}

// The link's skins: nine pieces of 2 by 2 per state. An almost invisible
// background that still has alpha, so the whole link is clickable; the
// disabled skin keeps only its centre.
void DrawLink(Atlas& atlas) {
  const Rgba fills[4] = {Hex(0x000000, 32 / 255.0), Hex(0xFFFFFF, 16 / 255.0), Hex(0x000000, 64 / 255.0),
                         Hex(0x000000, 32 / 255.0)};
  for (int s = 0; s < 4; ++s) {
    Canvas skin(6, 6);
    cairo_t* cr = skin.cr();
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    SetColor(cr, fills[s]);
    if (s == kDisabled) {
      cairo_rectangle(cr, 2, 2, 2, 2);
    } else {
      cairo_rectangle(cr, 0, 0, 6, 6);
    }
    cairo_fill(cr);
    atlas.PlaceGrid(skin, {2, 2, 2}, {2, 2, 2}, 0, 1 + 9 * s);
  }
}

// The language box: left 24, middle 1, right 56 by 72 per state; the right
// piece holds the drop-down chevron behind a faint divider. State 2 is the
// open box: accent border, chevron pointing up.
void DrawComboBox(Atlas& atlas) {
  for (int s = 0; s < 4; ++s) {
    const State state = static_cast<State>(s);
    Canvas skin(81, 72);
    cairo_t* cr = skin.cr();
    const Box body{2, 3, 77, 64, 12};
    SurfaceLook look = ButtonLook(state, false);
    if (state == kPressed) look = {Hex(0x262B36), Hex(0x2C3240), kAccentLight, 0.0, 0.35};
    RaisedSurface(cr, body, look, state == kPressed ? kNormal : state);
    // Divider at the left of the arrow area (the right piece starts at 25).
    cairo_rectangle(cr, 28, 18, 2, 36);
    SetColor(cr, Hex(0xFFFFFF, state == kDisabled ? 0.04 : 0.08));
    cairo_fill(cr);
    const double cx = 53.5;
    const double cy = 35.5;
    const double dy = state == kPressed ? -4.5 : 4.5;
    cairo_move_to(cr, cx - 9, cy - dy);
    cairo_line_to(cr, cx, cy + dy);
    cairo_line_to(cr, cx + 9, cy - dy);
    cairo_set_line_width(cr, 4);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    const Rgba arrows[4] = {Hex(0xC3CBDA), Hex(0xFFFFFF), kAccentLight, Hex(0x5C6475)};
    SetColor(cr, arrows[s]);
    cairo_stroke(cr);
    atlas.PlaceGrid(skin, {24, 1, 56}, {72}, 0, 1 + 73 * s);
  }
}

// Flag placeholders: seven fully transparent 1 by 1 pieces.
void DrawFlags(Atlas& atlas) {
  Canvas skin(1, 1);  // a new surface is transparent
  for (int i = 0; i < 7; ++i) atlas.Place(skin, 0, 0, 1, 1, 0, 1 + 2 * i);
}

// A floating panel (drop-down list, tool tip): columns 20, 6, 20 and rows
// 12, 184, 28, a soft shadow in the margins below and beside it.
void DrawDropPanel(Atlas& atlas) {
  Canvas skin(46, 224);
  cairo_t* cr = skin.cr();
  const Box body{4, 2, 38, 212, 10};
  SoftShadow(cr, body, 3, 4, 0.55);
  body.Path(cr);
  SetVerticalGradient(cr, body.y, body.y + body.h, Hex(0x2A303C), Hex(0x222731));
  cairo_fill(cr);
  TopSheen(cr, body, 2, 0.08, 24);
  InnerBorder(cr, body, 2, Hex(0xFFFFFF, 0.10));
  atlas.PlaceGrid(skin, {20, 6, 20}, {12, 184, 28}, 0, 1);
}

// The shortcut panel of the install page: a faintly lighter inset with a
// hairline border; columns 8, 6, 8 and rows 8, 16, 8.
void DrawBorderPanel(Atlas& atlas) {
  Canvas skin(22, 32);
  cairo_t* cr = skin.cr();
  const Box body{0, 0, 22, 32, 8};
  body.Path(cr);
  SetColor(cr, Hex(0xFFFFFF, 0.035));
  cairo_fill(cr);
  InnerBorder(cr, body, 2, Hex(0xFFFFFF, 0.08));
  atlas.PlaceGrid(skin, {8, 6, 8}, {8, 16, 8}, 0, 1);
}

// The window's page background: columns 28, 6, 28 and rows 20, 168, 36. A
// rounded dark card with a hairline border, an accent line along its top
// and a shadow in the transparent margins (the window is layered, so the
// desktop shows through them).
void DrawPageBackground(Atlas& atlas) {
  Canvas skin(62, 224);
  cairo_t* cr = skin.cr();
  const Box body{8, 4, 46, 210, 16};
  SoftShadow(cr, body, 3, 6, 0.6);
  body.Path(cr);
  SetVerticalGradient(cr, body.y, body.y + body.h, Hex(0x1F2430), Hex(0x14171E));
  cairo_fill(cr);
  cairo_save(cr);
  body.Path(cr);
  cairo_clip(cr);
  cairo_rectangle(cr, body.x, body.y, body.w, 3);
  SetColor(cr, WithAlpha(kAccent, 0.85));
  cairo_fill(cr);
  cairo_restore(cr);
  TopSheen(cr, body.Inset(3), 2, 0.05, 40);
  InnerBorder(cr, body, 2, Hex(0xFFFFFF, 0.07));
  atlas.PlaceGrid(skin, {28, 6, 28}, {20, 168, 36}, 0, 1);
}

// The edit field: columns 24, 6, 24 and rows 20, 16, 28 per state; a sunken
// dark well. State 2 is the focused field (accent border with a glow).
void DrawEdit(Atlas& atlas) {
  for (int s = 0; s < 4; ++s) {
    Canvas skin(54, 64);
    cairo_t* cr = skin.cr();
    const Box body{2, 2, 50, 58, 10};
    if (s == kPressed) {
      InnerBorder(cr, Box{0, 0, 54, 62, 12}, 2, WithAlpha(kAccent, 0.30));
    }
    body.Path(cr);
    SetVerticalGradient(cr, body.y, body.y + body.h, Hex(s == kDisabled ? 0x171A20 : 0x101318),
                        Hex(s == kDisabled ? 0x171A20 : 0x161A21));
    cairo_fill(cr);
    TopInnerShadow(cr, body, 8, s == kDisabled ? 0.15 : 0.45);
    const Rgba borders[4] = {Hex(0x394152), Hex(0x525C72), kAccent, Hex(0x2A2F3A)};
    InnerBorder(cr, body, 2, borders[s]);
    // A faint light line under the well lifts it off the page.
    cairo_move_to(cr, body.x + body.r, body.y + body.h + 1);
    cairo_line_to(cr, body.x + body.w - body.r, body.y + body.h + 1);
    cairo_set_line_width(cr, 2);
    SetColor(cr, Hex(0xFFFFFF, s == kDisabled ? 0.0 : 0.04));
    cairo_stroke(cr);
    atlas.PlaceGrid(skin, {24, 6, 24}, {20, 16, 28}, 0, 1 + 67 * s);
  }
}

// Progress: the fill (three 6 by 12 pieces) above the track (three more).
// The wizard's step indicator: three marks (done, current, waiting) and two
// bars (between done steps, towards waiting ones), in one row.
void DrawSteps(Atlas& atlas) {
  constexpr int kMark = 40;
  const auto mark = [&](int dx, Rgba fill, Rgba ring, bool check) {
    Canvas skin(kMark, kMark);
    cairo_t* cr = skin.cr();
    cairo_arc(cr, kMark / 2.0, kMark / 2.0, kMark / 2.0 - 2, 0, 2 * kPi);
    SetColor(cr, fill);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 3);
    SetColor(cr, ring);
    cairo_stroke(cr);
    if (check) {
      // A tick for a step behind.
      cairo_move_to(cr, kMark * 0.30, kMark * 0.52);
      cairo_line_to(cr, kMark * 0.45, kMark * 0.66);
      cairo_line_to(cr, kMark * 0.71, kMark * 0.36);
      cairo_set_line_width(cr, 4);
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
      cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
      SetColor(cr, Hex(0xFFFFFF));
      cairo_stroke(cr);
    }
    atlas.Place(skin, 0, 0, kMark, kMark, dx, 1);
  };
  mark(0, kAccentDeep, kAccentLight, true);
  {
    Canvas skin(kMark, kMark);
    cairo_t* cr = skin.cr();
    cairo_arc(cr, kMark / 2.0, kMark / 2.0, kMark / 2.0 - 1, 0, 2 * kPi);
    SetColor(cr, WithAlpha(kAccentLight, 0.30));
    cairo_fill(cr);
    cairo_arc(cr, kMark / 2.0, kMark / 2.0, kMark / 2.0 - 7, 0, 2 * kPi);
    SetVerticalGradient(cr, 7, kMark - 7, kAccentLight, kAccentDeep);
    cairo_fill(cr);
    atlas.Place(skin, 0, 0, kMark, kMark, kMark + 1, 1);
  }
  mark(2 * (kMark + 1), Hex(0x1A1E27), Hex(0x3A4252), false);
  const auto bar = [&](int dx, Rgba color) {
    Canvas skin(8, 8);
    cairo_t* cr = skin.cr();
    cairo_rectangle(cr, 0, 0, 8, 8);
    SetColor(cr, color);
    cairo_fill(cr);
    atlas.Place(skin, 0, 0, 8, 8, dx, 1);
  };
  bar(3 * (kMark + 1), kAccent);
  bar(3 * (kMark + 1) + 9, Hex(0x3A4252));
}

void DrawProgress(Atlas& atlas) {
  {
    Canvas fill(18, 12);
    cairo_t* cr = fill.cr();
    const Box body{0, 0, 18, 12, 6};
    body.Path(cr);
    SetVerticalGradient(cr, 0, 12, kAccentLight, kAccentDeep);
    cairo_fill(cr);
    TopSheen(cr, body, 1.5, 0.35, 6);
    atlas.PlaceGrid(fill, {6, 6, 6}, {12}, 0, 1);
  }
  {
    Canvas track(18, 12);
    cairo_t* cr = track.cr();
    const Box body{0, 0, 18, 12, 6};
    body.Path(cr);
    SetVerticalGradient(cr, 0, 12, Hex(0x0B0D11), Hex(0x151820));
    cairo_fill(cr);
    InnerBorder(cr, body, 1.5, Hex(0xFFFFFF, 0.07));
    atlas.PlaceGrid(track, {6, 6, 6}, {12}, 0, 14);
  }
}

// A capsule along the long side of a `w` by `h` canvas, `thickness` across,
// centred; vertical when h >= w.
void Capsule(Canvas& canvas, double thickness, double inset, Rgba color) {
  cairo_t* cr = canvas.cr();
  const double w = canvas.Width();
  const double h = canvas.Height();
  if (h >= w) {
    RoundedRect(cr, (w - thickness) / 2, inset, thickness, h - 2 * inset, thickness / 2);
  } else {
    RoundedRect(cr, inset, (h - thickness) / 2, w - 2 * inset, thickness, thickness / 2);
  }
  SetColor(cr, color);
  cairo_fill(cr);
}

// The scroll bar, 122 by 98. Launcher pieces: 0 to 5 (12 by 1, piece 0 sets
// the bar width), 6 to 14 the thumb's tops, middles and bottoms, 39 to 47
// the track's, each in the states normal, hover, dragging. The rest belong
// to a horizontal bar that this theme never shows; they are drawn alike so
// the atlas stays complete.
void DrawScroll(Atlas& atlas) {
  const Rgba track[3] = {Hex(0xFFFFFF, 0.07), Hex(0xFFFFFF, 0.10), Hex(0xFFFFFF, 0.12)};
  const Rgba thumb[3] = {Hex(0xA9B3C6, 0.55), Hex(0xC9D2E2, 0.80), kAccentLight};
  const double thumbThickness[3] = {8, 10, 10};
  // 0..5: rows of the bar's width.
  for (int i = 0; i < 6; ++i) {
    Canvas line(12, 1);
    cairo_rectangle(line.cr(), 2, 0, 8, 1);
    SetColor(line.cr(), track[i % 3]);
    cairo_fill(line.cr());
    atlas.Place(line, 0, 0, 12, 1, 13 * i, 1);
  }
  // 6..14: thumb tops (12), middles (8), bottoms (12), one column per state.
  for (int s = 0; s < 3; ++s) {
    Canvas skin(12, 32);
    Capsule(skin, thumbThickness[s], 1, thumb[s]);
    atlas.Place(skin, 0, 0, 12, 12, 13 * s, 3);
    atlas.Place(skin, 0, 12, 12, 8, 13 * s, 16);
    atlas.Place(skin, 0, 20, 12, 12, 13 * s, 25);
  }
  // 15..29: the horizontal thumb (left 12, middle 8, right 12 by 12) per
  // state, then six 1 by 12 pieces.
  for (int s = 0; s < 3; ++s) {
    Canvas skin(32, 12);
    Capsule(skin, thumbThickness[s], 1, thumb[s]);
    atlas.PlaceGrid(skin, {12, 8, 12}, {12}, 35 * s, 38);
  }
  for (int i = 0; i < 6; ++i) {
    Canvas line(1, 12);
    cairo_rectangle(line.cr(), 0, 2, 1, 8);
    SetColor(line.cr(), track[i % 3]);
    cairo_fill(line.cr());
    atlas.Place(line, 0, 0, 1, 12, 105 + 2 * i, 38);
  }
  // 30..38: the horizontal track (left, middle, right 8 by 12) per state.
  for (int s = 0; s < 3; ++s) {
    Canvas skin(24, 12);
    Capsule(skin, 8, 1, track[s]);
    atlas.PlaceGrid(skin, {8, 8, 8}, {12}, 27 * s, 51);
  }
  // 39..47: track tops, middles, bottoms (12 by 8), one column per state.
  for (int s = 0; s < 3; ++s) {
    Canvas skin(12, 24);
    Capsule(skin, 8, 1, track[s]);
    atlas.Place(skin, 0, 0, 12, 8, 13 * s, 64);
    atlas.Place(skin, 0, 8, 12, 8, 13 * s, 73);
    atlas.Place(skin, 0, 16, 12, 8, 13 * s, 82);
  }
  // 48..56: the horizontal bar's disabled pieces, 12 by 7.
  for (int i = 0; i < 9; ++i) {
    Canvas skin(12, 7);
    cairo_rectangle(skin.cr(), 0, 1.5, 12, 4);
    SetColor(skin.cr(), Hex(0xFFFFFF, 0.04));
    cairo_fill(skin.cr());
    atlas.Place(skin, 0, 0, 12, 7, 13 * i, 91);
  }
}

// The error sign of the message page, 128 by 128 (shown at about 61): a red
// disc with a white exclamation mark.
void DrawError(Atlas& atlas) {
  Canvas skin(128, 128);
  cairo_t* cr = skin.cr();
  const Box disc{10, 8, 108, 108, 54};
  SoftShadow(cr, disc, 3, 5, 0.45);
  cairo_arc(cr, 64, 62, 54, 0, 2 * kPi);
  SetVerticalGradient(cr, 8, 116, Hex(0xFF6A6A), Hex(0xD33343));
  cairo_fill(cr);
  cairo_arc(cr, 64, 62, 52.5, 0, 2 * kPi);
  cairo_set_line_width(cr, 3);
  SetColor(cr, Hex(0xFFFFFF, 0.18));
  cairo_stroke(cr);
  // The mark: a bar narrowing downwards and a dot.
  cairo_move_to(cr, 56, 30);
  cairo_line_to(cr, 72, 30);
  cairo_line_to(cr, 68.5, 76);
  cairo_line_to(cr, 59.5, 76);
  cairo_close_path(cr);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_width(cr, 4);
  SetColor(cr, Hex(0xFFFFFF));
  cairo_fill_preserve(cr);
  cairo_stroke(cr);
  cairo_arc(cr, 64, 92, 8.5, 0, 2 * kPi);
  cairo_fill(cr);
  atlas.Place(skin, 0, 0, 128, 128, 0, 1);
}

// ---------------------------------------------------------------------------
// The logo: an emblem and the product name "Skyward Tides" in a geometric
// capital alphabet of our own, built from strokes (no font involved).

// Relative width of a letter (of its cap height).
double LetterWidth(char letter, double h, double stroke) {
  switch (letter) {
    case 'S': return 0.60 * h;
    case 'K': return 0.62 * h;
    case 'Y': return 0.70 * h;
    case 'W': return 0.98 * h;
    case 'A': return 0.74 * h;
    case 'R': return 0.62 * h;
    case 'D': return 0.66 * h;
    case 'T': return 0.62 * h;
    case 'I': return stroke;
    case 'E': return 0.54 * h;
    default: return 0.5 * h;
  }
}

// A segment whose ends on the cap line or the base line run on past it, so
// the clip of the line of text cuts them flat.
void Segment(cairo_t* cr, double x1, double y1, double x2, double y2, double top, double bottom, double stroke) {
  const double length = std::hypot(x2 - x1, y2 - y1);
  const double ux = (x2 - x1) / length;
  const double uy = (y2 - y1) / length;
  const auto onEdge = [&](double y) { return std::fabs(y - top) < 0.01 || std::fabs(y - bottom) < 0.01; };
  if (onEdge(y1)) {
    x1 -= ux * stroke * 2;
    y1 -= uy * stroke * 2;
  }
  if (onEdge(y2)) {
    x2 += ux * stroke * 2;
    y2 += uy * stroke * 2;
  }
  cairo_move_to(cr, x1, y1);
  cairo_line_to(cr, x2, y2);
}

// Adds the strokes of one capital with its box at (x, y), cap height h.
void LetterPath(cairo_t* cr, char letter, double x, double y, double h, double stroke) {
  const double w = LetterWidth(letter, h, stroke);
  const double c = stroke / 2;
  const double top = y;
  const double bottom = y + h;
  switch (letter) {
    case 'S': {
      const double a = (w - stroke) / 2;
      const double b = (h - stroke) / 4;
      const double cx = x + w / 2;
      cairo_save(cr);
      cairo_translate(cr, cx, y + c + b);
      cairo_scale(cr, a, b);
      cairo_new_sub_path(cr);
      cairo_arc_negative(cr, 0, 0, 1, -0.2 * kPi, -1.5 * kPi);
      cairo_restore(cr);
      cairo_save(cr);
      cairo_translate(cr, cx, y + c + 3 * b);
      cairo_scale(cr, a, b);
      cairo_arc(cr, 0, 0, 1, -0.5 * kPi, 0.8 * kPi);
      cairo_restore(cr);
      break;
    }
    case 'K':
      Segment(cr, x + c, top, x + c, bottom, top, bottom, stroke);
      Segment(cr, x + w - c, top, x + c, y + h * 0.62, top, bottom, stroke);
      Segment(cr, x + c + (w - stroke) * 0.36, y + h * 0.44, x + w - c, bottom, top, bottom, stroke);
      break;
    case 'Y':
      Segment(cr, x + c, top, x + w / 2, y + h * 0.52, top, bottom, stroke);
      Segment(cr, x + w - c, top, x + w / 2, y + h * 0.52, top, bottom, stroke);
      Segment(cr, x + w / 2, y + h * 0.52, x + w / 2, bottom, top, bottom, stroke);
      break;
    case 'W':
      cairo_move_to(cr, x + c - stroke * 0.3, top - stroke * 1.2);
      cairo_line_to(cr, x + w * 0.27, bottom + stroke);
      cairo_line_to(cr, x + w / 2, y + h * 0.30);
      cairo_line_to(cr, x + w * 0.73, bottom + stroke);
      cairo_line_to(cr, x + w - c + stroke * 0.3, top - stroke * 1.2);
      break;
    case 'A': {
      cairo_move_to(cr, x + c - stroke * 0.4, bottom + stroke);
      cairo_line_to(cr, x + w / 2, top - stroke);
      cairo_line_to(cr, x + w - c + stroke * 0.4, bottom + stroke);
      const double t = 0.36;  // crossbar height from the base line, of h
      const double xl = x + c + (w / 2 - c) * t;
      const double xr = x + w - c - (w / 2 - c) * t;
      cairo_move_to(cr, xl, bottom - h * t);
      cairo_line_to(cr, xr, bottom - h * t);
      break;
    }
    case 'R': {
      const double bowl = h * 0.56;
      const double r = (bowl - stroke) / 2;
      Segment(cr, x + c, top, x + c, bottom, top, bottom, stroke);
      cairo_move_to(cr, x + c, y + c);
      cairo_line_to(cr, x + w - c - r, y + c);
      cairo_arc(cr, x + w - c - r, y + c + r, r, -kPi / 2, kPi / 2);
      cairo_line_to(cr, x + c, y + c + 2 * r);
      Segment(cr, x + c + (w - stroke) * 0.42, y + c + 2 * r, x + w - c, bottom, top, bottom, stroke);
      break;
    }
    case 'D': {
      const double r = (h - stroke) / 2;
      Segment(cr, x + c, top, x + c, bottom, top, bottom, stroke);
      cairo_move_to(cr, x + c, y + c);
      cairo_line_to(cr, x + w - c - r, y + c);
      cairo_arc(cr, x + w - c - r, y + h / 2, r, -kPi / 2, kPi / 2);
      cairo_line_to(cr, x + c, y + h - c);
      break;
    }
    case 'T':
      cairo_move_to(cr, x, y + c);
      cairo_line_to(cr, x + w, y + c);
      Segment(cr, x + w / 2, top, x + w / 2, bottom, top, bottom, stroke);
      break;
    case 'I':
      Segment(cr, x + c, top, x + c, bottom, top, bottom, stroke);
      break;
    case 'E':
      Segment(cr, x + c, top, x + c, bottom, top, bottom, stroke);
      cairo_move_to(cr, x + c, y + c);
      cairo_line_to(cr, x + w, y + c);
      cairo_move_to(cr, x + c, y + h / 2);
      cairo_line_to(cr, x + w * 0.86, y + h / 2);
      cairo_move_to(cr, x + c, y + h - c);
      cairo_line_to(cr, x + w, y + h - c);
      break;
    default:
      break;
  }
}

double WordWidth(std::string_view word, double h, double stroke, double tracking) {
  double width = 0;
  for (char letter : word) width += LetterWidth(letter, h, stroke) + tracking;
  return word.empty() ? 0 : width - tracking;
}

// Strokes `word` with its box at (x, y) in the current source.
void DrawWord(cairo_t* cr, std::string_view word, double x, double y, double h, double stroke, double tracking) {
  cairo_save(cr);
  cairo_rectangle(cr, x - h, y, WordWidth(word, h, stroke, tracking) + 2 * h, h);
  cairo_clip(cr);
  cairo_new_path(cr);
  for (char letter : word) {
    LetterPath(cr, letter, x, y, h, stroke);
    x += LetterWidth(letter, h, stroke) + tracking;
  }
  cairo_set_line_width(cr, stroke);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
  cairo_set_miter_limit(cr, 6);
  cairo_stroke(cr);
  cairo_restore(cr);
}

// The emblem: a ringed disc with a rising chevron (sky) over two waves
// (tides).
void DrawEmblem(cairo_t* cr, double cx, double cy, double r) {
  const Box outer{cx - r, cy - r, 2 * r, 2 * r, r};
  SoftShadow(cr, outer, 2, 4, 0.5);
  cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
  SetVerticalGradient(cr, cy - r, cy + r, kAccentLight, Hex(0x1D4FB8));
  cairo_fill(cr);
  const double inner = r - 6;
  cairo_arc(cr, cx, cy, inner, 0, 2 * kPi);
  SetVerticalGradient(cr, cy - inner, cy + inner, Hex(0x1C2230), Hex(0x0E1117));
  cairo_fill(cr);

  cairo_save(cr);
  cairo_arc(cr, cx, cy, inner - 1, 0, 2 * kPi);
  cairo_clip(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  // Chevron.
  cairo_move_to(cr, cx - r * 0.42, cy - r * 0.02);
  cairo_line_to(cr, cx, cy - r * 0.46);
  cairo_line_to(cr, cx + r * 0.42, cy - r * 0.02);
  cairo_set_line_width(cr, r * 0.17);
  SetColor(cr, Hex(0xFFFFFF));
  cairo_stroke(cr);
  // Two waves.
  const double waveY[2] = {cy + r * 0.28, cy + r * 0.54};
  const Rgba waveColor[2] = {Hex(0x8CC0FF), kAccent};
  for (int i = 0; i < 2; ++i) {
    const double left = cx - r;
    const double span = 2 * r;
    const double amplitude = r * 0.07;
    cairo_move_to(cr, left, waveY[i]);
    for (int k = 1; k <= 64; ++k) {
      const double t = k / 64.0;
      cairo_line_to(cr, left + span * t, waveY[i] + amplitude * std::sin(t * 4 * kPi + i * kPi / 2));
    }
    cairo_set_line_width(cr, r * 0.12);
    SetColor(cr, waveColor[i]);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
}

// 276 by 107 (shown at 138 by 53 on the pages).
void DrawLogo(Atlas& atlas) {
  Canvas skin(276, 107);
  cairo_t* cr = skin.cr();
  DrawEmblem(cr, 48, 53, 40);

  const double textLeft = 102;
  const double textRight = 272;
  const double h1 = 28;
  const double stroke1 = 6.5;
  const double tracking1 = 0.16 * h1;
  const double width1 = WordWidth("SKYWARD", h1, stroke1, tracking1);
  const double x1 = textLeft + (textRight - textLeft - width1) / 2;
  const double y1 = 26;
  // A soft dark halo keeps the name legible on any backdrop.
  cairo_push_group(cr);
  SetColor(cr, Hex(0x000000, 0.6));
  DrawWord(cr, "SKYWARD", x1, y1 + 2, h1, stroke1, tracking1);
  cairo_pop_group_to_source(cr);
  cairo_paint_with_alpha(cr, 0.6);
  SetVerticalGradient(cr, y1, y1 + h1, Hex(0xFFFFFF), Hex(0xC4CEDF));
  DrawWord(cr, "SKYWARD", x1, y1, h1, stroke1, tracking1);

  const double h2 = 16;
  const double stroke2 = 4;
  const double tracking2 = 0.55 * h2;
  const double width2 = WordWidth("TIDES", h2, stroke2, tracking2);
  const double x2 = x1 + (width1 - width2) / 2;
  const double y2 = y1 + h1 + 12;
  SetColor(cr, kAccentLight);
  DrawWord(cr, "TIDES", x2, y2, h2, stroke2, tracking2);
  // Hairlines to both sides of the second word.
  cairo_set_line_width(cr, 2);
  SetColor(cr, WithAlpha(kAccentLight, 0.6));
  cairo_move_to(cr, x1, y2 + h2 / 2);
  cairo_line_to(cr, x2 - 9, y2 + h2 / 2);
  cairo_move_to(cr, x2 + width2 + 9, y2 + h2 / 2);
  cairo_line_to(cr, x1 + width1, y2 + h2 / 2);
  cairo_stroke(cr);

  atlas.Place(skin, 0, 0, 276, 107, 0, 1);
}

// ---------------------------------------------------------------------------

struct AtlasSpec {
  const char* name;  // relative to the theme folder, "/" separated
  int width;
  int height;
  int pieces;
  std::function<void(Atlas&)> draw;
};

const std::vector<AtlasSpec>& AtlasSpecs() {
  static const std::vector<AtlasSpec> specs = {
      {"buttons/Stuff_button_medium.png", 80, 292, 12, [](Atlas& a) { DrawButtons(a, false); }},
      {"buttons/Stuff_button_medium_accent.png", 80, 292, 12, [](Atlas& a) { DrawButtons(a, true); }},
      {"buttons/Stuff_checkbox.png", 36, 296, 8, DrawCheckBoxes},
      {"buttons/button_link.png", 8, 36, 36, DrawLink},
      {"combobox/Stuff_combo_medium.png", 83, 292, 12, DrawComboBox},
      {"combobox/flagsMain.png", 1, 15, 7, DrawFlags},
      {"dialog/Stuff_bb_border.png", 24, 36, 9, DrawBorderPanel},
      {"dialog/Stuff_bb_combo_drop.png", 48, 228, 9, DrawDropPanel},
      {"dialog/Stuff_bb_level0.png", 64, 227, 9, DrawPageBackground},
      {"dialog/Stuff_steps.png", 140, 42, 5, DrawSteps},
      {"dialog/error.png", 128, 129, 1, DrawError},
      {"dialog/logo.png", 276, 108, 1, DrawLogo},
      {"edit/Stuff_edit.png", 56, 268, 36, DrawEdit},
      {"progress/Stuff_progress.png", 20, 26, 6, DrawProgress},
      {"scroll/Stuff_scroll.png", 122, 98, 57, DrawScroll},
  };
  return specs;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Fail("usage: theme_art <out folder>");
  const std::string folder = argv[1];
  int result = 0;
  for (const AtlasSpec& spec : AtlasSpecs()) {
    Atlas atlas(spec.width, spec.height);
    spec.draw(atlas);
    std::string png;
    std::string error;
    if (atlas.Error().empty() && atlas.Pieces() != spec.pieces) {
      error = std::to_string(atlas.Pieces()) + " pieces instead of " + std::to_string(spec.pieces);
    } else {
      atlas.EncodePng(png, error);
    }
    const std::string path = platform::JoinPath(folder, spec.name);
    if (!error.empty()) {
      result = Fail(std::string(spec.name) + ": " + error);
      continue;
    }
    if (!platform::CreateDirectories(platform::ParentPath(path)) || !platform::WriteFileAtomic(path, png)) {
      result = Fail(path + ": cannot write");
    }
  }
  cairo_debug_reset_static_data();
  return result;
}
