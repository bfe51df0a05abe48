#include "ui/control_factory.h"

#include <string>

#include "base/xml_readers.h"
#include "ui/control_name_table.h"
#include "ui/gui_bitmap_border_ctrl.h"
#include "ui/gui_bitmap_ctrl.h"
#include "ui/gui_button_ctrl.h"
#include "ui/gui_check_box_ctrl.h"
#include "ui/gui_folder_list_ctrl.h"
#include "ui/gui_step_indicator_ctrl.h"
#include "ui/gui_progress_ctrl.h"
#include "ui/gui_progress_wait_ctrl.h"
#include "ui/gui_scroll_ctrl.h"
#include "ui/theme_profile.h"
#include "ui/theme_values.h"

namespace ui {

namespace {

template <class Fabric>
std::unique_ptr<GuiControl> Make(const tinyxml2::XMLElement* element, GuiControl* parent) {
  Fabric fabric;
  return fabric.Create(element, parent);
}

using MakeFunction = std::unique_ptr<GuiControl> (*)(const tinyxml2::XMLElement*, GuiControl*);

struct ControlType {
  const char* name;
  ControlTypeCode code;
  MakeFunction make;  // null: not created from forms
};

const ControlType kControlTypes[] = {
    {"CGuiButtonCtrl", ctButton, Make<ControlFabricBase<CGuiButtonCtrl>>},
    {"CGuiScrollCtrl", ctScroll, Make<ControlFabricBase<CGuiScrollCtrl>>},
    {"CGuiComboBoxCtrl", ctComboBox, Make<CFabricCombobox>},
    {"CGuiProgressCtrl", ctProgress, Make<ControlFabricBase<CGuiProgressCtrl>>},
    {"CGuiProgressWaitCtrl", ctProgressWait, Make<ControlFabricBase<CGuiProgressWaitCtrl>>},
    {"CGuiBitmapBorderCtrl", ctBitmapBorder, Make<ControlFabricBase<CGuiBitmapBorderCtrl>>},
    {"step", ctStep, Make<CFabricStep>},
    {"CGuiBitmapCtrl", ctBitmap, Make<ControlFabricBase<CGuiBitmapCtrl>>},
    {"CGuiEditCtrl", ctEdit, Make<CFabricEdit>},
    {"CGuiCheckBoxCtrl", ctCheckBox, Make<ControlFabricBase<CGuiCheckBoxCtrl>>},
    {"CGuiTextLabelCtrl", ctTextLabel, Make<CFabricTextLabel>},
    {"CGuiTextLinesCtrl", ctTextLines, Make<CFabricTextArea>},
    {"tooltip", ctToolTip, nullptr},
    {"CGuiFolderListCtrl", ctFolderList, Make<ControlFabricBase<CGuiFolderListCtrl>>},
    {"CGuiStepIndicatorCtrl", ctStepIndicator, Make<ControlFabricBase<CGuiStepIndicatorCtrl>>},
};

const ControlType* FindType(std::string_view name) {
  for (const ControlType& type : kControlTypes) {
    if (name == type.name) return &type;
  }
  return nullptr;
}

bool IsCentered(const tinyxml2::XMLElement* element) {
  const char* align = element->Attribute("align");
  return align != nullptr && std::string_view(align) == "center";
}

template <class Value, class Reader>
Value ReadOr(Value fallback, Reader reader) {
  Value value = fallback;
  return reader(value) ? value : fallback;
}

}  // namespace

ControlTypeCode ControlTypeOf(std::string_view elementName) {
  const ControlType* type = FindType(elementName);
  return type ? type->code : ctUnknown;
}

bool ApplyCommonAttributes(const tinyxml2::XMLElement* element, GuiControl& control, GuiControl* parent) {
  GuiPoint position;
  if (!ReadThemePoint(element, "pt", position)) return false;
  control.SetDesignPosition(position.x, position.y);
  GuiSize size;
  if (!ReadThemeSize(element, "size", size)) return false;
  control.SetDesignSize(size.width, size.height);

  const char* func = element->Attribute("func");
  control.id = func ? NameToId(func) : -1;
  // A fixed caption that is no language string (the close button's cross).
  if (const char* caption = element->Attribute("text")) control.text = caption;

  const char* profileName = element->Attribute("profile");
  const ThemeProfile* profile = profileName ? FindProfile(profileName) : nullptr;
  if (profile == nullptr) return false;
  return control.SetProfile(profile, parent);
}

bool CFabricStep::ParseExtra(const tinyxml2::XMLElement* element, CGuiBitmapBorderStepCtrl& control) {
  static const char* const kNames[CGuiBitmapBorderStepCtrl::kSizeCount] = {"size0", "size1", "size2", "size3"};
  for (int i = 0; i < CGuiBitmapBorderStepCtrl::kSizeCount; ++i) {
    control.SetSize(i, ReadOr(GuiSize{}, [&](GuiSize& v) { return ReadThemeSize(element, kNames[i], v); }));
  }
  return true;
}

bool CFabricTextLabel::ParseExtra(const tinyxml2::XMLElement* element, CGuiTextLabelCtrl& control) {
  control.SetCentered(IsCentered(element));
  return true;
}

bool CFabricTextArea::ParseExtra(const tinyxml2::XMLElement* element, CGuiTextLinesCtrl& control) {
  control.SetCentered(IsCentered(element));
  return true;
}

bool CFabricEdit::ParseExtra(const tinyxml2::XMLElement* element, CGuiEditCtrl& control) {
  control.SetTextBorder(ReadOr(GuiInsets{}, [&](GuiInsets& v) { return ReadThemeRect(element, "textBorder", v); }));
  control.SetSelectionColor(
      ReadOr(kOpaqueBlack, [&](ArgbColor& v) { return ReadThemeColor(element, "colorSelection", v); }));
  return true;
}

bool CFabricCombobox::ParseExtra(const tinyxml2::XMLElement* element, CGuiComboBoxCtrl& control) {
  const auto point = [&](const char* name) {
    return ReadOr(GuiPoint{}, [&](GuiPoint& v) { return ReadThemePoint(element, name, v); });
  };
  const auto rect = [&](const char* name) {
    return ReadOr(GuiInsets{}, [&](GuiInsets& v) { return ReadThemeRect(element, name, v); });
  };
  const auto color = [&](const char* name) {
    return ReadOr(kOpaqueBlack, [&](ArgbColor& v) { return ReadThemeColor(element, name, v); });
  };
  control.SetFlagOffset(point("flagOffset"));
  control.SetListElementsBorder(rect("listElementsBorder"));
  control.SetListElementTextOffset(point("listElementTextOffset"));
  control.SetColorElement(color("colorElement"));
  control.SetColorElementHL(color("colorElementHL"));
  control.SetColorElementSEL(color("colorElementSEL"));
  control.SetListElementHeight(ReadOr(int32_t{0}, [&](int32_t& v) {
    return ReadThemeInt(element, "listElementHeight", v) && v >= 0;
  }));
  control.SetListBorder(rect("listBorder"));
  return true;
}

std::unique_ptr<GuiControl> CreateControl(const tinyxml2::XMLElement* element, GuiControl* parent) {
  if (element == nullptr) return nullptr;
  const ControlType* type = FindType(element->Name());
  if (type == nullptr || type->make == nullptr) return nullptr;
  std::unique_ptr<GuiControl> control = type->make(element, parent);
  if (control) CreateChildControls(element, *control);
  return control;
}

void CreateChildControls(const tinyxml2::XMLElement* element, GuiControl& control) {
  for (const tinyxml2::XMLElement* child = element->FirstChildElement(); child;
       child = child->NextSiblingElement()) {
    control.AddChild(CreateControl(child, &control));
  }
}

std::vector<std::unique_ptr<CGuiBitmapBorderStepCtrl>> LoadForms(const tinyxml2::XMLDocument& themeDocument) {
  std::vector<std::unique_ptr<CGuiBitmapBorderStepCtrl>> forms;
  const tinyxml2::XMLElement* config = themeDocument.FirstChildElement("config");
  const tinyxml2::XMLElement* formsElement = config ? config->FirstChildElement("forms") : nullptr;
  if (formsElement == nullptr) return forms;
  for (const tinyxml2::XMLElement* step = formsElement->FirstChildElement(); step;
       step = step->NextSiblingElement()) {
    if (std::string_view(step->Name()) != "step" || step->FirstChildElement() == nullptr) continue;
    CFabricStep fabric;
    std::unique_ptr<CGuiBitmapBorderStepCtrl> form = fabric.Create(step, nullptr);
    if (!form) return {};
    CreateChildControls(step, *form);
    forms.push_back(std::move(form));
  }
  return forms;
}

std::unique_ptr<CGuiToolTipCtrl> CreateToolTip(std::string_view profileName) {
  const ThemeProfile* profile = FindProfile(profileName);
  if (profile == nullptr) return nullptr;
  auto tip = std::make_unique<CGuiToolTipCtrl>(CGuiToolTipCtrl::kDefaultShowDelayMs);
  if (!tip->SetProfile(profile, nullptr)) return nullptr;
  return tip;
}

}  // namespace ui
