#include "ui/layered_window.h"

#include <algorithm>
#include <set>
#include <utility>

#include "config/launcher_lang_table.h"
#include "platform/local_time.h"
#include "platform/message.h"
#include "ui/control_factory.h"
#include "ui/control_name_table.h"
#include "ui/dpi_factor.h"
#include "ui/folder_choice_form.h"
#include "ui/font_cache.h"
#include "ui/gui_edit_ctrl.h"
#include "ui/gui_progress_wait_ctrl.h"
#include "ui/gui_text_label_ctrl.h"
#include "ui/gui_tool_tip_ctrl.h"
#include "ui/theme_profile.h"

namespace ui {
namespace {

constexpr const char* kErrorCaption = "Error";
constexpr const char* kCreateWindowFailed = "Failed to create window!";
constexpr const char* kCreateSurfaceFailed = "Failed to create DIB buffer!";

// Calls `visit` for `control` and every descendant, parents first, children
// in order.
template <class Visit>
void ForEachControl(GuiControl& control, const Visit& visit) {
  visit(control);
  for (auto& child : control.children) ForEachControl(*child, visit);
}

GuiControl* FindInTree(GuiControl& control, int id) {
  if (control.id == id) return &control;
  for (auto& child : control.children) {
    if (GuiControl* found = FindInTree(*child, id)) return found;
  }
  return nullptr;
}

}  // namespace

CLayeredWindow::CLayeredWindow(std::unique_ptr<IWindowBackend> backend)
    : m_backend(std::move(backend)), m_clock([] { return platform::TickCountMs(); }) {}

CLayeredWindow::~CLayeredWindow() {
  Destroy();
  // The controls hold notifications that point back here; they go first.
  m_hotControl = m_wheelTarget = m_focusControl = m_captureControl = nullptr;
  m_forms.clear();
}

void CLayeredWindow::SetClock(Clock clock) {
  if (clock) m_clock = std::move(clock);
}

bool CLayeredWindow::SetForms(std::vector<std::unique_ptr<CGuiBitmapBorderStepCtrl>> forms) {
  if (forms.size() < static_cast<size_t>(kMinimumForms)) return false;
  for (const auto& form : forms) {
    if (!form) return false;
  }
  m_hotControl = m_wheelTarget = m_focusControl = m_captureControl = nullptr;
  m_forms = std::move(forms);
  m_currentFormIndex = 0;
  InstallNotifications();
  ReTextControls();
  return true;
}

void CLayeredWindow::InstallNotifications() {
  const GuiControl::ControlNotify capture = [this](GuiControl* control) { OnCaptureRequest(control); };
  const GuiControl::ControlNotify focus = [this](GuiControl* control) { OnFocusRequest(control); };
  const GuiControl::CommandNotify command = [this](int id) { OnCommand(id); };
  for (auto& form : m_forms) {
    form->InstallNotifications(capture, focus, command);
    ForEachControl(*form, [this](GuiControl& control) {
      if (control.id != ctlLanguage) return;
      if (auto* box = dynamic_cast<CGuiComboBoxCtrl*>(&control)) {
        box->SetPlacementCallback([this] { return Placement(); });
        box->SetOpenCloseCallback([this](int) { Resize(); });
      }
    });
  }
}

bool CLayeredWindow::Create() {
  if (m_created || m_forms.size() < static_cast<size_t>(kMinimumForms)) return false;
  // Asked before the window exists: on a composited desktop the server is
  // busy with a new window for a while, and a question asked after it
  // waits behind that work.
  const GuiRect work = m_backend->WorkArea();
  if (!m_backend->Create(kWindowTitle)) {
    m_backend->ShowError(kErrorCaption, kCreateWindowFailed);
    return false;
  }
  m_created = true;
  m_destroyed = false;
  // The forms' design positions are the window's business, not the theme's;
  // put them at the origin before the first frame is drawn.
  ResetFormPositions();
  m_windowX = 0;
  m_windowY = 0;
  m_dragOffset = {};
  m_listShift = 0;
  if (!Resize()) {
    m_backend->Destroy();
    m_created = false;
    return false;
  }
  Render();
  // Centred on the work area (its origin added, so a work area that does
  // not start at 0, 0 still gets a centred window); the first frame is
  // pushed there, so the window maps once, in its place.
  m_windowX = work.x + (work.width - m_surfaceSize.width) / 2;
  m_windowY = work.y + (work.height - m_surfaceSize.height) / 2;
  if (!m_backend->Present(m_surface.get(), m_windowX, m_windowY)) {
    m_backend->Destroy();
    m_created = false;
    m_surface.reset();
    return false;
  }
  m_backend->SetInputTarget(this);
  return true;
}

void CLayeredWindow::Destroy() {
  if (!m_created) return;
  m_created = false;
  m_backend->SetInputTarget(nullptr);
  m_backend->Destroy();
  m_surface.reset();
  m_surfaceSize = {};
  if (!m_destroyed) {
    m_destroyed = true;
    if (m_hooks.destroyed) m_hooks.destroyed();
  }
}

CGuiBitmapBorderStepCtrl* CLayeredWindow::Form(std::size_t index) const {
  return index < m_forms.size() ? m_forms[index].get() : nullptr;
}

void CLayeredWindow::ShowForm(int number, int sizeIndex) {
  NoteInput();
  if (number < 1 || static_cast<size_t>(number) > m_forms.size()) return;
  m_currentFormIndex = static_cast<size_t>(number - 1);
  if (sizeIndex >= 0) {
    CurrentForm()->frameNumber = sizeIndex;
    CurrentForm()->ApplySize(sizeIndex);
  }
  Resize();
}

GuiControl* CLayeredWindow::FindControl(int id) const {
  for (const auto& form : m_forms) {
    if (GuiControl* found = FindInTree(*form, id)) return found;
  }
  return nullptr;
}

std::vector<GuiControl*> CLayeredWindow::FindControls(int id) const {
  std::vector<GuiControl*> found;
  for (const auto& form : m_forms) {
    ForEachControl(*form, [&](GuiControl& control) {
      if (control.id == id) found.push_back(&control);
    });
  }
  return found;
}

void CLayeredWindow::ReTextControls() {
  NoteInput();
  for (auto& form : m_forms) {
    ForEachControl(*form, [](GuiControl& control) {
      auto* label = dynamic_cast<CGuiTextLabelCtrl*>(&control);
      if (!label) return;
      const std::int32_t number = DefaultTextNumber(control.id);
      if (number < 0) return;
      std::string text = GetString(number);
      if (text.empty()) return;
      label->text = std::move(text);
      label->TextChanged();
    });
  }
}

CGuiComboBoxCtrl* CLayeredWindow::LanguageBox() const {
  CGuiBitmapBorderStepCtrl* form = CurrentForm();
  if (!form) return nullptr;
  return dynamic_cast<CGuiComboBoxCtrl*>(FindInTree(*form, ctlLanguage));
}

void CLayeredWindow::CloseLanguageLists() {
  for (auto& form : m_forms) {
    ForEachControl(*form, [](GuiControl& control) {
      if (control.id != ctlLanguage) return;
      if (auto* box = dynamic_cast<CGuiComboBoxCtrl*>(&control)) box->SetOpen(false);
    });
  }
}

void CLayeredWindow::UndoListShift() {
  if (m_listShift != 0) {
    m_windowY += m_listShift;
    m_listShift = 0;
  }
  if (CGuiBitmapBorderStepCtrl* form = CurrentForm()) form->SetDesignOffsetY(0);
}

// The surface is as wide as the current form. Its height is the form's,
// unless the language list is open:
// - a list that starts above the window (t < 0, t its top relative to the
//   unshifted window) moves the window up by -t and the form down by -t,
//   so the list starts at the surface's top; the surface then holds the
//   form below the list, or the list where it is the taller;
// - a list that starts inside the window may reach below the form: the
//   surface grows to hold it.
// The shift is measured against the unshifted form, so calling Resize again
// while the list stays open keeps the same shift.
bool CLayeredWindow::Resize() {
  NoteInput();
  CGuiBitmapBorderStepCtrl* form = CurrentForm();
  if (!form) return false;
  CGuiComboBoxCtrl* box = LanguageBox();
  int height = 0;
  if (!box || !box->IsOpen()) {
    UndoListShift();
    height = form->screenHeight;
  } else {
    const int t = (box->screenY - form->screenY) + box->ListOffsetY();
    const int h = box->ListRect().height;
    const int formHeight = form->screenHeight;
    if (t < 0) {
      const int shift = -t;
      m_windowY -= shift - m_listShift;
      m_listShift = shift;
      form->SetDesignOffsetY(static_cast<int>(shift / DpiFactor()));
      height = t + h < formHeight ? formHeight - t : std::max(formHeight, h);
    } else {
      UndoListShift();
      height = std::max(formHeight, t + h);
    }
  }
  return MakeSurface(form->screenWidth, height);
}

bool CLayeredWindow::MakeSurface(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (m_surface && m_surfaceSize.width == width && m_surfaceSize.height == height) return true;
  m_surface.reset();
  m_surfaceSize = {};
  if (width <= kMaxSurfaceSide && height <= kMaxSurfaceSide) {
    CairoSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(surface.get()) == CAIRO_STATUS_SUCCESS) {
      m_surface = std::move(surface);
      m_surfaceSize = {width, height};
      return true;
    }
  }
  m_backend->ShowError(kErrorCaption, kCreateSurfaceFailed);
  return false;
}

void CLayeredWindow::ResetFormPositions() {
  for (auto& form : m_forms) form->SetDesignPosition(0, 0);
}

void CLayeredWindow::PaintFrame(cairo_t* cr) {
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr);
  cairo_restore(cr);
  if (CGuiBitmapBorderStepCtrl* form = CurrentForm()) {
    if (form->visible) form->Paint(cr);
  }
  if (m_hotControl) {
    if (CGuiToolTipCtrl* tip = m_hotControl->ToolTip()) {
      const std::uint64_t now = m_clock();
      tip->Move(m_lastMouse, now);
      tip->PaintAt(cr, now);
    }
  }
}

void CLayeredWindow::Render() {
  if (!m_surface) return;
  cairo_t* cr = cairo_create(m_surface.get());
  PaintFrame(cr);
  cairo_destroy(cr);
  cairo_surface_flush(m_surface.get());
}

bool CLayeredWindow::RenderAndPresent() {
  if (!m_surface) return false;
  Render();
  m_stateChanged = false;
  m_lastWholeFrameMs = m_clock();
  return m_backend->Present(m_surface.get(), m_windowX + m_dragOffset.x, m_windowY + m_dragOffset.y);
}

bool CLayeredWindow::AnimatedArea(GuiRect& area) const {
  CGuiBitmapBorderStepCtrl* form = CurrentForm();
  if (!form || !form->visible || (m_hotControl && m_hotControl->ToolTip())) return false;
  int left = 0, top = 0, right = 0, bottom = 0;
  bool any = false;
  const std::function<void(const GuiControl&)> visit = [&](const GuiControl& control) {
    if (!control.visible) return;
    const auto* edit = dynamic_cast<const CGuiEditCtrl*>(&control);
    if (dynamic_cast<const CGuiProgressWaitCtrl*>(&control) || (edit && edit->focused)) {
      const GuiRect r = control.ScreenRect();
      if (r.width > 0 && r.height > 0) {
        left = any ? std::min(left, r.x) : r.x;
        top = any ? std::min(top, r.y) : r.y;
        right = any ? std::max(right, r.x + r.width) : r.x + r.width;
        bottom = any ? std::max(bottom, r.y + r.height) : r.y + r.height;
        any = true;
      }
    }
    for (const auto& child : control.children) visit(*child);
  };
  visit(*form);
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, m_surfaceSize.width);
  bottom = std::min(bottom, m_surfaceSize.height);
  if (!any || right <= left || bottom <= top) return false;
  area = {left, top, right - left, bottom - top};
  return true;
}

bool CLayeredWindow::RenderAndPresentArea(const GuiRect& area) {
  if (!m_surface) return false;
  cairo_t* cr = cairo_create(m_surface.get());
  cairo_rectangle(cr, area.x, area.y, area.width, area.height);
  cairo_clip(cr);
  PaintFrame(cr);
  cairo_destroy(cr);
  cairo_surface_flush(m_surface.get());
  return m_backend->PresentRows(m_surface.get(), m_windowX + m_dragOffset.x, m_windowY + m_dragOffset.y, area.y,
                               area.y + area.height);
}

GuiPoint CLayeredWindow::ScreenPoint(GuiPoint client) const {
  // Client points are relative to where the window is shown now.
  const GuiPoint shown = ShownPosition();
  return {shown.x + client.x, shown.y + client.y};
}

ComboPlacement CLayeredWindow::Placement() const {
  ComboPlacement placement;
  placement.monitor = m_backend->MonitorRect();
  const GuiPoint shown = ShownPosition();
  placement.window = {shown.x, shown.y, m_surfaceSize.width, m_surfaceSize.height};
  placement.roomBelow = std::max(0, placement.monitor.y + placement.monitor.height - (shown.y + m_surfaceSize.height));
  return placement;
}

// --- Notifications ------------------------------------------------------------

void CLayeredWindow::OnCaptureRequest(GuiControl* control) {
  if (control) {
    if (m_captureControl && m_captureControl != control) m_captureControl->OnCaptured(false);
    m_captureControl = control;
    m_backend->SetCapture(true);
  } else {
    m_captureControl = nullptr;
    if (!m_dragging) m_backend->SetCapture(false);
  }
}

void CLayeredWindow::OnFocusRequest(GuiControl* control) {
  if (m_focusControl && m_focusControl != control) m_focusControl->OnCaptured(false);
  m_focusControl = control;
  if (control) m_backend->TakeFocus();
}

void CLayeredWindow::OnCommand(int id) {
  // The folder choice that follows is modal: the button must not stay hot.
  if (id == ctlSingleInstallButtonBrowse && m_hotControl) m_hotControl->OnMouseLeave();
  if (m_hooks.command) m_hooks.command(id);
}

// --- Messages -----------------------------------------------------------------

bool CLayeredWindow::OnTimer(std::uint32_t timerId) {
  if (m_hooks.timer && m_hooks.timer(timerId)) return true;
  if (!m_created) return false;
  // Off the screen (in the tray), nothing is drawn; the first frame once
  // it is back is a whole one.
  if (!m_backend->Shown()) {
    m_stateChanged = true;
    return false;
  }
  const bool active = m_inputSinceFrame || m_captureControl || m_dragging;
  if (m_backend->SkipsUnchangedFrames() && !active && m_unchangedFrames >= kIdleAfterFrames &&
      ++m_idleTicks < kIdleFrameTicks) {
    return false;
  }
  // An animation (the waiting bar) changes the frame at every tick; without
  // input, the frame after a changed one is drawn kAnimationFrameMs later.
  const std::uint64_t now = m_clock();
  if (m_backend->SkipsUnchangedFrames() && !active && m_unchangedFrames == 0 && m_lastChangedFrameMs != 0 &&
      now - m_lastChangedFrameMs < kAnimationFrameMs) {
    return false;
  }
  m_idleTicks = 0;
  m_inputSinceFrame = false;
  GuiRect animated;
  if (m_backend->SkipsUnchangedFrames() && !active && !m_stateChanged && now - m_lastWholeFrameMs < kWholeFrameMs &&
      AnimatedArea(animated)) {
    RenderAndPresentArea(animated);
  } else {
    RenderAndPresent();
  }
  if (m_backend->LastPresentChanged()) {
    m_unchangedFrames = 0;
    m_lastChangedFrameMs = now;
  } else if (m_unchangedFrames < kIdleAfterFrames) {
    ++m_unchangedFrames;
  }
  if (m_captureControl) m_captureControl->OnTimer(m_lastMouse);
  return false;
}

void CLayeredWindow::OnMouseMove(int x, int y) {
  NoteInput();
  const GuiPoint point{x, y};
  m_trackingMouse = true;
  m_lastMouse = point;
  m_backend->TakeFocus();
  CGuiBitmapBorderStepCtrl* form = CurrentForm();
  if (m_dragging) {
    const GuiPoint screen = ScreenPoint(point);
    m_dragOffset = {screen.x - m_dragStart.x, screen.y - m_dragStart.y};
  } else if (m_captureControl) {
    m_captureControl->OnMouseMove(point);
  } else {
    GuiControl* hot = form ? form->ControlAt(point) : nullptr;
    if (hot) hot->OnMouseMove(point);
    if (hot != m_hotControl) {
      GuiControl* previous = m_hotControl;
      m_hotControl = hot;
      if (previous) previous->OnMouseLeave();
      if (hot) {
        if (CGuiToolTipCtrl* tip = hot->ToolTip()) {
          const std::uint64_t now = m_clock();
          tip->Restart(now);
          tip->Move(point, now);
        }
      }
    }
  }
  m_wheelTarget = form ? form->WheelTargetAt(point) : nullptr;
}

void CLayeredWindow::OnLButtonDown(int x, int y) {
  NoteInput();
  const GuiPoint point{x, y};
  if (!m_hotControl) return;
  if (m_hotControl == CurrentForm()) {
    m_dragging = true;
    m_dragOffset = {};
    m_dragStart = ScreenPoint(point);
    m_backend->SetCapture(true);
    CloseLanguageLists();
    return;
  }
  m_hotControl->OnLButtonDown(point);
}

void CLayeredWindow::OnLButtonUp(int x, int y) {
  NoteInput();
  const GuiPoint point{x, y};
  if (m_dragging) {
    m_dragging = false;
    m_windowX += m_dragOffset.x;
    m_windowY += m_dragOffset.y;
    m_dragOffset = {};
    if (!m_captureControl) m_backend->SetCapture(false);
  }
  // A control that captured the mouse and is also the hot control hears the
  // release twice; the controls clear their state in the first call.
  GuiControl* capture = m_captureControl;
  GuiControl* hot = m_hotControl;
  if (capture) capture->OnLButtonUp(point);
  if (hot) hot->OnLButtonUp(point);
}

void CLayeredWindow::OnCaptureChanged() {
  NoteInput();
  if (!m_dragging) return;
  // The window stays where it was last shown.
  m_dragging = false;
  m_windowX += m_dragOffset.x;
  m_windowY += m_dragOffset.y;
  m_dragOffset = {};
}

void CLayeredWindow::OnMouseLeave() {
  NoteInput();
  if (m_captureControl) m_captureControl->OnMouseLeave();
  m_trackingMouse = false;
}

void CLayeredWindow::OnKeyDown(int key, std::uint32_t modifiers) {
  NoteInput();
  if (m_focusControl) m_focusControl->OnKeyDown(key, modifiers);
}

void CLayeredWindow::OnChar(char32_t codePoint, std::uint32_t modifiers) {
  NoteInput();
  if (m_focusControl) m_focusControl->OnChar(codePoint, modifiers);
}

void CLayeredWindow::OnWheel(int delta) {
  NoteInput();
  if (m_wheelTarget) m_wheelTarget->OnWheel(delta);
}

void CLayeredWindow::OnDpiChanged(int dpi) {
  NoteInput();
  if (dpi <= 0) return;
  SetDpiFactor(dpi / 96.0);
  // Every profile in use takes its fonts again at the new size. The
  // registry owns the profiles (not const); controls only borrow them.
  std::set<const ThemeProfile*> profiles;
  for (auto& form : m_forms) {
    ForEachControl(*form, [&profiles](GuiControl& control) {
      profiles.insert(control.profile);
      if (CGuiToolTipCtrl* tip = control.ToolTip()) profiles.insert(tip->profile);
      if (auto* box = dynamic_cast<CGuiComboBoxCtrl*>(&control)) {
        profiles.insert(box->listProfile);
        profiles.insert(box->flagProfile);
      }
    });
  }
  for (const ThemeProfile* profile : profiles) {
    if (!profile) continue;
    auto* writable = const_cast<ThemeProfile*>(profile);
    for (size_t state = 0; state < kFontStateCount; ++state) {
      writable->fonts[state] = GetFont(writable->fontSpecs[state]);
    }
  }
  for (auto& form : m_forms) form->Relayout();
  if (!m_created) return;
  Resize();
  RenderAndPresent();
  ResetFormPositions();
}

std::int64_t CLayeredWindow::OnUserMessage(std::uint32_t message, std::uint64_t wParam, std::int64_t lParam,
                                           bool& handled) {
  handled = false;
  NoteInput();
  const bool ours = message == platform::WM_COPYDATA ||
                    (message >= platform::WM_USER + 1300 && message <= platform::WM_USER + 1800);
  if (!ours) return 0;
  handled = true;
  if (!m_hooks.userMessage) return 0;
  return m_hooks.userMessage(message, wParam, lParam, handled);
}

std::unique_ptr<CLayeredWindow> CreateLauncherWindow(const tinyxml2::XMLDocument& themeDocument,
                                                     std::unique_ptr<IWindowBackend> backend,
                                                     LayeredWindowHooks hooks) {
  if (!backend) return nullptr;
  auto window = std::make_unique<CLayeredWindow>(std::move(backend));
  std::vector<std::unique_ptr<CGuiBitmapBorderStepCtrl>> forms = LoadForms(themeDocument);
  // The folder choice of our own follows the theme's pages, drawn with its
  // profiles (a theme without them has none).
  if (forms.size() >= CLayeredWindow::kMinimumForms) {
    if (auto folderForm = CFolderChoiceForm::CreateForm()) forms.push_back(std::move(folderForm));
  }
  if (!window->SetForms(std::move(forms))) return nullptr;
  if (!window->Create()) return nullptr;
  window->SetHooks(std::move(hooks));
  return window;
}

}  // namespace ui
