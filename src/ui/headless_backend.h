// HeadlessWindowBackend: a window back-end without a display. Presenting
// keeps a copy of the frame and its position; the last frame can be
// written as a PNG file (cairo's PNG writer into memory, the file through
// the platform layer). Work area, monitor and DPI are set by the owner
// (default: a 1920 x 1080 monitor at 96 DPI whose lower 40 pixels are a
// task bar). Error messages are recorded, not shown.
//
// Used by tests, the snapshot tool and launcher runs without a display.
// Window thread only; failures are bool results.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/theme_texture.h"
#include "ui/window_backend.h"

namespace ui {

class HeadlessWindowBackend : public IWindowBackend {
 public:
  struct ErrorMessage {
    std::string caption;
    std::string text;
  };

  HeadlessWindowBackend();
  ~HeadlessWindowBackend() override;

  // --- IWindowBackend -------------------------------------------------------
  bool Create(const std::string& title) override;
  void Destroy() override;
  bool Present(cairo_surface_t* surface, int x, int y) override;
  GuiRect WorkArea() const override { return m_workArea; }
  GuiRect MonitorRect() const override { return m_monitor; }
  int Dpi() const override { return m_dpi; }
  void SetCapture(bool capture) override { m_captured = capture; }
  void TakeFocus() override { m_focused = true; }
  void SetTitle(const std::string& title) override { m_title = title; }
  void Show(bool visible) override { m_visible = visible; }
  void ShowError(const std::string& caption, const std::string& text) override;

  // --- Set-up -----------------------------------------------------------------
  void SetWorkArea(const GuiRect& area) { m_workArea = area; }
  void SetMonitor(const GuiRect& monitor) { m_monitor = monitor; }
  void SetDpi(int dpi) { m_dpi = dpi; }
  // Makes the next Create fail (tests of the failure path).
  void FailCreate(bool fail) { m_failCreate = fail; }
  // Makes every later Present fail.
  void FailPresent(bool fail) { m_failPresent = fail; }

  // --- What was shown ---------------------------------------------------------
  bool Created() const { return m_created; }
  bool Visible() const { return m_visible; }
  bool Captured() const { return m_captured; }
  bool Focused() const { return m_focused; }
  const std::string& Title() const { return m_title; }
  const std::vector<ErrorMessage>& Errors() const { return m_errors; }
  // Number of frames presented.
  std::uint64_t PresentCount() const { return m_presentCount; }
  // The last frame (null before the first) and where it was shown.
  cairo_surface_t* LastFrame() const { return m_frame.get(); }
  GuiPoint LastPosition() const { return m_position; }
  GuiSize LastSize() const;
  // Straight ARGB of a pixel of the last frame; 0 outside it.
  ArgbColor PixelAt(int x, int y) const;
  // The last frame as PNG bytes; false when there is none or cairo fails.
  bool EncodePng(std::string& png) const;
  // Writes the last frame as a PNG file (replacing it); false on failure.
  bool WritePng(const std::string& path) const;

 private:
  GuiRect m_workArea{0, 0, 1920, 1040};
  GuiRect m_monitor{0, 0, 1920, 1080};
  int m_dpi = 96;
  bool m_failCreate = false;
  bool m_failPresent = false;
  bool m_created = false;
  bool m_visible = true;
  bool m_captured = false;
  bool m_focused = false;
  std::string m_title;
  std::vector<ErrorMessage> m_errors;
  std::uint64_t m_presentCount = 0;
  CairoSurfacePtr m_frame;
  GuiPoint m_position;
};

}  // namespace ui
