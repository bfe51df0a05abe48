// DesktopWindowBackend: the launcher window on the desktop. Frames go to a
// platform::DisplayWindow (a borderless window with per-pixel alpha, or
// with its transparent pixels cut away), pushed only when their pixels or
// position changed, so a window that waits on a page costs next to
// nothing between the repaint ticks. The display's events come back as the
// window's input:
// - pointer moves, left button presses and releases (a second press within
//   the double-click time and distance is a double click), the wheel, the
//   pointer leaving the window and another client's grab;
// - key presses as GuiKey codes to OnKeyDown (and as WM_KEYDOWN posted to
//   the controller's window, whose message loop acts on Escape), their text
//   from the input method as characters to OnChar;
// - the window manager's close request posts the quit message, as the
//   window's destruction does;
// - a change of the display's DPI re-lays the window out (rounded to the
//   theme's steps).
// While the window exists, the edit fields' clipboard is the desktop's, and
// error boxes are modal dialogs of this window.
//
// Window (main) thread only; the display connection joins that thread's
// message loop.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/display_window.h"
#include "platform/message.h"
#include "ui/window_backend.h"

namespace ui {

class DesktopWindowBackend : public IWindowBackend {
 public:
  static constexpr std::uint64_t kDoubleClickMs = 500;
  static constexpr int kDoubleClickDistance = 4;

  // `keyTarget`: the window whose queue hears every key press as WM_KEYDOWN
  // (0: none).
  DesktopWindowBackend(std::unique_ptr<platform::DisplayWindow> display, platform::WindowHandle keyTarget);
  ~DesktopWindowBackend() override;

  // --- IWindowBackend -------------------------------------------------------
  bool Create(const std::string& title) override;
  void Destroy() override;
  bool Present(cairo_surface_t* surface, int x, int y) override;
  bool PresentRows(cairo_surface_t* surface, int x, int y, int top, int bottom) override;
  GuiRect WorkArea() const override;
  GuiRect MonitorRect() const override;
  int Dpi() const override;
  void SetInputTarget(CLayeredWindow* window) override { m_window = window; }
  void SetCapture(bool capture) override { m_display->SetCapture(capture); }
  void TakeFocus() override { m_display->TakeFocus(); }
  void SetTitle(const std::string& title) override { m_display->SetTitle(title); }
  void Show(bool visible) override { m_display->SetVisible(visible); }
  bool Shown() const override { return m_display->Visible(); }
  uint64_t NativeWindowId() const override { return m_display->NativeId(); }
  void ShowError(const std::string& caption, const std::string& text) override;
  bool SkipsUnchangedFrames() const override { return true; }
  bool TakesInput() const override { return true; }
  bool LastPresentChanged() const override { return m_lastPresentChanged; }

  platform::DisplayWindow& Display() const { return *m_display; }
  // One display event as the window's input (ProcessEvents calls this).
  void Dispatch(const platform::DisplayEvent& event);

 private:
  std::unique_ptr<platform::DisplayWindow> m_display;
  platform::WindowHandle m_keyTarget = 0;
  CLayeredWindow* m_window = nullptr;
  bool m_created = false;
  bool m_lastPresentChanged = true;
  std::uint64_t m_lastPressMs = 0;
  GuiPoint m_lastPress{-1000000, -1000000};
};

// The key code a display key symbol stands for; eGuiKey_None for keys the
// controls do not know.
int GuiKeyOfKeySym(std::uint32_t keySym);

}  // namespace ui
