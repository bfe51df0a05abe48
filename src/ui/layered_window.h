// CLayeredWindow: the launcher's one top-level window. It owns the theme's
// forms, shows one of them at a time, renders the whole content into a
// premultiplied ARGB32 cairo image surface and hands each frame to its
// window back-end (window_backend.h), which shows it at the window's
// screen position. It routes mouse and keyboard input to the controls,
// moves when the user drags the form background, grows while the language
// list opens above the window, follows DPI changes, and passes control
// commands, user messages, timer ticks and its own destruction on to the
// controller through hooks.
//
// Input arrives as calls (OnMouseMove, OnLButtonDown, OnKeyDown, ...) made
// by whoever owns the display connection, with points in client pixels
// (relative to the window's top-left corner). Time comes from a clock the
// owner may replace (platform::TickCountMs by default), so tool tips and
// animations can be tested.
//
// Threading: the controller's (main) thread only; nothing blocks.
// Ownership: the window owns the forms and the back-end; controls are
// reached through borrowed pointers that stay valid as long as the window.
// Errors: bool results; the window's own failure messages go to the
// back-end's ShowError ("Failed to create window!", "Failed to create DIB
// buffer!", both captioned "Error").
#pragma once

#include <cairo.h>
#include <tinyxml2.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/gui_bitmap_border_step_ctrl.h"
#include "ui/gui_combo_box_ctrl.h"
#include "ui/gui_control.h"
#include "ui/theme_texture.h"
#include "ui/window_backend.h"

namespace ui {

// The controller's hooks. Empty functions are not called.
struct LayeredWindowHooks {
  // A control's command (its identifier).
  std::function<void(int id)> command;
  // The window was destroyed.
  std::function<void()> destroyed;
  // A user message (WM_COPYDATA or WM_USER + 1300 to + 1800); the result is
  // the message's answer. The message counts as handled unless the hook
  // clears `handled`.
  std::function<std::int64_t(std::uint32_t message, std::uint64_t wParam, std::int64_t lParam, bool& handled)>
      userMessage;
  // A timer tick; true when the controller handled it (then the window does
  // not repaint for it).
  std::function<bool(std::uint32_t timerId)> timer;
};

class CLayeredWindow {
 public:
  static constexpr int kMinimumForms = 4;
  // The repaint timer the owner runs (identifier and period).
  static constexpr std::uint32_t kRepaintTimerId = 2;
  static constexpr std::uint32_t kRepaintPeriodMs = 10;
  static constexpr const char* kWindowTitle = "WTL Layered Window";
  static constexpr int kIdleAfterFrames = 10;
  static constexpr int kIdleFrameTicks = 10;
  static constexpr std::uint64_t kAnimationFrameMs = 30;
  // While something animates, the frames between whole ones redraw only
  // what changes with time; a whole frame follows at least this often.
  static constexpr std::uint64_t kWholeFrameMs = 250;
  // Surfaces larger than this in either direction are refused.
  static constexpr int kMaxSurfaceSide = 16384;

  using Clock = std::function<std::uint64_t()>;

  explicit CLayeredWindow(std::unique_ptr<IWindowBackend> backend);
  ~CLayeredWindow();
  CLayeredWindow(const CLayeredWindow&) = delete;
  CLayeredWindow& operator=(const CLayeredWindow&) = delete;

  // --- Set-up -----------------------------------------------------------------

  // Takes the forms: false (and nothing kept) with fewer than
  // kMinimumForms. Installs the capture, focus and command notifications
  // in every control, wires the language combo boxes (identifier 12366) to
  // the placement and open/close hooks and re-texts every control.
  bool SetForms(std::vector<std::unique_ptr<CGuiBitmapBorderStepCtrl>> forms);
  // Creates the native window ("Failed to create window!" on failure),
  // the surface for the first form ("Failed to create DIB buffer!"),
  // renders and presents it at (0, 0), then centres the window on the work
  // area and puts every form's design position at (0, 0). False on any
  // failure (the native window is destroyed again).
  bool Create();
  void SetHooks(LayeredWindowHooks hooks) { m_hooks = std::move(hooks); }
  void SetClock(Clock clock);
  // Kills nothing by itself (the owner stops the repaint timer): destroys
  // the native window and the surface and calls the destroyed hook, once.
  // The forms stay until the window object is destroyed.
  void Destroy();
  bool Exists() const { return m_created; }

  // --- Forms and controls -----------------------------------------------------

  // Shows form `number` (1-based); nothing for a number outside the forms.
  // With a size index >= 0 the form takes that size (an index above 3 is
  // ignored). Then Resize.
  void ShowForm(int number, int sizeIndex = -1);
  // The first control with `id`, depth first in form order, forms
  // included; null when there is none.
  GuiControl* FindControl(int id) const;
  // Every control with `id`, depth first in form order (a wizard theme has
  // a language box on several pages).
  std::vector<GuiControl*> FindControls(int id) const;
  // Every text control of every form takes its default language string
  // (when that string is not empty) and hears TextChanged.
  void ReTextControls();
  // Recomputes the surface for the current form and the state of the
  // language list (see the .cc for the shift rules); false when the surface
  // cannot be made.
  bool Resize();

  std::size_t FormCount() const { return m_forms.size(); }
  CGuiBitmapBorderStepCtrl* Form(std::size_t index) const;
  CGuiBitmapBorderStepCtrl* CurrentForm() const { return Form(m_currentFormIndex); }
  int CurrentFormIndex() const { return static_cast<int>(m_currentFormIndex); }

  // --- Rendering ------------------------------------------------------------------

  // Clears the surface, paints the current form and the hot control's tool
  // tip (moved to the last mouse point) on top.
  void Render();
  // Render and present at the window's position plus the drag offset.
  bool RenderAndPresent();
  // The controller changed controls outside the window's own input (in a
  // message or timer of its own): the next frame is drawn whole.
  void NoteStateChange() { m_stateChanged = true; }
  cairo_surface_t* Surface() const { return m_surface.get(); }
  GuiSize SurfaceSize() const { return m_surfaceSize; }

  // --- Messages -------------------------------------------------------------------

  // A timer tick: the controller's timer hook first; unless it handled the
  // tick, render, present, and give the capturing control OnTimer with the
  // last mouse point. Returns whether the controller handled it.
  // Over a back-end that skips unchanged frames, a window whose last
  // kIdleAfterFrames frames were all the same, with no input since, renders
  // only every kIdleFrameTicks-th tick until a frame differs or input
  // arrives: a page that waits costs a few frames a second, and what the
  // controller changes shows within kIdleFrameTicks ticks. Without input, a
  // changed frame is followed by the next render only kAnimationFrameMs
  // later, so an animation runs at about 33 frames a second; input is
  // drawn at the next tick. Over such a back-end, an animation frame with
  // no input and no state change since the last whole frame redraws and
  // presents only the animated area (AnimatedArea); a whole frame follows
  // within kWholeFrameMs, so a change nobody noted still shows.
  bool OnTimer(std::uint32_t timerId);
  // The 10 ms repaint tick.
  void OnTimerTick() { OnTimer(kRepaintTimerId); }
  void OnMouseMove(int x, int y);
  void OnLButtonDown(int x, int y);
  void OnLButtonDblClk(int x, int y) { OnLButtonDown(x, y); }
  void OnLButtonUp(int x, int y);
  // Another window took the capture: dragging ends where the window is.
  void OnCaptureChanged();
  // The mouse left the window (or moved over its frame).
  void OnMouseLeave();
  void OnKeyDown(int key, std::uint32_t modifiers = 0);
  void OnChar(char32_t codePoint, std::uint32_t modifiers = 0);
  // Signed wheel delta (120 a notch).
  void OnWheel(int delta);
  // The monitor's DPI changed: new factor, fonts again from the cache, every
  // form re-laid out, surface re-made and rendered.
  void OnDpiChanged(int dpi);
  // WM_COPYDATA and WM_USER + 1300 to + 1800 go to the user-message hook;
  // `handled` tells whether the message was one of them and the hook kept
  // it handled.
  std::int64_t OnUserMessage(std::uint32_t message, std::uint64_t wParam, std::int64_t lParam, bool& handled);

  // --- State (read by the controller and tests) -----------------------------------

  GuiControl* HotControl() const { return m_hotControl; }
  GuiControl* WheelTarget() const { return m_wheelTarget; }
  GuiControl* FocusControl() const { return m_focusControl; }
  GuiControl* CaptureControl() const { return m_captureControl; }
  // The window's remembered screen position (without a running drag).
  GuiPoint WindowPosition() const { return {m_windowX, m_windowY}; }
  // Where the window is shown now: the position plus the drag offset.
  GuiPoint ShownPosition() const { return {m_windowX + m_dragOffset.x, m_windowY + m_dragOffset.y}; }
  bool Dragging() const { return m_dragging; }
  GuiPoint DragOffset() const { return m_dragOffset; }
  // Pixels added above the form while the language list opens upwards.
  int ListShift() const { return m_listShift; }
  GuiPoint LastMouse() const { return m_lastMouse; }
  IWindowBackend& Backend() const { return *m_backend; }
  // The language combo box of the current form, or null.
  CGuiComboBoxCtrl* LanguageBox() const;

 private:
  void InstallNotifications();
  void OnCaptureRequest(GuiControl* control);
  void OnFocusRequest(GuiControl* control);
  void OnCommand(int id);
  ComboPlacement Placement() const;
  void UndoListShift();
  bool MakeSurface(int width, int height);
  void ResetFormPositions();
  void CloseLanguageLists();
  GuiPoint ScreenPoint(GuiPoint client) const;

  std::unique_ptr<IWindowBackend> m_backend;
  LayeredWindowHooks m_hooks;
  Clock m_clock;

  std::vector<std::unique_ptr<CGuiBitmapBorderStepCtrl>> m_forms;
  std::size_t m_currentFormIndex = 0;
  GuiControl* m_hotControl = nullptr;
  GuiControl* m_wheelTarget = nullptr;
  GuiControl* m_focusControl = nullptr;
  GuiControl* m_captureControl = nullptr;
  int m_windowX = 0;
  int m_windowY = 0;
  bool m_dragging = false;
  GuiPoint m_dragStart;  // screen pixels
  GuiPoint m_dragOffset;
  int m_listShift = 0;
  GuiPoint m_lastMouse;
  bool m_trackingMouse = false;
  // Idle rendering (OnTimer): frames in a row that showed nothing new, ticks
  // since the last render, input since the last render.
  int m_unchangedFrames = 0;
  int m_idleTicks = 0;
  std::uint64_t m_lastChangedFrameMs = 0;
  bool m_inputSinceFrame = true;
  void NoteInput() { m_inputSinceFrame = true; }
  // Whole frames: a state change noted since the last one, and its time.
  bool m_stateChanged = true;
  std::uint64_t m_lastWholeFrameMs = 0;
  // The part of the current form drawn differently as time passes with
  // no change of state: the running waiting bars and the focused edit
  // field (its caret). False when nothing animates, or a tool tip may
  // appear over anything.
  bool AnimatedArea(GuiRect& area) const;
  // Redraws `area` only (the rest of the surface keeps the last frame) and
  // presents the rows it covers.
  bool RenderAndPresentArea(const GuiRect& area);
  void PaintFrame(cairo_t* cr);
  bool m_created = false;
  bool m_destroyed = false;

  CairoSurfacePtr m_surface;
  GuiSize m_surfaceSize;
};

// Builds the launcher window for the theme document: the forms (LoadForms;
// the profiles must be loaded), the window over `backend` with `hooks`, the
// native window and its first frame. Null on failure: fewer than four
// forms (silently), or the creation failures of CLayeredWindow::Create
// (with their messages).
std::unique_ptr<CLayeredWindow> CreateLauncherWindow(const tinyxml2::XMLDocument& themeDocument,
                                                     std::unique_ptr<IWindowBackend> backend,
                                                     LayeredWindowHooks hooks);

}  // namespace ui
