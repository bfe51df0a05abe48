// CGuiFolderListCtrl: the list of the folder choice form, one name a row,
// inside a scroll area (its parent) like the text area: it takes the height
// its rows need. A click on a row selects it and sends the control's
// command; the form reads SelectedRow(). Rows are cut with an ellipsis at
// the list's width. The selected row is drawn on a light band.
//
// Window (main) thread only; nothing blocks. Without a "fontP" font the
// list measures and draws nothing and no row can be chosen.
#pragma once

#include <string>
#include <vector>

#include "ui/gui_text_label_ctrl.h"
#include "ui/text_layout.h"

namespace ui {

class CGuiFolderListCtrl : public CGuiTextLabelCtrl {
 public:
  static constexpr int kMeasureHeight = 100000;

  CGuiFolderListCtrl() = default;

  // New rows; nothing is selected and the list scrolls back to its top.
  void SetRows(std::vector<std::string> rows);
  const std::vector<std::string>& Rows() const { return m_rows; }
  // The row last clicked, -1 for none.
  int SelectedRow() const { return m_selected; }
  // The row at a window point, -1 for none.
  int RowAt(GuiPoint point);
  // Lays the rows out again when they or the width changed.
  void MeasureIfNeeded();

  void Relayout() override;
  void OnLButtonUp(GuiPoint point) override;
  void Paint(cairo_t* cr) override;

 private:
  std::vector<std::string> m_rows;
  int m_selected = -1;
  bool m_measureNeeded = true;
  CTextLayout m_layout;
};

}  // namespace ui
