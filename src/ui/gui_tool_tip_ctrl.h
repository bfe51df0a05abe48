// CGuiToolTipCtrl: the tip shown near the mouse while it rests on the
// control that owns the tip. The window restarts it when the mouse enters
// that control (Restart), moves it with the mouse (Move) and paints it on
// top of the form. For the first `showDelay` milliseconds the tip follows
// the mouse and is not drawn; after that it is drawn and stays where it is.
// Drawn as a nine-piece background (pieces 0 to 8 of the profile's texture
// at the profile's zoom) around the text, which sits inside the profile's
// "textBorder" (scaled by the DPI factor) in the "fontP" font and colour.
//
// Times are milliseconds of platform::TickCountMs(); the window passes the
// tick count it uses for the whole frame. Window thread only; owned by the
// control it belongs to.
#pragma once

#include <cstdint>
#include <string>

#include "ui/gui_font.h"
#include "ui/gui_text_label_ctrl.h"

namespace ui {

class CGuiToolTipCtrl : public CGuiTextLabelCtrl {
 public:
  static constexpr std::uint64_t kDefaultShowDelayMs = 500;

  explicit CGuiToolTipCtrl(std::uint64_t showDelayMs = kDefaultShowDelayMs);

  // The mouse entered the owning control at tick `nowMs`.
  void Restart(std::uint64_t nowMs) { showTime = nowMs; }
  // Follows the cursor (window pixels) while the delay runs: the tip's
  // origin becomes the cursor plus f x (textBorder.left, textBorder.top).
  // After the delay the tip keeps its place.
  void Move(GuiPoint cursor, std::uint64_t nowMs);
  // True once the delay has passed since the last Restart.
  bool Shown(std::uint64_t nowMs) const;
  // The tip's rectangle in window pixels (measured at the last paint).
  GuiRect TipRect() const { return {position.x, position.y, tipWidth, tipHeight}; }

  void TextChanged() override;
  bool SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) override;
  void Layout() override;
  void Paint(cairo_t* cr) override;
  // Paints as at tick `nowMs`: nothing while invisible or before the delay.
  void PaintAt(cairo_t* cr, std::uint64_t nowMs);

  std::uint64_t showTime = 0;
  std::uint64_t showDelay = kDefaultShowDelayMs;
  GuiPoint position;
  bool measureNeeded = true;

 private:
  // Measures the text and sets the tip's size.
  void Measure();

  int tipWidth = 0;
  int tipHeight = 0;
  double measuredDpi = 0;
  std::string m_measuredText;
  FontPtr m_measuredFont;
  CachedTextLayout m_tipTextCache;
};

}  // namespace ui
