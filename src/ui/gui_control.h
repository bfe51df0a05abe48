// GuiControl: the base of every program-drawn control of the launcher
// window. Controls form a tree per form; each is laid out in design pixels
// scaled by the DPI factor (ui::DpiFactor()), paints itself into the
// window's cairo surface and receives the mouse and keyboard events the
// window dispatches to it.
//
// Threading: window (main) thread only; nothing here blocks.
// Ownership: a control owns its children and its tool tip; the profile and
// the parent are borrowed (the profile registry and the parent outlive it).
// Errors: operations that can fail return bool; no control reports errors
// otherwise (a control without profile or texture simply draws nothing).
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/gui_types.h"
#include "ui/text_layout.h"

namespace ui {

struct ThemeProfile;
class CGuiToolTipCtrl;

class GuiControl {
 public:
  // Notifications installed by the window. The control calls them:
  // capture/focus with itself to take the mouse capture or the keyboard
  // focus, with nullptr to give it up; command with its id when its command
  // happens. An empty function means "nobody listens".
  using ControlNotify = std::function<void(GuiControl*)>;
  using CommandNotify = std::function<void(int id)>;

  GuiControl();
  GuiControl(const GuiControl&) = delete;
  GuiControl& operator=(const GuiControl&) = delete;

  // --- Virtual operations, in their fixed order ---------------------------

  // Visible and (x, y) inside the screen rectangle (right and bottom edges
  // excluded).
  virtual bool HitTest(int x, int y) const;
  // Called after the design size changed; nothing by default.
  virtual void SizeChanged();
  // Rebuilds cached skin images; succeeds and does nothing by default.
  virtual bool BuildSkin();
  // Computes the screen rectangle from the design rectangle, the scroll
  // offset, the DPI factor and the parent's screen position, then lays out
  // every child.
  virtual void Layout();
  // Destroys tool tip and children.
  virtual ~GuiControl();
  // The window's hit search: none when invisible or HitTest fails; else the
  // children's answer from the last child to the first; else this control
  // when enabled, none when disabled.
  virtual GuiControl* ControlAt(GuiPoint point);
  // The control that takes wheel turns at the point: the first child that
  // answers; none by default.
  virtual GuiControl* WheelTargetAt(GuiPoint point);
  // Fails for no profile; otherwise stores profile and parent and lays out.
  virtual bool SetProfile(const ThemeProfile* newProfile, GuiControl* newParent);
  // Draws the control (and its children) into the window surface.
  virtual void Paint(cairo_t* cr) = 0;
  // Input slots; none does anything by default except OnWheel, which passes
  // the turn on to the parent. Points are window pixels.
  virtual void OnChar(char32_t character, std::uint32_t modifiers);
  virtual void OnKeyDown(int key, std::uint32_t modifiers);
  virtual void OnMouseMove(GuiPoint point);
  virtual void OnLButtonDown(GuiPoint point);
  virtual void OnLButtonUp(GuiPoint point);
  virtual void OnTimer(GuiPoint cursor);
  virtual void OnWheel(int delta);
  virtual void OnMouseLeave();
  // Called by the window with false when another control takes the capture.
  virtual void OnCaptured(bool captured);
  // Scrolling containers return to their start; nothing by default.
  virtual void ResetContent();
  // Layout, then Relayout of every child and of the tool tip.
  virtual void Relayout();

  // --- Helpers ------------------------------------------------------------

  // Appends an owned child and makes this control its parent. Returns the
  // child (borrowed) or nullptr for an empty pointer.
  GuiControl* AddChild(std::unique_ptr<GuiControl> child);
  // Replaces the tool tip (the old one is destroyed).
  void SetToolTip(std::unique_ptr<CGuiToolTipCtrl> tip);
  CGuiToolTipCtrl* ToolTip() const { return toolTip.get(); }
  // Installs the three notifications on this control, every descendant and
  // their tool tips.
  void InstallNotifications(const ControlNotify& capture, const ControlNotify& focus,
                            const CommandNotify& command);
  GuiRect ScreenRect() const { return {screenX, screenY, screenWidth, screenHeight}; }
  // Sets the design position or size and lays the control out again.
  void SetDesignPosition(int x, int y);
  void SetDesignSize(int width, int height);

  // Calls the notifications if installed.
  void RequestCapture(bool capture);
  void RequestFocus(bool focus);
  void NotifyCommand();

  // --- Fields, in their fixed order ---------------------------------------
  const ThemeProfile* profile = nullptr;
  GuiControl* parent = nullptr;
  std::int32_t designX = 0;
  std::int32_t designY = 0;
  std::int32_t designWidth = 0;
  std::int32_t designHeight = 0;
  std::int32_t screenX = 0;
  std::int32_t screenY = 0;
  std::int32_t screenWidth = 0;
  std::int32_t screenHeight = 0;
  std::int32_t scrollX = 0;
  std::int32_t scrollY = 0;
  TextFormat stringFormat;  // text layout of text controls
  std::string text;  // UTF-8
  bool enabled = true;
  bool visible = true;
  std::int32_t id = -1;
  std::vector<std::unique_ptr<GuiControl>> children;
  std::unique_ptr<CGuiToolTipCtrl> toolTip;
  ControlNotify captureNotify;
  ControlNotify focusNotify;
  CommandNotify commandNotify;

 protected:
  // Paints every visible child in order.
  void PaintChildren(cairo_t* cr);
};

}  // namespace ui
