// The controller's side of the pages: the skinned window as the pages'
// host (CWizardPages shows the pages), the single install page, and what
// every button and the language box do.
#include <algorithm>

#include "base/log_impl.h"
#include "base/user_messages.h"
#include "app/destination_guard.h"
#include "app/logic.h"
#include "config/launcher_lang_table.h"
#include "net/downloader.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "platform/shell_open.h"
#include "ui/control_name_table.h"
#include "ui/folder_choice.h"
#include "ui/folder_choice_form.h"
#include "ui/gui_check_box_ctrl.h"
#include "ui/gui_combo_box_ctrl.h"
#include "ui/gui_edit_ctrl.h"
#include "ui/gui_progress_ctrl.h"
#include "ui/layered_window.h"
#include "ui/window_texts.h"
#include "update/checker_thread.h"
#include "update/unpacker_thread.h"

namespace {

// The controls' names in the button log ("CLogic::OnBtnClicked: ...").
const char* ButtonLogName(int32_t id) {
  switch (id) {
    case ui::ctlClose:
    case ui::ctlCloseUninstall:
      return "ID_BTN_CAPTION_CLOSE";
    case ui::ctlDisagree:
      return "ID_BTN_DISAGREE";
    case ui::ctlAgree:
      return "ID_BTN_AGREE";
    case ui::ctlBack:
      return "ID_BTN_BACK";
    case ui::ctlNext:
      return "ID_BTN_NEXT";
    case ui::ctlSingleInstallButtonBrowse:
    case ui::ctlChangeFolder:
      return "ID_BTN_CHANGE_FOLDER";
    case ui::ctlSingleInstallButtonInstall:
      return "ID_SINGLEPAGEINSTALL_BTN_INSTALL";
    case ui::ctlSingleInstallCheckboxTerms:
      return "ID_SINGLEPAGEINSTALL_BTN_CHECKBOX_TERMS";
    case ui::ctlSingleInstallCheckboxGuest:
      return "ID_SINGLEPAGEINSTALL_BTN_CHECKBOX_GUEST";
    case ui::ctlSingleInstallCheckboxIconDesktop:
      return "ID_SINGLEPAGEINSTALL_BTN_CHECKBOX_ICON_DESKTOP";
    case ui::ctlSingleInstallCheckboxIconPrograms:
      return "ID_SINGLEPAGEINSTALL_BTN_CHECKBOX_ICON_PROGRAMS";
    case ui::ctlLanguage:
      return "ID_CMB_LANGUAGE";
    case ui::ctlBackIcons:
      return "ID_BTN_BACK_ICONS";
    case ui::ctlNextIcons:
      return "ID_BTN_NEXT_ICONS";
    case ui::ctlCancelIcons:
    case ui::ctlCancelExtapp:
    case ui::ctlCancelDestfolder:
    case ui::ctlCancelDownload:
    case ui::ctlCancelProgress:
    case ui::ctlCancelFirstpage:
      return "ID_BTN_CANCEL";
    case ui::ctlPortableHelp:
      return "ID_BTN_PORTABLE_HELP";
    case ui::ctlBackExtapp:
      return "ID_BTN_BACK_EXTAPP";
    case ui::ctlNextExtapp:
      return "ID_BTN_NEXT_EXTAPP";
    case ui::ctlCheckboxGuest:
      return "ID_BTN_CHECKBOX_GUEST";
    case ui::ctlLaunch:
      return "ID_BTN_LAUNCH";
    case ui::ctlUninstall:
      return "ID_BTN_UNINSTALL";
    case ui::ctlCancelUninstall:
      return "ID_BTN_CANCEL_UNINSTALL";
    case ui::ctlCheckboxIconDesktop:
      return "ID_BTN_CHECKBOX_ICON_DESKTOP";
    case ui::ctlCheckboxIconPrograms:
      return "ID_BTN_CHECKBOX_ICON_PROGRAMS";
    case ui::ctlMboxYes:
      return "ID_MBOX_BTN_YES";
    case ui::ctlMboxNo:
      return "ID_MBOX_BTN_NO";
    case ui::ctlMboxOk:
      return "ID_MBOX_BTN_OK";
    case ui::ctlMboxRetry:
      return "ID_MBOX_BTN_RETRY";
    case ui::ctlMboxCancel:
      return "ID_MBOX_BTN_CANCEL";
    case ui::ctlMboxLink:
      return "ID_MBOX_LINK";
    default:
      return nullptr;
  }
}

}  // namespace

// Controls.

ui::GuiControl* CLogic::Control(int32_t id) const { return layeredWindow ? layeredWindow->FindControl(id) : nullptr; }

void CLogic::EnableControl(int32_t id, bool enabled) {
  if (ui::GuiControl* control = Control(id)) control->enabled = enabled;
}

void CLogic::ShowControl(int32_t id, bool visible) {
  if (ui::GuiControl* control = Control(id)) control->visible = visible;
}

bool CLogic::IsChecked(int32_t id) const {
  const auto* box = dynamic_cast<const ui::CGuiCheckBoxCtrl*>(Control(id));
  return box != nullptr && box->checked;
}

void CLogic::SetChecked(int32_t id, bool checked) {
  if (auto* box = dynamic_cast<ui::CGuiCheckBoxCtrl*>(Control(id))) box->checked = checked;
}

// The window, for the pages.

bool CLogic::SinglePageMode() { return settings.singlePageMode; }

RunMode CLogic::PagesRunMode() { return runMode; }

void CLogic::ShowForm(ePage page, int32_t frame) {
  // The single-page theme has no page of its own for the assistant's work:
  // the install page stays in front (also when a message page returns to
  // it), while the buttons still know that the assistant works.
  if (settings.singlePageMode && page == ePage_WaitAssistant) page = ePage_SingleInstall;
  if (layeredWindow) layeredWindow->ShowForm(page, frame);
}

void CLogic::SetControlString(int32_t id, const std::string& text) {
  if (windowTexts) windowTexts->SetControlString(id, text);
}

void CLogic::SetLocalizedText(int32_t id, std::vector<ui::TextPart> parts) {
  if (windowTexts) windowTexts->SetLocalizedText(id, std::move(parts));
}

void CLogic::SetEditContent(int32_t id, const std::string& text) {
  if (auto* edit = dynamic_cast<ui::CGuiEditCtrl*>(Control(id))) edit->SetContent(text);
}

void CLogic::SetProgress(int32_t id, double percent) {
  if (auto* bar = dynamic_cast<ui::CGuiProgressCtrl*>(Control(id))) bar->SetPercent(static_cast<float>(percent));
}

void CLogic::SetStepCount(int32_t count) {
  if (!layeredWindow) return;
  for (size_t i = 0; i < layeredWindow->FormCount(); ++i) layeredWindow->Form(i)->stepCount = count;
}

void CLogic::BringToFront() {
  if (layeredWindow) {
    layeredWindow->Backend().Show(true);
    layeredWindow->Backend().TakeFocus();
  }
}

// Pages.

bool CLogic::EndForNoDisplay(const std::string& page) {
  if (!endWithoutInput || (layeredWindow && layeredWindow->Backend().TakesInput())) return false;
  Log("No display to answer " + page + ": the run ends");
  exitCode = kExitNoDisplay;
  Quit();
  return true;
}

void CLogic::PrepareSinglePage() {
  if (runMode == rmInstall) pages.SetPageVariant(ePageVariant_SingleInstall);
  pages.EnableSinglePageInputs(true);
  SetChecked(ui::ctlSingleInstallCheckboxGuest, portable);
  SetChecked(ui::ctlSingleInstallCheckboxIconDesktop, settings.createDesktopIcon);
  SetChecked(ui::ctlSingleInstallCheckboxIconPrograms, settings.createProgramsIcon);
  if (windowTexts) windowTexts->SetControlString(ui::ctlSingleInstallTextFolder, clientFolder);
  ShowPage(ePage_SingleInstall);
}

void CLogic::AskCancelQuestion(eMessagePurpose purpose) {
  ShowMessagePage({.text = GetString(3), .purpose = purpose, .buttons = eMessageButtons_YesNo});
}

// Buttons.

void CLogic::OnBtnClicked(int32_t id) {
  Log("CLogic::OnBtnClicked: ", false);
  const char* name = ButtonLogName(id);
  Log(name ? std::string(name) : "ID = " + std::to_string(id));
  if (ui::CGuiComboBoxCtrl* box = layeredWindow ? layeredWindow->LanguageBox() : nullptr) box->SetOpen(false);
  const ePage currentPage = pages.CurrentPage();
  const eProgressKind lastProgressKind = pages.LastProgressKind();
  switch (id) {
    case ui::ctlClose:
    case ui::ctlCloseUninstall:
      if (settings.singlePageMode) {
        currentPage == ePage_WaitAssistant ? AskCancelQuestion(eMessagePurpose_CancelAssistant) : Quit();
      } else if (currentPage == ePage_DestinationFolder || currentPage == ePage_Download ||
                 currentPage == ePage_Shortcuts || (currentPage == ePage_WaitAssistant && portable) ||
                 (currentPage == ePage_Progress && lastProgressKind == eProgressKind_Install) ||
                 lastProgressKind == eProgressKind_WaitingForTask) {
        AskCancelQuestion(eMessagePurpose_None);
      } else if (currentPage == ePage_WaitAssistant) {
        AskCancelQuestion(eMessagePurpose_CancelAssistant);
      } else {
        Quit();
      }
      return;
    case ui::ctlDisagree:
    case ui::ctlSingleInstallButtonCancelUpdate:
    case ui::ctlSingleInstallButtonCancel:
    case ui::ctlCancelUninstall:
      Quit();
      return;
    case ui::ctlAgree:
      portable = IsChecked(ui::ctlCheckboxGuest);
      // The default folder follows the kind of installation until the user chose one.
      if (!destinationChosen) PrepareDestinationFolder();
      SetControlString(ui::ctlFolder, clientFolder);
      ShowPage(ePage_DestinationFolder);
      return;
    case ui::ctlNext:
      if (settings.skipIconsPage) {
        NextFromShortcutPage();
        return;
      }
      ShowPage(ePage_Shortcuts);
      SetChecked(ui::ctlCheckboxIconDesktop, settings.createDesktopIcon);
      SetChecked(ui::ctlCheckboxIconPrograms, settings.createProgramsIcon);
      return;
    case ui::ctlSingleInstallButtonBrowse:
    case ui::ctlChangeFolder:
      ChooseDestinationFolder();
      return;
    case ui::ctlFolderChoiceList:
    case ui::ctlFolderChoiceUp:
    case ui::ctlFolderChoiceOk:
    case ui::ctlFolderChoiceCancel:
      if (!folderChoice) return;
      if (const auto result = folderChoice->OnCommand(id); result != ui::CFolderChoiceForm::eResult_None) {
        const std::string typed = folderChoice->EditText();
        folderChoice.reset();
        ShowPage(currentPage);
        if (result == ui::CFolderChoiceForm::eResult_Ok) ProposeDestination(typed);
      }
      return;
    case ui::ctlSingleInstallButtonInstall:
      if (runMode == rmUninstaller) {
        Quit();
        return;
      }
      for (int32_t control : {ui::ctlSingleInstallButtonTerms, ui::ctlSingleInstallCheckboxGuest,
                              ui::ctlSingleInstallCheckboxIconDesktop, ui::ctlSingleInstallCheckboxIconPrograms,
                              ui::ctlSingleInstallButtonBrowse, ui::ctlSingleInstallButtonInstall}) {
        EnableControl(control, false);
      }
      StartInstall();
      return;
    case ui::ctlSingleInstallCheckboxTerms: {
      const bool agreed = IsChecked(id);
      EnableControl(ui::ctlSingleInstallButtonInstall, agreed);
      SetStatusText({ui::TextPart::String(agreed ? 66 : 65)}, ui::ctlHeadlineFirstpageInfo);
      return;
    }
    case ui::ctlSingleInstallCheckboxGuest:
    case ui::ctlCheckboxGuest:
      portable = IsChecked(id);
      return;
    case ui::ctlSingleInstallCheckboxIconDesktop:
    case ui::ctlCheckboxIconDesktop:
      settings.createDesktopIcon = IsChecked(id);
      return;
    case ui::ctlSingleInstallCheckboxIconPrograms:
    case ui::ctlCheckboxIconPrograms:
      settings.createProgramsIcon = IsChecked(id);
      return;
    case ui::ctlSingleInstallButtonTerms:
      platform::OpenInBrowser(selector.Runtime().selectedURL + "/terms?LANG=" + languages.currentCode);
      return;
    case ui::ctlBackIcons:
      ShowPage(ePage_DestinationFolder);
      return;
    case ui::ctlNextIcons:
      NextFromShortcutPage();
      return;
    case ui::ctlNextExtapp:
      KeepExternalAppChoices();
      if ((externalAppGroup + 1) * 3 < externalApps.size()) {
        ShowExternalAppGroup(externalAppGroup + 1);
      } else {
        StartAfterChoices();
      }
      return;
    case ui::ctlBackExtapp:
      KeepExternalAppChoices();
      if (externalAppGroup > 0) {
        ShowExternalAppGroup(externalAppGroup - 1);
      } else {
        ShowPage(settings.skipIconsPage ? ePage_DestinationFolder : ePage_Shortcuts);
      }
      return;
    case ui::ctlButtonExtappHelp1:
    case ui::ctlButtonExtappHelp1 + 1:
    case ui::ctlButtonExtappHelp1 + 2: {
      const size_t index = externalAppGroup * 3 + static_cast<size_t>(id - ui::ctlButtonExtappHelp1);
      if (index < externalApps.size()) ShowMessagePage({.text = externalApps[index].app.help});
      return;
    }
    case ui::ctlCancelIcons:
    case ui::ctlCancelExtapp:
    case ui::ctlCancelDestfolder:
    case ui::ctlCancelDownload:
    case ui::ctlCancelProgress:
    case ui::ctlCancelFirstpage:
      if (currentPage == ePage_DestinationFolder || currentPage == ePage_Download || currentPage == ePage_Shortcuts ||
          currentPage == ePage_ExternalApps) {
        AskCancelQuestion(eMessagePurpose_None);
      } else if (currentPage == ePage_WaitAssistant) {
        AskCancelQuestion(portable ? eMessagePurpose_None : eMessagePurpose_CancelAssistant);
      } else if (currentPage == ePage_Progress || (settings.singlePageMode && currentPage == ePage_SingleInstall)) {
        Quit();
      }
      return;
    case ui::ctlPortableHelp:
      ShowMessagePage({.text = GetString(69)});
      return;
    case ui::ctlLaunch:
      Launch();
      return;
    case ui::ctlUninstall:
      ProcessUninstall();
      return;
    case ui::ctlMboxYes:
      Quit();
      return;
    case ui::ctlMboxNo:
      pages.ReturnToSavedPage();
      return;
    case ui::ctlMboxOk:
      OnMessageOk();
      return;
    case ui::ctlMboxRetry:
      OnMessageRetry();
      return;
    case ui::ctlMboxCancel:
      selector.RejectCustomURL();
      if (CancelKeepsTheInstallPage()) {
        PrepareSinglePage();
        ShowPage(ePage_SingleInstall);
        return;
      }
      Quit();
      return;
    case ui::ctlMboxLink:
      platform::OpenInBrowser(GetString(118));
      return;
    default:
      return;
  }
}

bool CLogic::CancelKeepsTheInstallPage() const {
  const ePage saved = pages.SavedPage();
  return settings.singlePageMode && runMode == rmInstall && pages.Message().purpose == eMessagePurpose_RetryAssistant &&
         (saved == ePage_SingleInstall || saved == ePage_WaitAssistant) && installService &&
         installService->PendingCommand() == eLauncherCmd_Install;
}

void CLogic::OnMessageOk() {
  switch (pages.Message().purpose) {
    case eMessagePurpose_RequestManifest:
      if (!FileChecker() || FileChecker()->Finished()) RequestManifest();
      return;
    case eMessagePurpose_ServerUrl: {
      const auto* edit = dynamic_cast<const ui::CGuiEditCtrl*>(Control(ui::ctlMboxEdit));
      pages.RestoreFailedPurpose();
      pages.ReturnToSavedPage();
      if (failover) failover->OnServerUrlEntered(edit ? edit->Content() : pages.Prefill());
      return;
    }
    case eMessagePurpose_StepFailed:
      if (runMode != rmInstall) {
        Quit();
      } else if (settings.singlePageMode) {
        PrepareSinglePage();
        pages.ReturnToSavedPage();
      } else {
        ShowPage(ePage_DestinationFolder);
      }
      return;
    case eMessagePurpose_Cancel:
      selector.RejectCustomURL();
      Quit();
      return;
    case eMessagePurpose_Quit:
      Quit();
      return;
    case eMessagePurpose_CancelAssistant:
      if (installService) installService->Quit();
      Quit();
      return;
    default:
      pages.ReturnToSavedPage();
      return;
  }
}

void CLogic::OnMessageRetry() {
  const eMessagePurpose purpose = pages.Message().purpose;
  switch (purpose) {
    case eMessagePurpose_RetryAssistant:
      InstallService().Retry();
      return;
    case eMessagePurpose_License:
      if (!needsServer || !networkStarted) return;
      [[fallthrough]];
    case eMessagePurpose_Manifest:
    case eMessagePurpose_Package:
      pages.ReturnToSavedPage();
      if (failover) failover->ResetAttempts();
      if (purpose == eMessagePurpose_Package) {
        StartNextDownload();
      } else {
        RepeatDownload(purpose);
      }
      return;
    default:
      pages.ReturnToSavedPage();
      return;
  }
}

// Next on the shortcut page: the wizard offers the additional applications
// first (with "/auto" their preselection stands); the single page offers
// none, so the installation (or, outside an install, the check of the
// files) goes on at once.
void CLogic::NextFromShortcutPage() {
  if (!settings.singlePageMode && !externalApps.empty() && !autoInstall) {
    ShowExternalAppGroup(0);
    EndForNoDisplay("the additional applications page");
    return;
  }
  StartAfterChoices();
}

void CLogic::StartAfterChoices() {
  if (runMode == rmInstall) {
    StartInstall();
  } else {
    PlaceLauncherAndRelease();
  }
}

void CLogic::ShowExternalAppGroup(size_t group) {
  externalAppGroup = group;
  for (size_t i = 0; i < 3; ++i) {
    const size_t index = group * 3 + i;
    const bool shown = index < externalApps.size();
    const int32_t box = ui::ctlCheckboxExtapp1 + static_cast<int32_t>(i);
    const int32_t help = ui::ctlButtonExtappHelp1 + static_cast<int32_t>(i);
    ShowControl(box, shown);
    ShowControl(help, shown && !externalApps[index].app.help.empty());
    if (!shown) continue;
    SetControlString(box, externalApps[index].app.name);
    SetChecked(box, externalApps[index].selected);
  }
  ShowPage(ePage_ExternalApps, pages.StepOf(ePage_ExternalApps) > 0
                                   ? pages.StepOf(ePage_ExternalApps) + static_cast<int32_t>(group)
                                   : -1);
}

void CLogic::KeepExternalAppChoices() {
  for (size_t i = 0; i < 3; ++i) {
    const size_t index = externalAppGroup * 3 + i;
    if (index < externalApps.size()) {
      externalApps[index].selected = IsChecked(ui::ctlCheckboxExtapp1 + static_cast<int32_t>(i));
    }
  }
}

void CLogic::ShowTermsPage() {
  SetChecked(ui::ctlCheckboxGuest, portable);
  ShowPage(ePage_Terms);
  if (!autoInstall) {
    EndForNoDisplay("the terms page");
    return;
  }
  // "/auto": the terms agreed, the folder and the shortcuts as proposed.
  OnBtnClicked(ui::ctlAgree);
  OnBtnClicked(ui::ctlNext);
  if (!settings.skipIconsPage && pages.CurrentPage() == ePage_Shortcuts) OnBtnClicked(ui::ctlNextIcons);
}

// The folder choice.

void CLogic::ChooseDestinationFolder() {
  // One folder choice at a time.
  if (FolderChooserOpen() || folderChoice) return;
  // The chooser is modal: the control under the mouse no longer is.
  if (layeredWindow) layeredWindow->OnMouseLeave();
  if (clientFolder.empty()) PrepareDestinationFolder();
  folderChoiceStart = clientFolder;
  if (!platform::DirectoryExists(folderChoiceStart) && !ui::NearestExistingFolder(folderChoiceStart)) {
    folderChoiceStart.clear();
  }
  platform::FolderChooserRequest request;
  request.title = GetString(24);
  request.startFolder = folderChoiceStart;
  request.parentWindow = layeredWindow ? layeredWindow->Backend().NativeWindowId() : 0;
  if (!folderChooser) folderChooser = std::make_unique<platform::FolderChooser>();
  const platform::WindowHandle window = mainWindow;
  folderChooser->Open(request, [window] { platform::PostMessage(window, eWindowsMessage_FolderChosen, 0, 0); });
  // The desktop's dialog is modal for the launcher: its window paints on
  // but takes no input until the answer is in.
  if (layeredWindow) layeredWindow->Backend().SetInputTarget(nullptr);
}

void CLogic::OnFolderChosen() {
  if (!FolderChooserOpen()) return;
  std::string chosen;
  const platform::ePortalChoice choice = folderChooser->TakeAnswer(chosen);
  if (layeredWindow) layeredWindow->Backend().SetInputTarget(layeredWindow.get());
  switch (choice) {
    case platform::ePortalChoice_Chosen:
      ProposeDestination(ui::ProposedFolder(chosen, clientFolder, settings.fullName));
      return;
    case platform::ePortalChoice_Cancelled:
      return;
    case platform::ePortalChoice_Unavailable:
      OpenFolderChoiceForm();
      return;
  }
}

void CLogic::OpenFolderChoiceForm() {
  const int formNumber = layeredWindow ? ui::CFolderChoiceForm::FormNumberIn(*layeredWindow) : 0;
  if (formNumber == 0) return;
  folderChoice = std::make_unique<ui::CFolderChoiceForm>(*layeredWindow, formNumber);
  folderChoice->Open(
      {.productFolder = settings.fullName, .currentFolder = clientFolder, .startFolder = folderChoiceStart});
  EndForNoDisplay("the folder choice");
}

bool CLogic::ProposeDestination(const std::string& text) {
  const std::string folder = ui::FolderFromEditText(text);
  // An emptied field keeps the folder proposed before.
  if (folder.empty()) return false;
  const DestinationDecision decision = CheckDestination(folder, settings.fullName);
  if (decision.check != eDestinationCheck_Ok) {
    // The destination cannot be made here: the text of a folder that
    // cannot be created.
    ShowMessagePage({.text = GetString(93), .errorIcon = true});
    return false;
  }
  clientFolder = decision.folder;
  destinationChosen = true;
  SetControlString(settings.singlePageMode ? ui::ctlSingleInstallTextFolder : ui::ctlFolder, clientFolder);
  return true;
}

void CLogic::OnCBNSelChange() {
  Log("CLogic::OnCBNSelChange: ", false);
  Log("ID_CMB_LANGUAGE");
  ui::CGuiComboBoxCtrl* box = layeredWindow ? layeredWindow->LanguageBox() : nullptr;
  if (box && windowTexts) windowTexts->SelectLanguage(box->SelectedIndex(), false);
}
