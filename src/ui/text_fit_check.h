// A check of the window's captions against their boxes: which texts of the
// forms would be cut (ellipsis or clipping) at the current DPI, fonts and
// form sizes. Used by the theme tests and the snapshot tool to find
// translations that do not fit the theme.
//
// Measured per kind of control, as each one places its caption:
// - label: the text's widest line against the label's width, the lowest
//   pixel its glyphs draw against its height (the text sits at the top);
// - button: the centred caption (with the profile's text offset) must lie
//   inside the button;
// - check box: the caption box right of the square (width minus height);
// - combo box: the box width after the text offset and the right skin piece
//   (the drop-down arrow).
// Multi-line text areas wrap and scroll, tool tips size themselves: neither
// is checked. Controls without text or font are skipped.
//
// Window thread only; pure measuring, nothing is changed.
#pragma once

#include <string>
#include <vector>

namespace ui {

class CLayeredWindow;
class GuiControl;

struct ClippedText {
  int form = 0;          // 1-based form number
  int id = -1;           // the control's identifier
  std::string kind;      // "label", "button", "check box", "combo box"
  std::string text;
  double textWidth = 0;  // pixels
  double textHeight = 0;  // down to the lowest drawn pixel
  double boxWidth = 0;   // the room the caption has
  double boxHeight = 0;
};

// Every caption of every form (as laid out now) that does not fit.
std::vector<ClippedText> FindClippedTexts(const CLayeredWindow& window);
// The captions of one control tree that do not fit.
void FindClippedTexts(GuiControl& root, int formNumber, std::vector<ClippedText>& out);
// "form 4 control 12354 (button) "Installieren": 131 x 17 in 127 x 36".
std::string DescribeClippedText(const ClippedText& clipped);

}  // namespace ui
