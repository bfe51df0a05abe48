#include "ui/desktop_window_backend.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <utility>

#include "platform/clipboard.h"
#include "platform/error_box.h"
#include "platform/message_loop.h"
#include "ui/dpi_factor.h"
#include "ui/gui_keys.h"
#include "ui/layered_window.h"
#include "ui/theme_icon.h"

namespace ui {
namespace {

constexpr int kWindowIconSide = 64;

GuiRect ToGuiRect(const platform::ScreenRect& rect) { return {rect.x, rect.y, rect.width, rect.height}; }

std::uint32_t ToGuiModifiers(std::uint32_t modifiers) {
  std::uint32_t result = eGuiKeyMod_None;
  if (modifiers & platform::kDisplayModShift) result |= eGuiKeyMod_Shift;
  if (modifiers & platform::kDisplayModCtrl) result |= eGuiKeyMod_Ctrl;
  if (modifiers & platform::kDisplayModAlt) result |= eGuiKeyMod_Alt;
  return result;
}

// Code points of UTF-8 text; a broken sequence is skipped byte by byte.
template <class Visit>
void ForEachCodePoint(const std::string& text, const Visit& visit) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > text.size()) {
      ++i;
      continue;
    }
    char32_t code = length == 1 ? lead : length == 2 ? (lead & 0x1Fu) : length == 3 ? (lead & 0x0Fu) : (lead & 0x07u);
    bool valid = true;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) valid = false;
      code = (code << 6) | (next & 0x3Fu);
    }
    i += valid ? length : 1;
    if (valid) visit(code);
  }
}


}  // namespace

int GuiKeyOfKeySym(std::uint32_t keySym) {
  if (keySym >= 'a' && keySym <= 'z') return static_cast<int>(keySym - 'a' + 'A');
  if ((keySym >= 'A' && keySym <= 'Z') || (keySym >= '0' && keySym <= '9')) return static_cast<int>(keySym);
  switch (keySym) {
    case 0xff08: return eGuiKey_Backspace;
    case 0xff09:
    case 0xfe20: return eGuiKey_Tab;  // Tab, Shift+Tab
    case 0xff0d:
    case 0xff8d: return eGuiKey_Return;
    case 0xff1b: return eGuiKey_Escape;
    case 0xff55:
    case 0xff9a: return eGuiKey_PageUp;
    case 0xff56:
    case 0xff9b: return eGuiKey_PageDown;
    case 0xff57:
    case 0xff9c: return eGuiKey_End;
    case 0xff50:
    case 0xff95: return eGuiKey_Home;
    case 0xff51:
    case 0xff96: return eGuiKey_Left;
    case 0xff52:
    case 0xff97: return eGuiKey_Up;
    case 0xff53:
    case 0xff98: return eGuiKey_Right;
    case 0xff54:
    case 0xff99: return eGuiKey_Down;
    case 0xffff:
    case 0xff9f: return eGuiKey_Delete;
    default: return eGuiKey_None;
  }
}

DesktopWindowBackend::DesktopWindowBackend(std::unique_ptr<platform::DisplayWindow> display,
                                           platform::WindowHandle keyTarget)
    : m_display(std::move(display)), m_keyTarget(keyTarget) {
  m_display->SetEventHandler([this](const platform::DisplayEvent& event) { Dispatch(event); });
}

DesktopWindowBackend::~DesktopWindowBackend() { Destroy(); }

bool DesktopWindowBackend::Create(const std::string& title) {
  if (m_created) return true;
  if (!m_display->Create(title)) return false;
  m_created = true;
  const std::vector<std::uint32_t> icon = ThemeIcon(kWindowIconSide);
  if (!icon.empty()) m_display->SetIcon(kWindowIconSide, kWindowIconSide, icon.data());
  platform::SetDesktopClipboard(&m_display->Clipboard());
  return true;
}

void DesktopWindowBackend::Destroy() {
  if (!m_created) return;
  m_created = false;
  m_window = nullptr;
  platform::SetDesktopClipboard(nullptr);
  m_display->Destroy();
}

bool DesktopWindowBackend::Present(cairo_surface_t* surface, int x, int y) {
  return PresentRows(surface, x, y, 0, surface ? cairo_image_surface_get_height(surface) : 0);
}

bool DesktopWindowBackend::PresentRows(cairo_surface_t* surface, int x, int y, int top, int bottom) {
  if (!m_created || !surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
      cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
    return false;
  }
  cairo_surface_flush(surface);
  const std::uint64_t before = m_display->PresentCount();
  const bool shown = m_display->PresentRows(cairo_image_surface_get_data(surface),
                                            cairo_image_surface_get_stride(surface),
                                            cairo_image_surface_get_width(surface),
                                            cairo_image_surface_get_height(surface), x, y, top, bottom);
  m_lastPresentChanged = m_display->PresentCount() != before;
  return shown;
}

GuiRect DesktopWindowBackend::WorkArea() const { return ToGuiRect(m_display->WorkArea()); }

GuiRect DesktopWindowBackend::MonitorRect() const { return ToGuiRect(m_display->MonitorArea()); }

int DesktopWindowBackend::Dpi() const { return RoundDpiToThemeStep(m_display->Dpi()); }

void DesktopWindowBackend::ShowError(const std::string& caption, const std::string& text) {
  platform::ShowErrorBox(caption, text);
}

void DesktopWindowBackend::Dispatch(const platform::DisplayEvent& event) {
  using Kind = platform::DisplayEvent::Kind;
  if (event.kind == Kind::kCloseRequest) {
    // As the window's destruction: the message loop ends.
    platform::PostQuitMessage(0);
    return;
  }
  if (!m_window) return;
  // Client pixels are relative to where the window shows its frame now.
  const GuiPoint shown = m_window->ShownPosition();
  const int x = event.rootX - shown.x;
  const int y = event.rootY - shown.y;
  switch (event.kind) {
    case Kind::kMouseMove:
      m_window->OnMouseMove(x, y);
      break;
    case Kind::kButtonDown: {
      if (event.button != 1) break;
      // The hot control follows the pointer even when no move came first.
      const GuiPoint last = m_window->LastMouse();
      if (last.x != x || last.y != y || !m_window->HotControl()) m_window->OnMouseMove(x, y);
      const bool doubleClick = event.timeMs >= m_lastPressMs && event.timeMs - m_lastPressMs <= kDoubleClickMs &&
                               std::abs(event.rootX - m_lastPress.x) <= kDoubleClickDistance &&
                               std::abs(event.rootY - m_lastPress.y) <= kDoubleClickDistance;
      if (doubleClick) {
        m_lastPressMs = 0;
        m_lastPress = {-1000000, -1000000};
        m_window->OnLButtonDblClk(x, y);
      } else {
        m_lastPressMs = event.timeMs;
        m_lastPress = {event.rootX, event.rootY};
        m_window->OnLButtonDown(x, y);
      }
      break;
    }
    case Kind::kButtonUp:
      if (event.button == 1) m_window->OnLButtonUp(x, y);
      break;
    case Kind::kWheel:
      m_window->OnWheel(event.wheelDelta);
      break;
    case Kind::kMouseLeave:
      m_window->OnMouseLeave();
      break;
    case Kind::kCaptureLost:
      m_window->OnCaptureChanged();
      break;
    case Kind::kKeyDown: {
      const std::uint32_t modifiers = ToGuiModifiers(event.modifiers);
      const int key = GuiKeyOfKeySym(event.keySym);
      if (key != eGuiKey_None) {
        m_window->OnKeyDown(key, modifiers);
        if (m_keyTarget) platform::PostMessage(m_keyTarget, platform::WM_KEYDOWN, static_cast<std::uint64_t>(key), 0);
      }
      ForEachCodePoint(event.text, [&](char32_t code) {
        if (code != 0x7F) m_window->OnChar(code, modifiers);
      });
      break;
    }
    case Kind::kDpiChanged:
      m_window->OnDpiChanged(RoundDpiToThemeStep(event.dpi));
      break;
    case Kind::kCloseRequest:
      break;
  }
}

}  // namespace ui
