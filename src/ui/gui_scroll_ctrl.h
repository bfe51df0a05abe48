// CGuiScrollCtrl: a vertically scrolling container with exactly one child,
// its content (the text area of the message and uninstall pages). The bar
// on the right shows only while the content is taller than the view: a
// three-piece track and thumb per state from the scroll texture. The wheel
// moves the content 5 pixels a notch; dragging the thumb moves it in
// proportion; both stay within the content's range.
//
// Threading: window (main) thread only; nothing blocks. Errors: none are
// reported; an area without texture draws nothing, with more than one child
// it paints none of them, with no content or content no taller than the
// view it is simply not scrollable.
#pragma once

#include <cairo.h>

#include "ui/gui_control.h"
#include "ui/scroll_geometry.h"

namespace ui {

class CGuiScrollCtrl : public GuiControl {
 public:
  // Wheel step in pixels per notch.
  static constexpr int kWheelStep = 5;

  CGuiScrollCtrl();
  ~CGuiScrollCtrl() override;

  // The single child, or null when there is none or more than one.
  GuiControl* Content() const;
  // Recomputes the layout now if a change asked for it (Paint does this
  // too); tests and the window may call it before reading the rectangles.
  void UpdateLayout();

  int ContentOffset() const { return contentOffset; }
  bool Scrollable() const { return scrollable; }
  const GuiRect& TrackRect() const { return trackRect; }
  const GuiRect& ThumbRect() const { return thumbRect; }
  const ScrollGeometry& Geometry() const { return geometry; }
  // 3 disabled, 2 dragging, 1 hover, 0 normal.
  int StateIndex() const;

  // --- GuiControl ---------------------------------------------------------
  bool SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) override;
  void Layout() override;
  void SizeChanged() override;
  void Paint(cairo_t* cr) override;
  GuiControl* ControlAt(GuiPoint point) override;
  GuiControl* WheelTargetAt(GuiPoint point) override;
  void OnWheel(int delta) override;
  void OnMouseMove(GuiPoint point) override;
  void OnLButtonDown(GuiPoint point) override;
  void OnLButtonUp(GuiPoint point) override;
  void OnMouseLeave() override;
  void OnCaptured(bool isCaptured) override;
  void ResetContent() override;

  // --- Fields ----------------------------------------------------------------
  int contentOffset = 0;
  GuiRect trackRect;
  GuiRect thumbRect;
  bool scrollable = false;
  bool dragging = false;
  bool hover = false;
  bool pressed = false;
  bool layoutNeeded = true;

 private:
  // Bar width from texture piece 0; 0 without one.
  int BarWidth() const;
  // Heights of the thumb's end pieces at the current zoom and DPI.
  int ThumbEndsHeight() const;
  void ApplyOffset(int offset);
  void EndDrag();

  ScrollGeometry geometry;
  GuiPoint dragStart;
  int dragStartThumbTop = 0;
};

}  // namespace ui
