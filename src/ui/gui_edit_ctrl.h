// CGuiEditCtrl: the single-line edit field (the installation folder, the
// message page's server address). A nine-piece skin per state (normal,
// hover, focused), the text clipped to the text area inside "textBorder",
// a selection drawn in "colorSelection", a blinking caret, mouse and key
// editing and copy, cut and paste through a clipboard. It holds one line:
// control characters (line breaks, tabs) from typing or pasting are left
// out, and text beyond the length limit is cut off.
//
// Threading: window (main) thread only; nothing blocks. Ownership: the
// clipboard is borrowed (the process clipboard by default). Errors: a field
// without a profile or a texture of fewer than nine pieces draws nothing;
// clipboard failures insert or copy nothing.
#pragma once

#include <cstdint>
#include <string>

#include "platform/clipboard.h"
#include "ui/edit_text.h"
#include "ui/gui_control.h"
#include "ui/gui_types.h"
#include "ui/skin_images.h"
#include "ui/text_layout.h"

namespace ui {

class CGuiEditCtrl : public GuiControl {
 public:
  // Float rectangle in control-relative window pixels.
  struct AreaF {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
  };

  CGuiEditCtrl();
  ~CGuiEditCtrl() override;

  // --- Theme values (the factory's "textBorder" and "colorSelection") -----
  void SetTextBorder(const GuiInsets& border);
  const GuiInsets& TextBorder() const { return textBorder; }
  void SetSelectionColor(ArgbColor color) { selectionColor = color; }
  ArgbColor SelectionColor() const { return selectionColor; }

  // --- Content ------------------------------------------------------------
  // Replaces the content (UTF-8); caret at its end, no selection, scrolled
  // so the caret shows.
  void SetContent(const std::string& utf8);
  std::string Content() const;
  const EditText& Model() const { return model; }
  void SetMaxLength(std::size_t characters) { model.SetMaxLength(characters); }
  // The clipboard for Ctrl+C/X/V (borrowed; null restores the process one).
  void SetClipboard(platform::IClipboard* clipboard);

  // --- Geometry -----------------------------------------------------------
  // (f·left, f·top, screenWidth − f·(left+right), screenHeight − f·(top+bottom)).
  const AreaF& TextArea() const { return textArea; }
  double ScrollOffset() const { return scrollOffset; }
  // x positions of every character in the unscrolled text, relative to the
  // text area's left edge, with the current state's font (measured on
  // demand).
  const CLineExtents& CharExtents();
  // x of the caret in the unscrolled text, relative to the text area.
  double CaretX();
  // The character boundary nearest to a window point's x (clamped).
  std::size_t IndexAtPoint(GuiPoint point);

  // True while the caret shows at tick `ms` (the second half of every
  // second).
  static bool CaretVisibleAt(std::uint64_t ms) { return ms % 1000 > 500; }

  // --- GuiControl ---------------------------------------------------------
  bool SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) override;
  void Layout() override;
  void Relayout() override;
  void Paint(cairo_t* cr) override;
  // Paints as at tick `nowMs` (the caret's blink phase); Paint uses the
  // system tick count.
  void PaintAt(cairo_t* cr, std::uint64_t nowMs);
  void OnChar(char32_t character, std::uint32_t modifiers) override;
  void OnKeyDown(int key, std::uint32_t modifiers) override;
  void OnMouseMove(GuiPoint point) override;
  void OnLButtonDown(GuiPoint point) override;
  void OnLButtonUp(GuiPoint point) override;
  void OnTimer(GuiPoint cursor) override;
  void OnMouseLeave() override;
  // false while capturing: the capture went elsewhere; false otherwise: the
  // keyboard focus did (the field stops showing its caret).
  void OnCaptured(bool isCaptured) override;

  // --- Fields --------------------------------------------------------------
  EditText model;
  double scrollOffset = 0;
  GuiInsets textBorder;
  AreaF textArea;
  ArgbColor selectionColor = kOpaqueBlack;
  bool focused = false;
  bool hover = false;
  bool captured = false;
  bool selecting = false;
  bool measureNeeded = true;

 private:
  void ComputeTextArea();
  // Measures the character extents and lays the text out with the font of
  // the current state, when the content or that font changed.
  void MeasureIfNeeded();
  const FontPtr& StateFont() const;
  void BuildImages();
  // Moves scrollOffset so the caret stays inside the text area and no
  // blank is left on the right while the text could fill it.
  void KeepCaretVisible();
  // Called after every content or caret change.
  void ContentChanged();
  void CopySelection();
  void Paste();
  int StateIndex() const;

  // The state images: normal, hover, focused (and disabled, unused).
  StateImages stateImages;
  CLineExtents extents;
  CTextLayout layout;
  std::size_t pressIndex = 0;
  platform::IClipboard* clipboard = nullptr;
  // The font state the extents were measured with.
  int measuredState = -1;
};

}  // namespace ui
