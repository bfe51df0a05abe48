#include "ui/gui_folder_list_ctrl.h"

#include "ui/dpi_factor.h"
#include "ui/theme_profile.h"

namespace ui {

void CGuiFolderListCtrl::SetRows(std::vector<std::string> rows) {
  m_rows = std::move(rows);
  m_selected = -1;
  text.clear();
  for (const std::string& row : m_rows) {
    if (!text.empty()) text += '\n';
    // A line break inside a name would make two rows of one.
    for (char c : row) text += (c == '\n' || c == '\r') ? ' ' : c;
  }
  m_measureNeeded = true;
  MeasureIfNeeded();
}

void CGuiFolderListCtrl::Relayout() {
  CGuiTextLabelCtrl::Relayout();
  m_measureNeeded = true;
}

void CGuiFolderListCtrl::MeasureIfNeeded() {
  if (!m_measureNeeded || !profile) return;
  m_measureNeeded = false;
  TextFormat format;
  format.verticalAlign = TextVerticalAlign::kTop;
  format.overflow = TextOverflow::kEllipsis;
  format.clipToBox = false;
  const FontPtr font = profile->fonts[fsNormal];
  m_layout = font && !m_rows.empty() ? CTextLayout(font, text, screenWidth, kMeasureHeight, format) : CTextLayout();
  designHeight = static_cast<int>(m_layout.Size().height / DpiFactor());
  Layout();
  if (parent) parent->ResetContent();
}

int CGuiFolderListCtrl::RowAt(GuiPoint point) {
  MeasureIfNeeded();
  if (!HitTest(point.x, point.y)) return -1;
  const auto& lines = m_layout.Lines();
  const double y = point.y - screenY;
  for (size_t i = 0; i < lines.size(); ++i) {
    const double bottom = i + 1 < lines.size() ? lines[i + 1].top : m_layout.Size().height;
    if (y >= lines[i].top && y < bottom) return static_cast<int>(i);
  }
  return -1;
}

void CGuiFolderListCtrl::OnLButtonUp(GuiPoint point) {
  const int row = RowAt(point);
  if (row < 0) return;
  m_selected = row;
  NotifyCommand();
}

void CGuiFolderListCtrl::Paint(cairo_t* cr) {
  if (!visible) return;
  MeasureIfNeeded();
  if (!profile || m_layout.Empty()) return;
  const auto& lines = m_layout.Lines();
  if (m_selected >= 0 && static_cast<size_t>(m_selected) < lines.size()) {
    const size_t i = static_cast<size_t>(m_selected);
    const double bottom = i + 1 < lines.size() ? lines[i + 1].top : m_layout.Size().height;
    cairo_save(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.15);
    cairo_rectangle(cr, screenX, screenY + lines[i].top, screenWidth, bottom - lines[i].top);
    cairo_fill(cr);
    cairo_restore(cr);
  }
  m_layout.Draw(cr, screenX, screenY, profile->fontSpecs[fsNormal].color);
}

}  // namespace ui
