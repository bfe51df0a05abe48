// The control name table: a control element's "func" name gives the
// control's numeric identifier (12345 to 12438), by which the logic finds
// it, and, for some rows, the language string the window sets as its text.
//
// Pure data; any thread.
#pragma once

#include <cstdint>
#include <string_view>

namespace ui {

struct ControlNameRow {
  const char* name;
  std::int32_t id;
  std::int32_t textNumber;  // -1: no default text
};

// The rows in table order.
const ControlNameRow* ControlNameRows(std::size_t& count);

// The identifier for an exact name; -1 for an unknown name.
std::int32_t NameToId(std::string_view name);
// The default string number of the first row with `id`; -1 for none.
std::int32_t DefaultTextNumber(std::int32_t id);

// Identifiers the logic uses by number.
enum ControlId : std::int32_t {
  ctlClose = 12345,
  ctlCloseUninstall = 12346,
  ctlDisagree = 12347,
  ctlAgree = 12348,
  ctlBack = 12349,
  ctlNext = 12350,
  ctlSingleInstallButtonCancelUpdate = 12351,
  ctlSingleInstallButtonCancel = 12352,
  ctlSingleInstallButtonBrowse = 12353,
  ctlSingleInstallButtonInstall = 12354,
  ctlSingleInstallCheckboxTerms = 12355,
  ctlSingleInstallCheckboxGuest = 12356,
  ctlSingleInstallCheckboxIconDesktop = 12357,
  ctlSingleInstallCheckboxIconPrograms = 12358,
  ctlSingleInstallButtonTerms = 12359,
  ctlSingleInstallProgress = 12360,
  ctlSingleInstallTextProgressInfo = 12361,
  ctlSingleInstallTextFolder = 12362,
  ctlSingleInstallSpriteHide = 12363,
  ctlSingleInstallSpriterangeWait = 12364,
  ctlSingleInstallTextCreateShortcuts = 12365,
  ctlLanguage = 12366,
  ctlButtonLang1 = 12367,  // to ctlButtonLang1 + 7
  ctlBackIcons = 12375,
  ctlNextIcons = 12376,
  ctlCancelIcons = 12377,
  ctlPortableHelp = 12378,
  ctlBackExtapp = 12379,
  ctlNextExtapp = 12380,
  ctlCancelExtapp = 12381,
  ctlButtonExtappHelp1 = 12382,  // to 12384
  ctlCheckboxExtapp1 = 12385,    // to 12387
  ctlCancelDestfolder = 12388,
  ctlCancelDownload = 12389,
  ctlCancelProgress = 12390,
  ctlCancelFirstpage = 12391,
  ctlChangeFolder = 12392,
  ctlCheckboxGuest = 12393,
  ctlLaunch = 12394,
  ctlUninstall = 12395,
  ctlCancelUninstall = 12396,
  ctlCheckboxIconDesktop = 12397,
  ctlCheckboxIconPrograms = 12398,
  ctlMblistbox = 12399,
  ctlMblistboxError = 12400,
  ctlMblistboxSpriteError = 12401,
  ctlTerms = 12402,
  ctlErrors = 12403,
  ctlFolder = 12404,
  ctlDownloadInfo = 12405,
  ctlProgressInfo = 12406,
  ctlDownloadProgress = 12407,
  ctlProgressProgress = 12408,
  ctlApplyupdateInfo = 12409,
  ctlLaunchingInfo = 12410,
  ctlFirstpageInfo = 12411,
  ctlMboxYes = 12412,
  ctlMboxNo = 12413,
  ctlMboxOk = 12414,
  ctlMboxRetry = 12415,
  ctlMboxCancel = 12416,
  ctlMboxEdit = 12417,
  ctlMboxLink = 12418,
  ctlMboxTextEditCaption = 12419,
  ctlCaption = 12420,
  ctlHeadlineTermsInfo = 12421,
  ctlHeadlineIconsInfo = 12422,
  ctlHeadlineDestInfo = 12423,
  ctlHeadlineDownloadInfo = 12424,
  ctlHeadlineDownloadLaunchInfo = 12425,
  ctlHeadlineUninstallInfo = 12426,
  ctlHeadlineUninstallCloseInfo = 12427,
  ctlScrollErrorTextArea = 12428,
  ctlHeadlineProgressInfo = 12429,
  ctlHeadlineExtappInfo = 12430,
  ctlHeadlineFirstpageInfo = 12431,
  ctlTextClicklaunch = 12434,
  ctlTextDownloadcompleted = 12435,
  ctlTextProgramwill = 12436,
  ctlTextWantuninstall = 12437,
  ctlTextWantuninstallPath = 12438,
  // The folder choice form.
  ctlFolderChoiceCaption = 12439,
  ctlFolderChoiceList = 12440,
  ctlFolderChoiceEdit = 12441,
  ctlFolderChoiceUp = 12442,
  ctlFolderChoiceOk = 12443,
  ctlFolderChoiceCancel = 12444,
  ctlFolderChoicePath = 12445,
};

}  // namespace ui
