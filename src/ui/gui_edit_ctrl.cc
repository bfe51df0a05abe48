#include "ui/gui_edit_ctrl.h"

#include <algorithm>
#include <cmath>

#include "platform/local_time.h"
#include "ui/dpi_factor.h"
#include "ui/gui_keys.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace ui {
namespace {

void SetSourceArgb(cairo_t* cr, ArgbColor color) {
  cairo_set_source_rgba(cr, RedOf(color) / 255.0, GreenOf(color) / 255.0, BlueOf(color) / 255.0,
                        AlphaOf(color) / 255.0);
}

// One line, left-aligned, nothing trimmed; the field clips by itself.
TextFormat EditTextFormat() {
  TextFormat format;
  format.align = TextAlign::kLeft;
  format.verticalAlign = TextVerticalAlign::kTop;
  format.overflow = TextOverflow::kClip;
  format.measureTrailingBlanks = true;
  format.clipToBox = false;
  return format;
}

}  // namespace

CGuiEditCtrl::CGuiEditCtrl() {
  // Shown by the controller when its page needs it.
  visible = false;
  stringFormat = EditTextFormat();
}

CGuiEditCtrl::~CGuiEditCtrl() = default;

void CGuiEditCtrl::SetTextBorder(const GuiInsets& border) {
  textBorder = border;
  ComputeTextArea();
  KeepCaretVisible();
}

void CGuiEditCtrl::SetContent(const std::string& utf8) {
  model.SetContent(Utf8ToCodePoints(utf8));
  ContentChanged();
}

std::string CGuiEditCtrl::Content() const { return CodePointsToUtf8(model.Content()); }

void CGuiEditCtrl::SetClipboard(platform::IClipboard* newClipboard) { clipboard = newClipboard; }

bool CGuiEditCtrl::SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) {
  if (!GuiControl::SetProfile(newProfile, newParent)) return false;
  BuildImages();
  measureNeeded = true;
  return true;
}

void CGuiEditCtrl::Layout() {
  GuiControl::Layout();
  ComputeTextArea();
}

void CGuiEditCtrl::Relayout() {
  model.ClearSelection();
  GuiControl::Relayout();
  BuildImages();
  measureNeeded = true;
  KeepCaretVisible();
}

void CGuiEditCtrl::BuildImages() {
  if (!profile) return;
  if (stateImages.NeedsRebuild(profile->texture, screenWidth, screenHeight, profile->zoom)) {
    stateImages.Build(profile->texture, screenWidth, screenHeight, profile->zoom);
  }
}

void CGuiEditCtrl::ComputeTextArea() {
  const double f = DpiFactor();
  textArea.x = f * textBorder.left;
  textArea.y = f * textBorder.top;
  textArea.width = std::max(0.0, screenWidth - f * (textBorder.left + textBorder.right));
  textArea.height = std::max(0.0, screenHeight - f * (textBorder.top + textBorder.bottom));
}

int CGuiEditCtrl::StateIndex() const {
  if (focused) return ssPressed;
  if (hover) return ssHover;
  return ssNormal;
}

const FontPtr& CGuiEditCtrl::StateFont() const {
  static const FontPtr kNone;
  return profile ? profile->fonts[static_cast<size_t>(StateIndex())] : kNone;
}

void CGuiEditCtrl::MeasureIfNeeded() {
  const int state = StateIndex();
  if (!measureNeeded && measuredState == state) return;
  const FontPtr& font = StateFont();
  const std::string utf8 = Content();
  extents = CLineExtents(font, utf8);
  layout = font ? CTextLayout(font, utf8, 0, 0, stringFormat) : CTextLayout();
  measureNeeded = false;
  measuredState = state;
}

const CLineExtents& CGuiEditCtrl::CharExtents() {
  MeasureIfNeeded();
  return extents;
}

double CGuiEditCtrl::CaretX() {
  MeasureIfNeeded();
  return extents.Left(std::min(model.Caret(), extents.Count()));
}

std::size_t CGuiEditCtrl::IndexAtPoint(GuiPoint point) {
  MeasureIfNeeded();
  const double x = point.x - (screenX + textArea.x) + scrollOffset;
  return std::min(extents.HitTest(x), model.Length());
}

void CGuiEditCtrl::KeepCaretVisible() {
  const double width = textArea.width;
  if (width < 1) {
    scrollOffset = 0;
    return;
  }
  const double caretX = CaretX();
  double offset = scrollOffset;
  if (caretX - offset < 0) {
    offset = std::floor(caretX);
  } else if (caretX - offset > width - 1) {
    offset = std::ceil(caretX - (width - 1));
  }
  // No blank on the right while the text could still fill the area (after
  // deleting at the end, for example); the caret at the end stays inside.
  const double maxOffset = std::max(0.0, std::ceil(extents.Width() - (width - 1)));
  scrollOffset = std::clamp(offset, 0.0, maxOffset);
}

void CGuiEditCtrl::ContentChanged() {
  measureNeeded = true;
  KeepCaretVisible();
}

void CGuiEditCtrl::Paint(cairo_t* cr) { PaintAt(cr, platform::TickCountMs()); }

void CGuiEditCtrl::PaintAt(cairo_t* cr, std::uint64_t nowMs) {
  if (!visible || !profile || !profile->texture || profile->texture->Count() < 9) return;
  const int state = StateIndex();
  cairo_save(cr);
  cairo_rectangle(cr, screenX, screenY, screenWidth, screenHeight);
  cairo_clip(cr);
  if (cairo_surface_t* image = stateImages.Image(state)) {
    cairo_set_source_surface(cr, image, screenX, screenY);
    cairo_paint(cr);
  }
  MeasureIfNeeded();
  const ArgbColor textColor = profile->fontSpecs[static_cast<size_t>(state)].color;
  const double areaLeft = screenX + textArea.x;
  const double areaTop = screenY + textArea.y;
  const GuiRect areaClip{static_cast<int>(std::floor(areaLeft)), static_cast<int>(std::floor(areaTop)),
                         static_cast<int>(textArea.width), static_cast<int>(textArea.height)};

  if ((focused || captured) && model.HasSelection()) {
    const double x0 = extents.Left(std::min<std::size_t>(model.SelectionStart(), extents.Count()));
    const double x1 = extents.Left(std::min<std::size_t>(model.SelectionEnd(), extents.Count()));
    cairo_save(cr);
    cairo_rectangle(cr, areaClip.x, areaClip.y, areaClip.width, areaClip.height);
    cairo_clip(cr);
    cairo_rectangle(cr, areaLeft + x0 - scrollOffset, areaTop, x1 - x0, textArea.height);
    SetSourceArgb(cr, selectionColor);
    cairo_fill(cr);
    cairo_restore(cr);
  }
  if (focused && CaretVisibleAt(nowMs)) {
    const double x = std::floor(areaLeft + CaretX() - scrollOffset);
    cairo_rectangle(cr, x, areaTop, 1, textArea.height);
    SetSourceArgb(cr, textColor);
    cairo_fill(cr);
  }
  if (model.Length() > 0 && !layout.Empty()) {
    const double top = areaTop + DpiFactor() * profile->textOffset.y;
    layout.Draw(cr, areaLeft - scrollOffset, top, textColor, &areaClip);
  }
  cairo_restore(cr);
}

void CGuiEditCtrl::OnLButtonDown(GuiPoint point) {
  RequestFocus(true);
  focused = true;
  RequestCapture(true);
  captured = true;
  pressIndex = IndexAtPoint(point);
  model.SetCaret(pressIndex);
  selecting = true;
  KeepCaretVisible();
}

void CGuiEditCtrl::OnMouseMove(GuiPoint point) {
  hover = true;
  if (!selecting) return;
  const double areaLeft = screenX + textArea.x;
  std::size_t caret;
  if (point.x < areaLeft) {
    caret = model.Caret() > 0 ? model.Caret() - 1 : 0;
  } else if (point.x >= areaLeft + textArea.width) {
    caret = std::min(model.Caret() + 1, model.Length());
  } else {
    caret = IndexAtPoint(point);
  }
  model.Select(pressIndex, caret);
  KeepCaretVisible();
}

void CGuiEditCtrl::OnTimer(GuiPoint cursor) {
  if (selecting) OnMouseMove(cursor);
}

void CGuiEditCtrl::OnLButtonUp(GuiPoint point) {
  if (selecting && !model.HasSelection()) {
    model.SetCaret(IndexAtPoint(point));
    KeepCaretVisible();
  }
  selecting = false;
  if (captured) {
    captured = false;
    RequestCapture(false);
  }
}

void CGuiEditCtrl::OnMouseLeave() {
  hover = false;
  selecting = false;
  if (captured) {
    captured = false;
    RequestCapture(false);
  }
}

void CGuiEditCtrl::OnCaptured(bool isCaptured) {
  if (isCaptured) {
    captured = true;
    return;
  }
  // The window says "lost" for the capture and for the keyboard focus. While
  // the field holds the capture it is the capture that went; otherwise
  // another control took the focus, and the caret goes with it.
  if (captured) {
    captured = false;
    selecting = false;
  } else {
    focused = false;
  }
}

void CGuiEditCtrl::CopySelection() {
  if (!model.HasSelection()) return;
  platform::IClipboard& board = clipboard ? *clipboard : platform::ProcessClipboard();
  board.SetText(CodePointsToUtf8(model.SelectedText()));
}

void CGuiEditCtrl::Paste() {
  platform::IClipboard& board = clipboard ? *clipboard : platform::ProcessClipboard();
  const std::optional<std::string> pasted = board.GetText();
  if (!pasted) return;
  model.Insert(Utf8ToCodePoints(*pasted));
  ContentChanged();
}

void CGuiEditCtrl::OnKeyDown(int key, std::uint32_t modifiers) {
  const bool shift = (modifiers & eGuiKeyMod_Shift) != 0;
  const bool ctrl = (modifiers & eGuiKeyMod_Ctrl) != 0;
  if (shift && (key == eGuiKey_Left || key == eGuiKey_Right)) {
    if (key == eGuiKey_Left) {
      model.ExtendLeft();
    } else {
      model.ExtendRight();
    }
    KeepCaretVisible();
    return;
  }
  if (ctrl && key >= 'A' && key <= 'Z') {
    switch (key) {
      case eGuiKey_A:
        model.SelectAll();
        KeepCaretVisible();
        break;
      case eGuiKey_C:
        CopySelection();
        break;
      case eGuiKey_X:
        if (model.HasSelection()) {
          platform::IClipboard& board = clipboard ? *clipboard : platform::ProcessClipboard();
          // The text leaves the field only once it is safe on the clipboard.
          if (board.SetText(CodePointsToUtf8(model.SelectedText()))) {
            model.DeleteSelection();
            ContentChanged();
          }
        }
        break;
      case eGuiKey_V:
        Paste();
        break;
      default:
        break;
    }
    return;
  }
  switch (key) {
    case eGuiKey_Backspace:
      if (model.Backspace()) ContentChanged();
      break;
    case eGuiKey_Delete:
      if (model.DeleteForward()) ContentChanged();
      break;
    case eGuiKey_Left:
      model.MoveLeft();
      KeepCaretVisible();
      break;
    case eGuiKey_Right:
      model.MoveRight();
      KeepCaretVisible();
      break;
    case eGuiKey_Return:
      NotifyCommand();
      break;
    default:
      break;
  }
}

void CGuiEditCtrl::OnChar(char32_t character, std::uint32_t modifiers) {
  if ((modifiers & eGuiKeyMod_Ctrl) != 0) return;
  if (character == kGuiCharBackspace || character == kGuiCharTab || character == kGuiCharReturn) return;
  const char32_t one[1] = {character};
  if (model.Insert(std::u32string_view(one, 1)) > 0 || model.HasSelection()) ContentChanged();
}

}  // namespace ui
