// The controller's pages: which page of the window is shown when, the
// message page that stands in for the system's message boxes, the progress
// page with its headlines, the single install page, the status texts and
// the progress bar, and what every button does.
#include <algorithm>

#include "base/log_impl.h"
#include "app/logic.h"
#include "config/launcher_lang_table.h"
#include "net/downloader.h"
#include "platform/shell_open.h"
#include "ui/control_name_table.h"
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

// The progress page's headline by kind, and whether it offers Cancel.
int32_t ProgressHeadline(eProgressKind kind, bool& cancelShown) {
  cancelShown = kind != eProgressKind_Uninstall && kind != eProgressKind_SetLongName;
  switch (kind) {
    case eProgressKind_Uninstall:
      return 84;
    case eProgressKind_Connecting:
      return 82;
    case eProgressKind_Install:
      return 73;
    case eProgressKind_Launching:
      return 77;
    case eProgressKind_WaitingForTask:
      return 88;
    case eProgressKind_SetLongName:
      return 87;
    default:
      return 85;
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

void CLogic::EnableSinglePageInputs(bool enabled) {
  for (int32_t id : {ui::ctlLanguage, ui::ctlSingleInstallButtonBrowse, ui::ctlSingleInstallButtonInstall,
                     ui::ctlSingleInstallCheckboxTerms, ui::ctlSingleInstallCheckboxGuest,
                     ui::ctlSingleInstallCheckboxIconDesktop, ui::ctlSingleInstallCheckboxIconPrograms}) {
    EnableControl(id, enabled);
  }
}

bool CLogic::IsChecked(int32_t id) const {
  const auto* box = dynamic_cast<const ui::CGuiCheckBoxCtrl*>(Control(id));
  return box != nullptr && box->checked;
}

void CLogic::SetChecked(int32_t id, bool checked) {
  if (auto* box = dynamic_cast<ui::CGuiCheckBoxCtrl*>(Control(id))) box->checked = checked;
}

void CLogic::SetStatusText(std::vector<ui::TextPart> parts, int32_t wizardControl) {
  const int32_t id = settings.singlePageMode ? ui::ctlSingleInstallTextProgressInfo : wizardControl;
  if (windowTexts) windowTexts->SetLocalizedText(id, std::move(parts));
}

void CLogic::SetProgressBar(double percent) {
  const int32_t id = settings.singlePageMode ? ui::ctlSingleInstallProgress : ui::ctlDownloadProgress;
  if (auto* bar = dynamic_cast<ui::CGuiProgressCtrl*>(Control(id))) {
    bar->SetPercent(static_cast<float>(std::clamp(percent, 0.0, 100.0)));
  }
}

// Pages.

void CLogic::ShowPage(ePage page, int32_t frame) {
  currentPage = page;
  if (frame < 0) frame = pageVariant;
  // The shortcut panel of the single install page belongs to its tall frame
  // (an install); the short frames end below the buttons and would show
  // only the panel's top edge.
  if (settings.singlePageMode && page == ePage_SingleInstall) ShowControl(ui::ctlSingleInstallSpriteHide, frame == ePageVariant_SingleInstall);
  if (layeredWindow) layeredWindow->ShowForm(page, frame);
}

void CLogic::ShowMessagePage(const MessagePage& page) {
  messagePurpose = page.purpose;
  messageButtons = (page.buttons == eMessageButtons_YesNo || page.buttons == eMessageButtons_RetryCancel)
                       ? page.buttons
                       : eMessageButtons_Ok;
  messageText = page.text;
  if (layeredWindow) {
    layeredWindow->Backend().Show(true);
    layeredWindow->Backend().TakeFocus();
  }
  ShowControl(ui::ctlMboxEdit, page.extra == eMessageExtra_Edit);
  ShowControl(ui::ctlMboxTextEditCaption, page.extra == eMessageExtra_Edit);
  ShowControl(ui::ctlMboxLink, page.extra == eMessageExtra_Link);
  if (page.extra == eMessageExtra_Edit) {
    if (auto* edit = dynamic_cast<ui::CGuiEditCtrl*>(Control(ui::ctlMboxEdit))) edit->SetContent(messagePrefill);
  }
  ShowControl(ui::ctlMboxOk, messageButtons == eMessageButtons_Ok);
  ShowControl(ui::ctlMboxYes, messageButtons == eMessageButtons_YesNo);
  ShowControl(ui::ctlMboxNo, messageButtons == eMessageButtons_YesNo);
  ShowControl(ui::ctlMboxRetry, messageButtons == eMessageButtons_RetryCancel);
  ShowControl(ui::ctlMboxCancel, messageButtons == eMessageButtons_RetryCancel);
  ShowControl(ui::ctlMblistboxSpriteError, page.errorIcon);
  ShowControl(ui::ctlMblistbox, true);
  ShowControl(ui::ctlMblistboxError, true);
  if (windowTexts) windowTexts->SetControlString(ui::ctlMblistboxError, page.text);
  if (currentPage != MessagePageNumber()) savedPage = currentPage;
  ShowPage(MessagePageNumber());
  LogEmptyLine();
  Log(" --------------------------------------");
  Log("|              MessageBox              |");
  Log("|--------------------------------------|");
  Log(page.text);
  EndForNoDisplay("the message page (purpose " + std::to_string(page.purpose) + ")");
}

bool CLogic::EndForNoDisplay(const std::string& page) {
  if (!endWithoutInput || (layeredWindow && layeredWindow->Backend().TakesInput())) return false;
  Log("No display to answer " + page + ": the run ends");
  exitCode = kExitNoDisplay;
  Quit();
  return true;
}

ePage CLogic::MessagePageNumber() const { return settings.singlePageMode ? ePage_SingleMessage : ePage_Message; }

void CLogic::ReturnToSavedPage() {
  if (savedPage > 0) ShowPage(savedPage);
}

void CLogic::ShowProgressPage(eProgressKind kind) {
  lastProgressKind = kind;
  bool cancelShown = true;
  const int32_t headline = ProgressHeadline(kind, cancelShown);
  ShowControl(ui::ctlCancelFirstpage, cancelShown);
  SetStatusText({ui::TextPart::String(headline)}, ui::ctlHeadlineFirstpageInfo);
  if (!settings.singlePageMode) {
    ShowPage(ePage_Progress);
    return;
  }
  if (runMode != rmUpdate) ShowControl(ui::ctlSingleInstallButtonCancelUpdate, false);
  if (runMode != rmSetLongName && runMode != rmUpdate) {
    EnableSinglePageInputs(false);
    EnableControl(ui::ctlSingleInstallSpriterangeWait, true);
    ShowControl(ui::ctlSingleInstallProgress, true);
  }
  ShowPage(ePage_SingleInstall);
}

void CLogic::PrepareSinglePage() {
  if (runMode == rmInstall) pageVariant = ePageVariant_SingleInstall;
  EnableSinglePageInputs(true);
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
      ShowPage(ePage_DestinationFolder);
      portable = IsChecked(ui::ctlCheckboxGuest);
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
    case ui::ctlNextExtapp:
      NextFromShortcutPage();
      return;
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
    case ui::ctlMboxYes:
      Quit();
      return;
    case ui::ctlMboxNo:
      ReturnToSavedPage();
      return;
    case ui::ctlMboxOk:
      OnMessageOk();
      return;
    case ui::ctlMboxRetry:
      OnMessageRetry();
      return;
    case ui::ctlMboxCancel:
      selector.RejectCustomURL();
      Quit();
      return;
    case ui::ctlMboxLink:
      platform::OpenInBrowser(GetString(118));
      return;
    default:
      return;
  }
}

void CLogic::OnMessageOk() {
  switch (messagePurpose) {
    case eMessagePurpose_RequestManifest:
      if (!FileChecker() || FileChecker()->Finished()) RequestManifest();
      return;
    case eMessagePurpose_ServerUrl: {
      const auto* edit = dynamic_cast<const ui::CGuiEditCtrl*>(Control(ui::ctlMboxEdit));
      messagePurpose = savedFailoverPurpose;
      ReturnToSavedPage();
      if (failover) failover->OnServerUrlEntered(edit ? edit->Content() : messagePrefill);
      return;
    }
    case eMessagePurpose_StepFailed:
      if (runMode != rmInstall) {
        Quit();
      } else if (settings.singlePageMode) {
        PrepareSinglePage();
        ReturnToSavedPage();
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
    default:
      ReturnToSavedPage();
      return;
  }
}

void CLogic::OnMessageRetry() {
  switch (messagePurpose) {
    case eMessagePurpose_License:
      if (!needsServer || !networkStarted) return;
      [[fallthrough]];
    case eMessagePurpose_Manifest:
    case eMessagePurpose_Package:
      ReturnToSavedPage();
      if (failover) failover->ResetAttempts();
      if (messagePurpose == eMessagePurpose_Package) {
        StartNextDownload();
      } else {
        RepeatDownload(messagePurpose);
      }
      return;
    default:
      ReturnToSavedPage();
      return;
  }
}

// Next on the shortcut page: no optional applications are offered by the
// single page, so the installation (or, outside an install, the check of
// the files) goes on at once.
void CLogic::NextFromShortcutPage() {
  if (runMode == rmInstall) {
    StartInstall();
  } else {
    PlaceLauncherAndRelease();
  }
}

void CLogic::OnCBNSelChange() {
  Log("CLogic::OnCBNSelChange: ", false);
  Log("ID_CMB_LANGUAGE");
  ui::CGuiComboBoxCtrl* box = layeredWindow ? layeredWindow->LanguageBox() : nullptr;
  if (box && windowTexts) windowTexts->SelectLanguage(box->SelectedIndex(), false);
}
