#include "ui/gui_bitmap_border_step_ctrl.h"

#include "ui/gui_tool_tip_ctrl.h"

namespace ui {

CGuiBitmapBorderStepCtrl::CGuiBitmapBorderStepCtrl() = default;

void CGuiBitmapBorderStepCtrl::SetSize(int index, GuiSize size) {
  if (index < 0 || index >= kSizeCount) return;
  sizes[index] = size;
}

bool CGuiBitmapBorderStepCtrl::ApplySize(int index) {
  if (index < 0 || index >= kSizeCount) return false;
  sizeIndex = index;
  sizeApplied = true;
  designWidth = sizes[index].width;
  designHeight = sizes[index].height;
  SizeChanged();
  Layout();
  return true;
}

void CGuiBitmapBorderStepCtrl::SetDesignOffsetY(int offset) {
  designY = offset;
  Layout();
}

bool CGuiBitmapBorderStepCtrl::SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) {
  // A form stays enabled: it is the hot control wherever no child is.
  return GuiControl::SetProfile(newProfile, newParent);
}

bool CGuiBitmapBorderStepCtrl::HitTest(int, int) const { return true; }

void CGuiBitmapBorderStepCtrl::Paint(cairo_t* cr) { PaintFramed(cr); }

void CGuiBitmapBorderStepCtrl::Relayout() {
  if (sizeApplied) {
    designWidth = sizes[sizeIndex].width;
    designHeight = sizes[sizeIndex].height;
  }
  SizeChanged();
  Layout();
  for (auto& child : children) child->Relayout();
  if (toolTip) toolTip->Relayout();
}

}  // namespace ui
