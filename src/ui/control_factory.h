// The control factories: each control element of a theme form becomes a
// control object. The element's name picks the class (the type table);
// the factory constructs it, reads its type-specific attributes
// (ParseExtra), then "pt", "size" (both required), "func" (the identifier,
// -1 for none) and "profile" (required, a registered profile), and sets the
// profile. Child elements become child controls; a child that cannot be
// created is left out silently.
//
// Main thread only, after LoadProfiles. Failures are null results or an
// empty list; nothing throws. The caller owns what is returned.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include <tinyxml2.h>

#include "ui/gui_bitmap_border_step_ctrl.h"
#include "ui/gui_combo_box_ctrl.h"
#include "ui/gui_control.h"
#include "ui/gui_edit_ctrl.h"
#include "ui/gui_text_label_ctrl.h"
#include "ui/gui_text_lines_ctrl.h"
#include "ui/gui_tool_tip_ctrl.h"

namespace ui {

// Codes of the control element names.
enum ControlTypeCode {
  ctButton = 0,
  ctScroll = 1,
  ctComboBox = 2,
  ctProgress = 3,
  ctProgressWait = 4,
  ctBitmapBorder = 5,
  ctStep = 6,
  ctBitmap = 7,
  ctEdit = 8,
  ctCheckBox = 9,
  ctTextLabel = 10,
  ctTextLines = 11,
  ctToolTip = 12,
  ctFolderList = 13,
  ctStepIndicator = 14,
  ctUnknown = -1,
};

// The code of an element name ("CGuiButtonCtrl", "step", "tooltip"...);
// ctUnknown for any other name.
ControlTypeCode ControlTypeOf(std::string_view elementName);

// Reads "pt", "size", "func", "profile" and the optional fixed caption
// "text", and sets the profile; shared by
// every factory. False when a required attribute is missing or invalid, the
// profile is unknown or SetProfile fails.
bool ApplyCommonAttributes(const tinyxml2::XMLElement* element, GuiControl& control, GuiControl* parent);

template <class T>
class ControlFabricBase {
 public:
  // Slot 0: the type-specific attributes; nothing here.
  virtual bool ParseExtra(const tinyxml2::XMLElement* /*element*/, T& /*control*/) { return true; }
  // Slot 1: construct, ParseExtra, the common attributes. Null on failure
  // (the half-made control is destroyed). Children are not created here.
  virtual std::unique_ptr<T> Create(const tinyxml2::XMLElement* element, GuiControl* parent) {
    auto control = std::make_unique<T>();
    if (!ParseExtra(element, *control)) return nullptr;
    if (!ApplyCommonAttributes(element, *control, parent)) return nullptr;
    return control;
  }
  virtual ~ControlFabricBase() = default;
};

// "size0".."size3": the form's four sizes, 0 x 0 where missing.
class CFabricStep : public ControlFabricBase<CGuiBitmapBorderStepCtrl> {
 public:
  bool ParseExtra(const tinyxml2::XMLElement* element, CGuiBitmapBorderStepCtrl& control) override;
};

// "align": exactly "center" centres the text.
class CFabricTextLabel : public ControlFabricBase<CGuiTextLabelCtrl> {
 public:
  bool ParseExtra(const tinyxml2::XMLElement* element, CGuiTextLabelCtrl& control) override;
};

// "align" as the label.
class CFabricTextArea : public ControlFabricBase<CGuiTextLinesCtrl> {
 public:
  bool ParseExtra(const tinyxml2::XMLElement* element, CGuiTextLinesCtrl& control) override;
};

// "textBorder" (0, 0, 0, 0 when missing or invalid), "colorSelection"
// (opaque black when missing or invalid).
class CFabricEdit : public ControlFabricBase<CGuiEditCtrl> {
 public:
  bool ParseExtra(const tinyxml2::XMLElement* element, CGuiEditCtrl& control) override;
};

// "flagOffset", "listElementsBorder", "listElementTextOffset", "listBorder"
// (0 when missing or invalid), "colorElement", "colorElementHL",
// "colorElementSEL" (opaque black), "listElementHeight" (0).
class CFabricCombobox : public ControlFabricBase<CGuiComboBoxCtrl> {
 public:
  bool ParseExtra(const tinyxml2::XMLElement* element, CGuiComboBoxCtrl& control) override;
};

// The control for `element` and, below it, its children. Null for an
// unknown element name, "tooltip", or a failing factory.
std::unique_ptr<GuiControl> CreateControl(const tinyxml2::XMLElement* element, GuiControl* parent);
// Creates every child element of `element` below `control` in document
// order, skipping those that give none.
void CreateChildControls(const tinyxml2::XMLElement* element, GuiControl& control);

// The forms of config/forms: every "step" element with at least one child
// element, in document order. Empty when there is no "forms" element, and
// empty as a whole as soon as one form cannot be created.
std::vector<std::unique_ptr<CGuiBitmapBorderStepCtrl>> LoadForms(const tinyxml2::XMLDocument& themeDocument);

// A tool tip with the profile `profileName` (no parent) and the default
// show delay; null when the profile is unknown.
std::unique_ptr<CGuiToolTipCtrl> CreateToolTip(std::string_view profileName);

}  // namespace ui
