#include "ui/gui_step_indicator_ctrl.h"

#include <algorithm>

#include "ui/gui_bitmap_border_step_ctrl.h"
#include "ui/skin_drawing.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace ui {
namespace {

const CGuiBitmapBorderStepCtrl* FormOf(const GuiControl* control) {
  while (control && control->parent) control = control->parent;
  return dynamic_cast<const CGuiBitmapBorderStepCtrl*>(control);
}

}  // namespace

CGuiStepIndicatorCtrl::CGuiStepIndicatorCtrl() { enabled = false; }

bool CGuiStepIndicatorCtrl::SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) {
  if (!GuiControl::SetProfile(newProfile, newParent)) return false;
  enabled = false;  // a picture: never the hot control
  return true;
}

int CGuiStepIndicatorCtrl::CurrentStep() const {
  const CGuiBitmapBorderStepCtrl* form = FormOf(this);
  return form ? form->frameNumber : 0;
}

int CGuiStepIndicatorCtrl::StepCount() const {
  const CGuiBitmapBorderStepCtrl* form = FormOf(this);
  return form ? form->stepCount : 0;
}

void CGuiStepIndicatorCtrl::Paint(cairo_t* cr) {
  if (!visible || !profile || !profile->texture || profile->texture->Count() < 5) return;
  const int count = StepCount();
  const int current = CurrentStep();
  if (count < 1 || current < 1 || current > count) return;
  const ThemeTexture& texture = *profile->texture;
  const double mark = std::min(screenHeight, count > 1 ? screenWidth / count : screenWidth);
  const double gap = count > 1 ? (screenWidth - mark * count) / (count - 1) : 0;
  const double barHeight = std::max(2.0, mark / 6);
  for (int step = 1; step <= count; ++step) {
    const double x = screenX + (step - 1) * (mark + gap);
    const double y = screenY + (screenHeight - mark) / 2;
    if (step < count && gap > 0) {
      const TextureImage* bar = texture.Image(step < current ? 3 : 4);
      if (bar) DrawPiece(cr, *bar, x + mark, screenY + (screenHeight - barHeight) / 2, gap, barHeight);
    }
    const TextureImage* piece = texture.Image(step < current ? 0 : step == current ? 1 : 2);
    if (piece) DrawPiece(cr, *piece, x, y, mark, mark);
  }
  PaintChildren(cr);
}

}  // namespace ui
