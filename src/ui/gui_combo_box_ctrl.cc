#include "ui/gui_combo_box_ctrl.h"

#include <algorithm>

#include "ui/dpi_factor.h"
#include "ui/gui_keys.h"
#include "ui/skin_drawing.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace ui {
namespace {

// Item layouts per state of an item.
constexpr size_t kItemNormal = 0;
constexpr size_t kItemHot = 1;
constexpr size_t kItemSelected = 2;

void SetSourceArgb(cairo_t* cr, ArgbColor color) {
  cairo_set_source_rgba(cr, RedOf(color) / 255.0, GreenOf(color) / 255.0, BlueOf(color) / 255.0,
                        AlphaOf(color) / 255.0);
}

int Scaled(int designPixels) { return ScaleByDpi(designPixels); }

}  // namespace

int ChooseComboListOffsetY(int boxTop, int boxHeight, int listHeight, int gapBelow, int gapAbove,
                           const ComboPlacement* placement) {
  const int below = boxHeight + gapBelow;
  if (!placement) return below;
  // The screen's extent in window pixels.
  const int screenTop = placement->monitor.y - placement->window.y;
  const int screenBottom = placement->window.height + std::max(0, placement->roomBelow);
  if (boxTop + below + listHeight <= screenBottom) return below;
  const int above = -(listHeight + gapAbove);
  if (boxTop + above >= screenTop) return above;
  const int shifted = screenBottom - listHeight - boxTop;
  return std::max(shifted, screenTop - boxTop);
}

CGuiComboBoxCtrl::CGuiComboBoxCtrl() = default;
CGuiComboBoxCtrl::~CGuiComboBoxCtrl() = default;

void CGuiComboBoxCtrl::ClearItems() {
  items.clear();
  hotIndex = -1;
  BuildItemLayouts();
  if (open) PlaceList();
}

void CGuiComboBoxCtrl::AddItem(std::int32_t key, const std::string& utf8Text) {
  items[key] = Item{utf8Text};
  BuildItemLayouts();
  if (open) PlaceList();
}

std::int32_t CGuiComboBoxCtrl::KeyAt(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= items.size()) return -1;
  auto it = items.begin();
  std::advance(it, index);
  return it->first;
}

int CGuiComboBoxCtrl::StateIndex() const {
  if (!enabled) return ssDisabled;
  if (open) return ssPressed;
  if (hover) return ssHover;
  return ssNormal;
}

bool CGuiComboBoxCtrl::SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) {
  if (!CGuiTextLabelCtrl::SetProfile(newProfile, newParent)) return false;
  listProfile = profile->childProfiles.size() > 0 ? profile->childProfiles[0] : nullptr;
  flagProfile = profile->childProfiles.size() > 1 ? profile->childProfiles[1] : nullptr;
  BuildSkin();
  BuildItemLayouts();
  PlaceList();
  return true;
}

bool CGuiComboBoxCtrl::BuildSkin() {
  if (!profile || !profile->texture) return false;
  stateImages.Build(profile->texture, screenWidth, screenHeight, profile->zoom);
  // The caption is part of each state image, placed by the text offset.
  TextFormat format;
  format.align = TextAlign::kLeft;
  format.overflow = TextOverflow::kEllipsis;
  const double f = DpiFactor();
  for (int state = 0; state < kSkinStateCount; ++state) {
    cairo_surface_t* image = stateImages.Image(state);
    const FontPtr& font = profile->fonts[static_cast<size_t>(state)];
    if (!image || !font || text.empty()) continue;
    const CTextLayout caption(font, text, screenWidth, screenHeight, format);
    cairo_t* cr = cairo_create(image);
    caption.Draw(cr, f * profile->textOffset.x, f * profile->textOffset.y,
                 profile->fontSpecs[static_cast<size_t>(state)].color);
    cairo_destroy(cr);
    cairo_surface_flush(image);
  }
  return true;
}

void CGuiComboBoxCtrl::TextChanged() {
  CGuiTextLabelCtrl::TextChanged();
  BuildSkin();
}

void CGuiComboBoxCtrl::Relayout() {
  CGuiTextLabelCtrl::Relayout();
  BuildSkin();
  BuildItemLayouts();
  PlaceList();
}

void CGuiComboBoxCtrl::BuildItemLayouts() {
  itemLayouts.clear();
  if (!listProfile) return;
  TextFormat format;
  format.overflow = TextOverflow::kClip;
  format.clipToBox = false;
  itemLayouts.reserve(items.size());
  for (const auto& [key, item] : items) {
    std::array<CTextLayout, 3> layouts;
    const FontState fonts[3] = {fsNormal, fsHover, fsPressed};
    for (size_t i = 0; i < 3; ++i) {
      const FontPtr& font = listProfile->fonts[fonts[i]];
      if (font) layouts[i] = CTextLayout(font, item.text, 0, 0, format);
    }
    itemLayouts.push_back(std::move(layouts));
  }
}

void CGuiComboBoxCtrl::PlaceList() {
  const int count = static_cast<int>(std::min<size_t>(items.size(), 4096));
  const int itemHeight = std::max(0, Scaled(listElementHeight));
  const int elementsTop = Scaled(listElementsBorder.top);
  const int elementsBottom = Scaled(listElementsBorder.bottom);
  listSize.width = std::max(0, screenWidth - Scaled(listBorder.left + listBorder.right));
  listSize.height = std::max(0, elementsTop + count * itemHeight + elementsBottom);
  listOffset.x = Scaled(listBorder.left);
  ComboPlacement placement;
  const bool placed = open && placementCallback;
  if (placed) placement = placementCallback();
  listOffset.y = ChooseComboListOffsetY(screenY, screenHeight, listSize.height, Scaled(listBorder.top),
                                        Scaled(listBorder.bottom), placed ? &placement : nullptr);
}

GuiRect CGuiComboBoxCtrl::ListRect() const {
  if (!open) return {};
  return {screenX + listOffset.x, screenY + listOffset.y, listSize.width, listSize.height};
}

GuiRect CGuiComboBoxCtrl::ItemRect(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= items.size()) return {};
  const int itemHeight = std::max(0, Scaled(listElementHeight));
  const int left = Scaled(listElementsBorder.left);
  return {screenX + listOffset.x + left,
          screenY + listOffset.y + Scaled(listElementsBorder.top) + index * itemHeight,
          std::max(0, listSize.width - left - Scaled(listElementsBorder.right)), itemHeight};
}

int CGuiComboBoxCtrl::ItemAt(GuiPoint point) const {
  if (!open) return -1;
  for (int i = 0; static_cast<size_t>(i) < items.size(); ++i) {
    if (ItemRect(i).Contains(point.x, point.y)) return i;
  }
  return -1;
}

void CGuiComboBoxCtrl::SetOpen(bool value) {
  if (value == open) return;
  open = value;
  if (open) {
    PlaceList();
  } else {
    hotIndex = -1;
  }
  if (openCloseCallback) openCloseCallback(open ? 1 : 0);
}

bool CGuiComboBoxCtrl::HitTest(int x, int y) const {
  if (!visible) return false;
  if (ScreenRect().Contains(x, y) && stateImages.AlphaAt(StateIndex(), x - screenX, y - screenY) > 0) return true;
  return open && (ListRect().Contains(x, y) || ItemAt({x, y}) >= 0);
}

void CGuiComboBoxCtrl::Paint(cairo_t* cr) {
  if (!visible || !profile || !profile->texture) return;
  if (cairo_surface_t* image = stateImages.Image(StateIndex())) {
    cairo_save(cr);
    cairo_set_source_surface(cr, image, screenX, screenY);
    cairo_paint(cr);
    cairo_restore(cr);
  }
  if (open) PaintList(cr);
  PaintFlag(cr);
}

void CGuiComboBoxCtrl::PaintList(cairo_t* cr) {
  if (!listProfile || !listProfile->texture) return;
  cairo_save(cr);
  DrawNineSlice(cr, *listProfile->texture, 0, ListRect(), listProfile->zoom);
  const double f = DpiFactor();
  for (int i = 0; static_cast<size_t>(i) < items.size(); ++i) {
    const bool hot = i == hotIndex;
    const bool selected = i == selectedIndex;
    const size_t which = hot ? kItemHot : (selected ? kItemSelected : kItemNormal);
    const ArgbColor fill = hot ? colorElementHL : (selected ? colorElementSEL : colorElement);
    const GuiRect rect = ItemRect(i);
    cairo_rectangle(cr, rect.x, rect.y, rect.width, rect.height);
    SetSourceArgb(cr, fill);
    cairo_fill(cr);
    if (static_cast<size_t>(i) >= itemLayouts.size()) continue;
    const FontState fontState = hot ? fsHover : (selected ? fsPressed : fsNormal);
    itemLayouts[static_cast<size_t>(i)][which].Draw(cr, rect.x + f * listElementTextOffset.x,
                                                     rect.y + f * listElementTextOffset.y,
                                                     listProfile->fontSpecs[fontState].color);
  }
  cairo_restore(cr);
}

void CGuiComboBoxCtrl::PaintFlag(cairo_t* cr) {
  // A flag beyond the pieces of the flag texture shows nothing.
  if (flagIndex < 0 || !flagProfile || !flagProfile->texture) return;
  const TextureImage* flag = flagProfile->texture->Image(static_cast<size_t>(flagIndex));
  if (!flag || !flag->surface) return;
  const double x = screenX + flagOffset.x;
  const double y = screenY + flagOffset.y;
  cairo_save(cr);
  cairo_rectangle(cr, x, y, flag->width, flag->height);
  cairo_clip(cr);
  cairo_set_source_surface(cr, flag->surface.get(), x, y);
  cairo_paint(cr);
  cairo_restore(cr);
}

void CGuiComboBoxCtrl::OnMouseMove(GuiPoint point) {
  hover = enabled;
  if (open) hotIndex = ItemAt(point);
}

void CGuiComboBoxCtrl::OnMouseLeave() {
  hover = false;
  hotIndex = -1;
}

void CGuiComboBoxCtrl::OnLButtonUp(GuiPoint point) {
  const int item = ItemAt(point);
  if (item >= 0) {
    selectedIndex = item;
    NotifyCommand();
    SetOpen(false);
    return;
  }
  if (!enabled) return;
  if (!open) RequestFocus(true);
  SetOpen(!open);
}

void CGuiComboBoxCtrl::OnKeyDown(int key, std::uint32_t) {
  if (!open || !enabled) return;
  const int count = static_cast<int>(items.size());
  switch (key) {
    case eGuiKey_Down:
    case eGuiKey_Up: {
      if (count == 0) return;
      const int from = hotIndex >= 0 ? hotIndex : (selectedIndex >= 0 && selectedIndex < count ? selectedIndex : -1);
      if (key == eGuiKey_Down) {
        hotIndex = std::min(from + 1, count - 1);
      } else {
        hotIndex = from < 0 ? 0 : std::max(from - 1, 0);
      }
      break;
    }
    case eGuiKey_Return:
      if (hotIndex >= 0 && hotIndex < count) {
        selectedIndex = hotIndex;
        NotifyCommand();
      }
      SetOpen(false);
      break;
    case eGuiKey_Escape:
      SetOpen(false);
      break;
    default:
      break;
  }
}

}  // namespace ui
