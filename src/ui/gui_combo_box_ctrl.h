// CGuiComboBoxCtrl: the drop-down list of the language choice. The box is a
// three-piece skin per state with the caption drawn into it at the
// profile's text offset; the opened list is a nine-piece skin (the first
// child profile) with one coloured row per item; a flag picture (a piece of
// the second child profile's texture) sits at "flagOffset".
//
// The list opens below the box when the room the window reports allows it,
// above the box otherwise, and is kept on the screen when neither fits.
// While open the keys Up and Down move the hot item, Return picks it and
// Escape closes the list (the box asks for the keyboard focus on a click).
// The window learns of opening and closing through the open/close callback
// (1 opened, 0 closed) and resizes its surface; while open the list may lie
// outside the box (ListRect()).
//
// Threading: window (main) thread only; nothing blocks. Errors: none are
// reported; a box without texture draws nothing, one without list or flag
// profile draws no list or flag, and an empty item list or a selection or
// flag out of range is drawn and handled as "nothing selected".
#pragma once

#include <cairo.h>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/gui_text_label_ctrl.h"
#include "ui/gui_types.h"
#include "ui/skin_images.h"
#include "ui/text_layout.h"

namespace ui {

// What the window tells the box when its list opens (window pixels are
// relative to the window's top-left corner).
struct ComboPlacement {
  GuiRect monitor;     // the monitor the window is on (screen pixels)
  GuiRect window;      // the window (screen pixels)
  int roomBelow = 0;   // pixels between the window's bottom and the screen's
};

// Where the list goes: its top relative to the box's top, given the box's
// top and height in window pixels, the list's height and the gaps between
// box and list below ("listBorder" top) and above ("listBorder" bottom).
// Below when it ends on the screen, else above when it starts on it, else
// moved up until its bottom is the screen's (its top never above the
// screen's). Without a placement the list goes below.
int ChooseComboListOffsetY(int boxTop, int boxHeight, int listHeight, int gapBelow, int gapAbove,
                           const ComboPlacement* placement);

class CGuiComboBoxCtrl : public CGuiTextLabelCtrl {
 public:
  using PlacementCallback = std::function<ComboPlacement()>;
  using OpenCloseCallback = std::function<void(int opened)>;

  struct Item {
    std::string text;  // UTF-8
  };

  CGuiComboBoxCtrl();
  ~CGuiComboBoxCtrl() override;

  // --- Theme values (the factory's attributes; design pixels) -------------
  void SetFlagOffset(const GuiPoint& offset) { flagOffset = offset; }
  void SetListElementsBorder(const GuiInsets& insets) { listElementsBorder = insets; }
  void SetListElementTextOffset(const GuiPoint& offset) { listElementTextOffset = offset; }
  void SetColorElement(ArgbColor color) { colorElement = color; }
  void SetColorElementHL(ArgbColor color) { colorElementHL = color; }
  void SetColorElementSEL(ArgbColor color) { colorElementSEL = color; }
  void SetListElementHeight(int designPixels) { listElementHeight = designPixels; }
  void SetListBorder(const GuiInsets& insets) { listBorder = insets; }

  // --- Items (the controller) ---------------------------------------------
  void ClearItems();
  // Adds or replaces the item under `key`; items are ordered by key.
  void AddItem(std::int32_t key, const std::string& utf8Text);
  std::size_t ItemCount() const { return items.size(); }
  // Index (in key order) -> key; -1 when out of range.
  std::int32_t KeyAt(int index) const;
  // Any value; one outside the items selects nothing.
  void SetSelectedIndex(int index) { selectedIndex = index; }
  int SelectedIndex() const { return selectedIndex; }
  int HotIndex() const { return hotIndex; }
  // Piece of the flag texture shown in the box; negative shows none.
  void SetFlagIndex(int index) { flagIndex = index; }
  int FlagIndex() const { return flagIndex; }

  // --- The window's hooks ---------------------------------------------------
  void SetPlacementCallback(PlacementCallback callback) { placementCallback = std::move(callback); }
  void SetOpenCloseCallback(OpenCloseCallback callback) { openCloseCallback = std::move(callback); }
  bool IsOpen() const { return open; }
  // Opens or closes the list (the callback hears of real changes only).
  void SetOpen(bool value);
  // The list in window pixels (empty while closed), and its top relative to
  // the box's top.
  GuiRect ListRect() const;
  int ListOffsetY() const { return listOffset.y; }
  // Row rectangle of item `index` in window pixels (empty when out of range).
  GuiRect ItemRect(int index) const;
  // Item under a window point while open, else -1.
  int ItemAt(GuiPoint point) const;

  // --- CGuiTextLabelCtrl / GuiControl ---------------------------------------
  void TextChanged() override;
  bool SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) override;
  bool BuildSkin() override;
  void Relayout() override;
  bool HitTest(int x, int y) const override;
  void Paint(cairo_t* cr) override;
  void OnMouseMove(GuiPoint point) override;
  void OnLButtonUp(GuiPoint point) override;
  void OnMouseLeave() override;
  void OnKeyDown(int key, std::uint32_t modifiers) override;

  // 3 disabled, 2 open, 1 hover, 0 normal.
  int StateIndex() const;

  // --- Fields ----------------------------------------------------------------
  std::map<std::int32_t, Item> items;
  int selectedIndex = -1;
  int hotIndex = -1;
  int flagIndex = -1;
  bool open = false;
  bool hover = false;
  GuiPoint flagOffset;
  GuiInsets listElementsBorder;
  GuiPoint listElementTextOffset;
  ArgbColor colorElement = kOpaqueBlack;
  ArgbColor colorElementHL = kOpaqueBlack;
  ArgbColor colorElementSEL = kOpaqueBlack;
  int listElementHeight = 0;
  GuiInsets listBorder;
  const ThemeProfile* listProfile = nullptr;
  const ThemeProfile* flagProfile = nullptr;

 private:
  // Size of the list and its position relative to the box, chosen from the
  // placement when the list opens.
  void PlaceList();
  // Lays every item's text out in the normal, hot and selected fonts.
  void BuildItemLayouts();
  void PaintList(cairo_t* cr);
  void PaintFlag(cairo_t* cr);

  PlacementCallback placementCallback;
  OpenCloseCallback openCloseCallback;
  GuiPoint listOffset;  // list's top-left relative to the box
  GuiSize listSize;
  // The four state images (normal, hover, open, disabled) with the caption.
  StateImages stateImages;
  // Per item in key order: its text in the normal, hot and selected fonts.
  std::vector<std::array<CTextLayout, 3>> itemLayouts;
};

}  // namespace ui
