#include "ui/window_texts.h"

#include <bit>
#include <initializer_list>
#include <utility>

#include "config/language_format.h"
#include "config/launcher_lang_table.h"
#include "ui/control_factory.h"
#include "ui/control_name_table.h"
#include "ui/gui_combo_box_ctrl.h"
#include "ui/gui_text_label_ctrl.h"
#include "ui/gui_tool_tip_ctrl.h"
#include "ui/layered_window.h"

namespace ui {
namespace {

using Ids = std::initializer_list<std::int32_t>;

constexpr size_t kMaxTextParts = 3;
constexpr std::int32_t kGuestToolTipString = 69;
constexpr const char* kToolTipProfile = "profile_tooltip";

FormatArg ArgumentOf(const TextPart& part) {
  switch (part.kind) {
    case tpkFloat:
      return FormatArg::Float(static_cast<double>(std::bit_cast<float>(part.number)));
    case tpkLiteral:
      return FormatArg::Text(part.text);
    case tpkString:
    case tpkInteger:
    default:
      return FormatArg::Integer(static_cast<std::int32_t>(part.number));
  }
}

}  // namespace

TextPart TextPart::String(std::int32_t stringNumber) {
  return TextPart{tpkString, static_cast<std::uint32_t>(stringNumber), {}};
}
TextPart TextPart::Float(float value) { return TextPart{tpkFloat, std::bit_cast<std::uint32_t>(value), {}}; }
TextPart TextPart::Integer(std::int32_t value) { return TextPart{tpkInteger, static_cast<std::uint32_t>(value), {}}; }
TextPart TextPart::Literal(std::string value) { return TextPart{tpkLiteral, 0, std::move(value)}; }

CWindowTexts::CWindowTexts(CLayeredWindow& window, LanguageList& languages)
    : m_window(window), m_languages(languages) {}

WindowTextState CWindowTexts::State() const { return stateSource ? stateSource() : WindowTextState{}; }

void CWindowTexts::Log(const std::string& text, bool lineEnd) const {
  if (log) log(text, lineEnd);
}

bool CWindowTexts::SetControlText(std::int32_t id, std::int32_t number) {
  return SetControlString(id, GetString(number));
}

bool CWindowTexts::SetControlString(std::int32_t id, const std::string& text) {
  auto* label = dynamic_cast<CGuiTextLabelCtrl*>(m_window.FindControl(id));
  if (!label) return false;
  label->text = text;
  label->TextChanged();
  return true;
}

bool CWindowTexts::SetLocalizedText(std::int32_t id, std::vector<TextPart> parts) {
  if (parts.empty() || parts.size() > kMaxTextParts) return false;
  m_memory[id] = std::move(parts);
  RenderLocalizedTexts(id);
  return true;
}

bool CWindowTexts::RenderEntry(const std::vector<TextPart>& parts, std::string& text) {
  text.clear();
  if (parts.empty()) return false;
  std::string format;
  if (parts[0].kind == tpkString) {
    format = GetString(static_cast<std::int32_t>(parts[0].number));
  } else if (parts[0].kind == tpkLiteral) {
    format = parts[0].text;
  } else {
    return false;
  }
  if (parts.size() == 1) {
    text = std::move(format);
    return true;
  }
  std::vector<FormatArg> args;
  for (size_t i = 1; i < parts.size(); ++i) args.push_back(ArgumentOf(parts[i]));
  text = FormatLanguageText(format, args);
  return true;
}

void CWindowTexts::RenderLocalizedTexts(std::int32_t id) {
  const auto render = [this](std::int32_t key, const std::vector<TextPart>& parts) {
    std::string text;
    if (RenderEntry(parts, text)) SetControlString(key, text);
  };
  if (id == -1) {
    for (const auto& [key, parts] : m_memory) render(key, parts);
    return;
  }
  const auto it = m_memory.find(id);
  if (it != m_memory.end()) render(it->first, it->second);
}

void CWindowTexts::AttachGuestToolTip() {
  GuiControl* guest = m_window.FindControl(ctlSingleInstallCheckboxGuest);
  if (!guest) return;
  std::unique_ptr<CGuiToolTipCtrl> tip = CreateToolTip(kToolTipProfile);
  if (!tip) return;
  tip->text = GetString(kGuestToolTipString);
  tip->TextChanged();
  guest->SetToolTip(std::move(tip));
}

bool CWindowTexts::InitTextControls() {
  Log("Init text controls .. ", false);
  const WindowTextState state = State();

  // Every page with a language box lists the languages (the wizard has several).
  int current = -1;
  bool anyBox = false;
  for (GuiControl* control : m_window.FindControls(ctlLanguage)) {
    auto* box = dynamic_cast<CGuiComboBoxCtrl*>(control);
    if (!box) continue;
    anyBox = true;
    box->ClearItems();
    for (size_t i = 0; i < m_languages.entries.size(); ++i) {
      box->AddItem(ctlButtonLang1 + static_cast<std::int32_t>(i), m_languages.entries[i].longName);
      // Of two entries with the current code the later one counts, as in the
      // language index.
      if (m_languages.entries[i].code == m_languages.currentCode) current = static_cast<int>(i);
    }
  }
  if (anyBox && current >= 0) SelectLanguage(current, true);

  if (state.singlePageMode) {
    SetControlText(ctlSingleInstallCheckboxTerms, 43);
    SetControlText(ctlSingleInstallButtonTerms, 72);
    SetControlText(ctlSingleInstallButtonBrowse, 63);
    SetControlText(ctlSingleInstallButtonInstall, state.runMode == rmUninstaller ? 48 : 64);
    SetControlText(ctlSingleInstallButtonCancel, 48);
    SetControlText(ctlSingleInstallButtonCancelUpdate, 48);
    SetControlText(ctlSingleInstallCheckboxIconDesktop, 52);
    SetControlText(ctlSingleInstallCheckboxIconPrograms, 53);
    SetControlText(ctlSingleInstallCheckboxGuest, 50);
    SetControlText(ctlSingleInstallTextCreateShortcuts, 62);
    AttachGuestToolTip();
  }

  SetControlText(ctlDisagree, 42);
  SetControlText(ctlAgree, 43);
  SetControlText(ctlFirstpageInfo, 38);
  const std::int32_t back = state.backNextArrowsInText ? 44 : 46;
  const std::int32_t next = state.backNextArrowsInText ? 45 : 47;
  for (std::int32_t id : Ids{ctlBack, ctlBackIcons, ctlBackExtapp}) SetControlText(id, back);
  for (std::int32_t id : Ids{ctlNext, ctlNextIcons, ctlNextExtapp}) SetControlText(id, next);
  for (std::int32_t id : Ids{ctlPortableHelp, ctlButtonExtappHelp1, ctlButtonExtappHelp1 + 1, ctlButtonExtappHelp1 + 2}) {
    SetControlText(id, 61);
  }
  SetControlText(ctlChangeFolder, 49);
  SetControlText(ctlCheckboxGuest, 50);
  SetControlText(ctlCheckboxIconDesktop, 52);
  SetControlText(ctlCheckboxIconPrograms, 53);
  SetControlText(ctlLaunch, 54);
  SetControlText(ctlUninstall, 59);
  for (std::int32_t id : Ids{ctlCancelIcons, ctlCancelExtapp, ctlCancelUninstall, ctlCancelDestfolder, ctlCancelDownload,
                          ctlCancelProgress, ctlCancelFirstpage}) {
    SetControlText(id, 48);
  }
  SetControlText(ctlCloseUninstall, 60);
  SetControlText(ctlMboxCancel, 48);
  for (std::int32_t i = 0; i < 4; ++i) SetControlText(ctlMboxYes + i, 55 + i);
  SetControlText(ctlHeadlineTermsInfo, 72);
  SetControlText(ctlHeadlineIconsInfo, 79);
  SetControlText(ctlHeadlineDestInfo, 74);
  SetControlText(ctlHeadlineDownloadInfo,
                 state.runMode == rmInstall ? 86 : (state.runMode == rmDownload ? 75 : 87));
  SetControlText(ctlHeadlineDownloadLaunchInfo, 76);
  SetControlText(ctlHeadlineUninstallInfo, 78);
  SetControlText(ctlHeadlineUninstallCloseInfo, 78);
  for (std::int32_t i = 0; i < 3; ++i) SetControlText(ctlHeadlineProgressInfo + i, 80 + i);
  for (std::int32_t i = 0; i < 4; ++i) SetControlText(ctlTextClicklaunch + i, 89 + i);

  SetControlString(ctlTextWantuninstallPath, state.clientFolder);
  SetControlText(ctlMboxTextEditCaption, state.editCaptionNumber);

  Log("OK", true);
  RenderLocalizedTexts(-1);
  return true;
}

void CWindowTexts::SelectLanguage(int index, bool quiet) {
  const std::vector<GuiControl*> boxes = m_window.FindControls(ctlLanguage);
  if (boxes.empty()) return;
  if (index < 0 || static_cast<size_t>(index) >= m_languages.entries.size()) return;
  const LanguageEntry entry = m_languages.entries[static_cast<size_t>(index)];

  m_languages.currentCode = entry.code;
  for (GuiControl* control : boxes) {
    auto* box = dynamic_cast<CGuiComboBoxCtrl*>(control);
    if (!box) continue;
    box->text = entry.longName;
    box->TextChanged();
    box->SetSelectedIndex(index);
    box->SetFlagIndex(entry.icon);
  }

  if (CLauncherLangTable* table = CLauncherLangTable::Current()) table->SetCurrent(entry.ordinal);
  if (!entry.code.empty() && languageCodeChanged) languageCodeChanged(entry.code);

  if (!quiet) {
    InitTextControls();
    if (!State().singlePageMode && requestLicense) requestLicense();
  }
  m_window.ReTextControls();
  // The default texts must not cover texts that carry values (a progress
  // headline with a default string would lose its figures).
  RenderLocalizedTexts(-1);

  if (storeLanguageChoice) {
    storeLanguageChoice(m_languages);
  } else {
    const WindowTextState state = State();
    StoreLanguageChoice(m_languages, state.regPath, state.runMode);
  }
}

}  // namespace ui
