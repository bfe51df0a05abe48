#include "ui/gui_control.h"

#include <cmath>
#include <utility>

#include "ui/dpi_factor.h"
#include "ui/gui_tool_tip_ctrl.h"
#include "ui/skin_drawing.h"

namespace ui {
GuiControl::GuiControl() = default;

GuiControl::~GuiControl() = default;

bool GuiControl::HitTest(int x, int y) const { return visible && ScreenRect().Contains(x, y); }

void GuiControl::SizeChanged() {}

bool GuiControl::BuildSkin() { return true; }

void GuiControl::Layout() {
  const double f = DpiFactor();
  const double parentX = parent ? parent->screenX : 0;
  const double parentY = parent ? parent->screenY : 0;
  screenX = TruncatePixels((static_cast<double>(designX) + scrollX) * f + parentX);
  screenY = TruncatePixels((static_cast<double>(designY) + scrollY) * f + parentY);
  screenWidth = TruncatePixels(static_cast<double>(designWidth) * f);
  screenHeight = TruncatePixels(static_cast<double>(designHeight) * f);
  for (auto& child : children) child->Layout();
}

GuiControl* GuiControl::ControlAt(GuiPoint point) {
  if (!visible || !HitTest(point.x, point.y)) return nullptr;
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (GuiControl* hit = (*it)->ControlAt(point)) return hit;
  }
  return enabled ? this : nullptr;
}

GuiControl* GuiControl::WheelTargetAt(GuiPoint point) {
  for (auto& child : children) {
    if (GuiControl* target = child->WheelTargetAt(point)) return target;
  }
  return nullptr;
}

bool GuiControl::SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) {
  if (!newProfile) return false;
  profile = newProfile;
  parent = newParent;
  Layout();
  return true;
}

void GuiControl::OnChar(char32_t, std::uint32_t) {}
void GuiControl::OnKeyDown(int, std::uint32_t) {}
void GuiControl::OnMouseMove(GuiPoint) {}
void GuiControl::OnLButtonDown(GuiPoint) {}
void GuiControl::OnLButtonUp(GuiPoint) {}
void GuiControl::OnTimer(GuiPoint) {}

void GuiControl::OnWheel(int delta) {
  if (parent) parent->OnWheel(delta);
}

void GuiControl::OnMouseLeave() {}
void GuiControl::OnCaptured(bool) {}
void GuiControl::ResetContent() {}

void GuiControl::Relayout() {
  Layout();
  for (auto& child : children) child->Relayout();
  if (toolTip) toolTip->Relayout();
}

GuiControl* GuiControl::AddChild(std::unique_ptr<GuiControl> child) {
  if (!child) return nullptr;
  child->parent = this;
  children.push_back(std::move(child));
  return children.back().get();
}

void GuiControl::SetToolTip(std::unique_ptr<CGuiToolTipCtrl> tip) { toolTip = std::move(tip); }

void GuiControl::InstallNotifications(const ControlNotify& capture, const ControlNotify& focus,
                                      const CommandNotify& command) {
  captureNotify = capture;
  focusNotify = focus;
  commandNotify = command;
  if (toolTip) toolTip->InstallNotifications(capture, focus, command);
  for (auto& child : children) child->InstallNotifications(capture, focus, command);
}

void GuiControl::SetDesignPosition(int x, int y) {
  designX = x;
  designY = y;
  Layout();
}

void GuiControl::SetDesignSize(int width, int height) {
  designWidth = width;
  designHeight = height;
  Layout();
}

void GuiControl::RequestCapture(bool capture) {
  if (captureNotify) captureNotify(capture ? this : nullptr);
}

void GuiControl::RequestFocus(bool focus) {
  if (focusNotify) focusNotify(focus ? this : nullptr);
}

void GuiControl::NotifyCommand() {
  if (commandNotify) commandNotify(id);
}

void GuiControl::PaintChildren(cairo_t* cr) {
  for (auto& child : children) {
    if (child->visible) child->Paint(cr);
  }
}

}  // namespace ui
