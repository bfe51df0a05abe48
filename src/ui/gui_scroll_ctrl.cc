#include "ui/gui_scroll_ctrl.h"

#include <algorithm>
#include <cmath>

#include "ui/dpi_factor.h"
#include "ui/gui_text_lines_ctrl.h"
#include "ui/skin_drawing.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace ui {
namespace {

// First pieces of the bar's parts; the state is added to each.
constexpr size_t kThumbTop = 6;
constexpr size_t kThumbMiddle = 9;
constexpr size_t kThumbBottom = 12;
constexpr size_t kTrackTop = 39;
constexpr size_t kTrackMiddle = 42;
constexpr size_t kTrackBottom = 45;

// Length of a piece's inner side at the profile's zoom and the DPI factor.
int ScaledInner(int inner, double zoom) { return static_cast<int>(inner * zoom * DpiFactor()); }

// Top and bottom pieces at their scaled height, the middle stretched
// between them, all as wide as the rectangle.
void DrawVerticalThreeSlice(cairo_t* cr, const ThemeTexture& texture, size_t top, size_t middle,
                            size_t bottom, const GuiRect& rect, double zoom) {
  const TextureImage* topPiece = texture.Image(top);
  const TextureImage* middlePiece = texture.Image(middle);
  const TextureImage* bottomPiece = texture.Image(bottom);
  if (!topPiece || !middlePiece || !bottomPiece || rect.Empty()) return;
  const int topHeight = ScaledInner(topPiece->InnerRect().height, zoom);
  const int bottomHeight = ScaledInner(bottomPiece->InnerRect().height, zoom);
  cairo_save(cr);
  cairo_rectangle(cr, rect.x, rect.y, rect.width, rect.height);
  cairo_clip(cr);
  DrawPiece(cr, *topPiece, rect.x, rect.y, rect.width, topHeight);
  const int middleHeight = rect.height - topHeight - bottomHeight;
  if (middleHeight > 0) DrawPiece(cr, *middlePiece, rect.x, rect.y + topHeight, rect.width, middleHeight);
  DrawPiece(cr, *bottomPiece, rect.x, rect.y + rect.height - bottomHeight, rect.width, bottomHeight);
  cairo_restore(cr);
}

}  // namespace

CGuiScrollCtrl::CGuiScrollCtrl() = default;
CGuiScrollCtrl::~CGuiScrollCtrl() = default;

GuiControl* CGuiScrollCtrl::Content() const { return children.size() == 1 ? children.front().get() : nullptr; }

int CGuiScrollCtrl::BarWidth() const {
  if (!profile || !profile->texture) return 0;
  const TextureImage* piece = profile->texture->Image(0);
  if (!piece) return 0;
  return std::clamp(ScaledInner(piece->InnerRect().width, profile->zoom), 0, std::max(0, screenWidth));
}

int CGuiScrollCtrl::ThumbEndsHeight() const {
  if (!profile || !profile->texture) return 0;
  const TextureImage* top = profile->texture->Image(kThumbTop);
  const TextureImage* bottom = profile->texture->Image(kThumbBottom);
  if (!top || !bottom) return 0;
  return ScaledInner(top->InnerRect().height, profile->zoom) + ScaledInner(bottom->InnerRect().height, profile->zoom);
}

int CGuiScrollCtrl::StateIndex() const {
  if (!enabled) return 3;
  if (dragging) return 2;
  if (hover) return 1;
  return 0;
}

bool CGuiScrollCtrl::SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) {
  if (!GuiControl::SetProfile(newProfile, newParent)) return false;
  layoutNeeded = true;
  return true;
}

void CGuiScrollCtrl::Layout() {
  GuiControl::Layout();
  layoutNeeded = true;
  UpdateLayout();
}

void CGuiScrollCtrl::SizeChanged() { layoutNeeded = true; }

void CGuiScrollCtrl::UpdateLayout() {
  // A text area measures itself lazily; its height decides the range.
  if (auto* lines = dynamic_cast<CGuiTextLinesCtrl*>(Content())) lines->MeasureIfNeeded();
  if (!layoutNeeded) return;
  layoutNeeded = false;
  GuiControl* content = Content();
  const int barWidth = BarWidth();
  trackRect = {screenX + screenWidth - barWidth, screenY, barWidth, screenHeight};
  geometry = ScrollGeometry(screenHeight, content ? content->screenHeight : 0, ThumbEndsHeight());
  scrollable = geometry.Scrollable() && barWidth > 0;
  if (!scrollable) dragging = false;
  ApplyOffset(contentOffset);
}

void CGuiScrollCtrl::ApplyOffset(int offset) {
  contentOffset = scrollable ? geometry.ClampOffset(offset) : 0;
  const int thumbTop = scrollable ? geometry.ThumbTopForOffset(contentOffset) : 0;
  thumbRect = {trackRect.x, trackRect.y + thumbTop, trackRect.width, geometry.ThumbHeight()};
  if (GuiControl* content = Content()) {
    content->scrollX = 0;
    content->scrollY = static_cast<int>(std::lround(contentOffset / DpiFactor()));
    content->Layout();
  }
}

void CGuiScrollCtrl::Paint(cairo_t* cr) {
  if (!visible || !profile || !profile->texture) return;
  UpdateLayout();
  cairo_save(cr);
  cairo_rectangle(cr, screenX, screenY, screenWidth, screenHeight);
  cairo_clip(cr);
  if (GuiControl* content = Content(); content && content->visible) content->Paint(cr);
  if (scrollable) {
    // The texture has bar pieces for normal, hover and dragging only; a
    // disabled bar is drawn as a normal one.
    const int state = StateIndex();
    const size_t s = state == 3 ? 0 : static_cast<size_t>(state);
    const ThemeTexture& texture = *profile->texture;
    DrawVerticalThreeSlice(cr, texture, kTrackTop + s, kTrackMiddle + s, kTrackBottom + s, trackRect, profile->zoom);
    DrawVerticalThreeSlice(cr, texture, kThumbTop + s, kThumbMiddle + s, kThumbBottom + s, thumbRect, profile->zoom);
  }
  cairo_restore(cr);
}

GuiControl* CGuiScrollCtrl::ControlAt(GuiPoint point) {
  if (!visible || !HitTest(point.x, point.y)) return nullptr;
  UpdateLayout();
  if (scrollable && trackRect.Contains(point.x, point.y)) return enabled ? this : nullptr;
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (GuiControl* hit = (*it)->ControlAt(point)) return hit;
  }
  return nullptr;
}

GuiControl* CGuiScrollCtrl::WheelTargetAt(GuiPoint point) {
  if (GuiControl* target = GuiControl::WheelTargetAt(point)) return target;
  return HitTest(point.x, point.y) ? this : nullptr;
}

void CGuiScrollCtrl::OnWheel(int delta) {
  UpdateLayout();
  if (!scrollable || dragging || delta == 0) return;
  ApplyOffset(contentOffset + (delta > 0 ? kWheelStep : -kWheelStep));
}

void CGuiScrollCtrl::OnLButtonDown(GuiPoint point) {
  UpdateLayout();
  if (!enabled || !scrollable || !trackRect.Contains(point.x, point.y)) return;
  pressed = true;
  dragging = true;
  dragStart = point;
  dragStartThumbTop = thumbRect.y - trackRect.y;
  RequestCapture(true);
}

void CGuiScrollCtrl::OnMouseMove(GuiPoint point) {
  hover = true;
  if (!dragging) return;
  UpdateLayout();
  const int thumbTop = std::clamp(dragStartThumbTop + (point.y - dragStart.y), 0, geometry.ThumbTravel());
  ApplyOffset(geometry.OffsetForThumbTop(thumbTop));
  // The thumb stays under the mouse rather than snapping to the offset's
  // rounded position.
  thumbRect.y = trackRect.y + thumbTop;
}

void CGuiScrollCtrl::EndDrag() {
  if (!dragging) return;
  dragging = false;
  RequestCapture(false);
}

void CGuiScrollCtrl::OnLButtonUp(GuiPoint) {
  if (pressed) NotifyCommand();
  pressed = false;
  EndDrag();
}

void CGuiScrollCtrl::OnMouseLeave() {
  hover = false;
  pressed = false;
  EndDrag();
}

void CGuiScrollCtrl::OnCaptured(bool isCaptured) {
  if (isCaptured) return;
  dragging = false;
  pressed = false;
}

void CGuiScrollCtrl::ResetContent() {
  contentOffset = 0;
  thumbRect.y = trackRect.y;
  layoutNeeded = true;
}

}  // namespace ui
