#include "ui/folder_choice_form.h"

#include <tinyxml2.h>

#include <algorithm>
#include <vector>

#include "platform/file_system.h"
#include "platform/folder_tree.h"
#include "ui/control_factory.h"
#include "ui/control_name_table.h"
#include "ui/folder_choice.h"
#include "ui/gui_edit_ctrl.h"
#include "ui/gui_folder_list_ctrl.h"
#include "ui/layered_window.h"
#include "ui/theme_profile.h"

namespace ui {
namespace {

constexpr const char* kFormDocument = R"(<config><forms>
<step profile="profile_bg" pt="0,0" func="" size="452,430" size0="452,430" size1="452,430" size2="452,430" size3="452,430">
  <CGuiTextLabelCtrl func="folder_choice_caption" pt="40,36" size="372,20" profile="profile_text_caption_big"/>
  <CGuiTextLabelCtrl func="folder_choice_path" pt="40,64" size="372,16" profile="profile_text_caption"/>
  <CGuiScrollCtrl func="" pt="40,88" size="372,196" profile="profile_scroll">
    <CGuiFolderListCtrl func="folder_choice_list" pt="0,0" size="356,196" profile="profile_text_caption"/>
  </CGuiScrollCtrl>
  <CGuiEditCtrl func="folder_choice_edit" pt="40,296" size="372,36" profile="profile_edit" textBorder="6 2 7 6" colorSelection="120,120,120,255"/>
  <CGuiButtonCtrl func="folder_choice_up" pt="40,352" size="123,36" profile="profile_buttontext" text=".."/>
  <CGuiButtonCtrl func="folder_choice_ok" pt="165,352" size="123,36" profile="profile_buttontext"/>
  <CGuiButtonCtrl func="folder_choice_cancel" pt="290,352" size="123,36" profile="profile_buttontext"/>
</step></forms></config>)";

std::vector<std::string> Subfolders(const std::string& folder) {
  std::vector<platform::DirectoryEntry> entries;
  std::vector<std::string> names;
  if (!platform::ListDirectory(folder, entries)) return names;
  for (const platform::DirectoryEntry& entry : entries) {
    if (entry.name.empty() || entry.name[0] == '.') continue;  // hidden folders stay hidden
    const bool folderEntry = entry.isDirectory ||
                             (entry.isSymlink && platform::IsDirectoryFollowingLinks(platform::JoinPath(folder, entry.name)));
    if (folderEntry) names.push_back(entry.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

GuiControl* FindIn(GuiControl& control, int id) {
  if (control.id == id) return &control;
  for (auto& child : control.children) {
    if (GuiControl* found = FindIn(*child, id)) return found;
  }
  return nullptr;
}

}  // namespace

std::unique_ptr<CGuiBitmapBorderStepCtrl> CFolderChoiceForm::CreateForm() {
  for (const char* name : {"profile_bg", "profile_text_caption_big", "profile_text_caption", "profile_scroll",
                           "profile_edit", "profile_buttontext"}) {
    if (FindProfile(name) == nullptr) return nullptr;
  }
  tinyxml2::XMLDocument document;
  if (document.Parse(kFormDocument) != tinyxml2::XML_SUCCESS) return nullptr;
  std::vector<std::unique_ptr<CGuiBitmapBorderStepCtrl>> forms = LoadForms(document);
  if (forms.size() != 1) return nullptr;
  // Edit fields start hidden (the message page shows its own on demand);
  // this one is always part of the form.
  if (GuiControl* edit = FindIn(*forms[0], ctlFolderChoiceEdit)) edit->visible = true;
  return std::move(forms[0]);
}

int CFolderChoiceForm::FormNumberIn(const CLayeredWindow& window) {
  for (size_t i = 0; i < window.FormCount(); ++i) {
    if (FindIn(*window.Form(i), ctlFolderChoiceList)) return static_cast<int>(i + 1);
  }
  return 0;
}

void CFolderChoiceForm::Open(const FolderChoiceStart& start) {
  m_start = start;
  m_open = true;
  List(start.startFolder.empty() ? std::string("/") : start.startFolder);
  if (auto* edit = dynamic_cast<CGuiEditCtrl*>(m_window.FindControl(ctlFolderChoiceEdit))) {
    edit->SetContent(start.currentFolder);
  }
  m_window.ShowForm(m_formNumber, 0);
}

void CFolderChoiceForm::List(const std::string& folder) {
  m_listed = folder;
  if (auto* list = dynamic_cast<CGuiFolderListCtrl*>(m_window.FindControl(ctlFolderChoiceList))) {
    list->SetRows(Subfolders(folder));
  }
  if (auto* path = dynamic_cast<CGuiTextLabelCtrl*>(m_window.FindControl(ctlFolderChoicePath))) {
    path->text = folder;
    path->TextChanged();
  }
  if (GuiControl* up = m_window.FindControl(ctlFolderChoiceUp)) up->enabled = folder != "/";
}

void CFolderChoiceForm::Propose(const std::string& folder) {
  if (auto* edit = dynamic_cast<CGuiEditCtrl*>(m_window.FindControl(ctlFolderChoiceEdit))) {
    edit->SetContent(ProposedFolder(folder, m_start.currentFolder, m_start.productFolder));
  }
}

CFolderChoiceForm::eResult CFolderChoiceForm::OnCommand(int id) {
  if (!m_open) return eResult_None;
  switch (id) {
    case ctlFolderChoiceList: {
      auto* list = dynamic_cast<CGuiFolderListCtrl*>(m_window.FindControl(ctlFolderChoiceList));
      if (!list || list->SelectedRow() < 0) return eResult_None;
      const std::string folder = platform::JoinPath(m_listed, list->Rows()[static_cast<size_t>(list->SelectedRow())]);
      List(folder);
      Propose(folder);
      return eResult_None;
    }
    case ctlFolderChoiceUp: {
      std::string parent = platform::ParentPath(m_listed);
      if (parent.empty()) parent = "/";
      List(parent);
      Propose(parent);
      return eResult_None;
    }
    case ctlFolderChoiceOk:
      m_open = false;
      return eResult_Ok;
    case ctlFolderChoiceCancel:
      m_open = false;
      return eResult_Cancel;
    default:
      return eResult_None;
  }
}

std::string CFolderChoiceForm::EditText() const {
  const auto* edit = dynamic_cast<const CGuiEditCtrl*>(m_window.FindControl(ctlFolderChoiceEdit));
  return edit ? edit->Content() : std::string();
}

}  // namespace ui
