// theme_snapshot: draws the launcher's forms without a display, one PNG per
// form, so anyone can look at the interface of a build.
//
//   theme_snapshot <resources.rar> <output folder> [--lang CODE]... [--dpi N]
//                  [--theme FOLDER]
//
// Reads the resource archive the build makes (build/.../resources/
// resources.rar), its launcher configuration, theme document, fonts,
// textures and language tables, builds the window over the headless
// back-end, fills every text for each language given (default: en) and
// writes "form<N>_<code>.png" for every form, plus
// "form<N>_size<K>_<code>.png" for the four sizes of the install page (the
// form holding single_install_button_install). Sample texts fill the
// message, progress and folder captions, and the message page shows only
// its OK button, as the controller's default message does. Captions that do not fit their
// controls are listed on standard output. "--theme theme_wizard" draws the
// wizard theme instead of the configured one: its install-step pages with
// their step indicator, a sample licence on the terms page.
//
// Exit codes: 0 done, 1 a load or write failed, 2 bad arguments (usage).
#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

#include "config/language_list.h"
#include "config/launcher_config.h"
#include "config/launcher_lang_table.h"
#include "config/launcher_settings.h"
#include "config/resource_archive.h"
#include "base/xml_path_query.h"
#include "platform/file_system.h"
#include "ui/control_name_table.h"
#include "ui/dpi_factor.h"
#include "ui/headless_backend.h"
#include "ui/layered_window.h"
#include "ui/rich_text.h"
#include "ui/gui_scroll_ctrl.h"
#include "ui/text_fit_check.h"
#include "ui/theme_setup.h"
#include "ui/window_texts.h"

namespace {

constexpr const char* kUsage =
    "usage: theme_snapshot <resources.rar> <output folder> [--lang CODE]... [--dpi N] [--theme FOLDER]\n"
    "  Writes form<N>_<code>.png for every form of the theme (and\n"
    "  form<N>_size<K>_<code>.png for the sizes of the install page) and lists\n"
    "  captions that do not fit their controls. Default language: en; DPI 96.\n";

constexpr const char* kSampleFolder = "/home/player/Games/Skyward Tides";
constexpr const char* kSampleLicense =
    "<h2>End User Licence</h2><p>By installing you agree to these terms.</p>"
    "<ol><li>Play fair.</li><li>Keep your account to yourself.</li></ol>"
    "<ul><li>&lt;Saves&gt; stay yours.</li><li>Updates arrive by themselves.</li></ul><!-- end -->";

int Usage(const std::string& problem) {
  if (!problem.empty()) fprintf(stderr, "theme_snapshot: %s\n", problem.c_str());
  fputs(kUsage, stderr);
  return 2;
}

int Fail(const std::string& message) {
  fprintf(stderr, "theme_snapshot: %s\n", message.c_str());
  return 1;
}

bool ParseDpi(const std::string& text, int& dpi) {
  if (text.empty() || text.size() > 4) return false;
  dpi = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    dpi = dpi * 10 + (c - '0');
  }
  return dpi >= 48 && dpi <= 768;
}

// The form (1-based) that holds the install button; 0 when none does.
int InstallPage(const ui::CLayeredWindow& window) {
  for (size_t i = 0; i < window.FormCount(); ++i) {
    const ui::GuiControl* form = window.Form(i);
    std::vector<const ui::GuiControl*> stack{form};
    while (!stack.empty()) {
      const ui::GuiControl* control = stack.back();
      stack.pop_back();
      if (control->id == ui::ctlSingleInstallButtonInstall) return static_cast<int>(i + 1);
      for (const auto& child : control->children) stack.push_back(child.get());
    }
  }
  return 0;
}

// What the controller shows by default: the message page with OK only (no
// edit field, no link), the install page without the update's cancel.
void ShowDefaultControls(const ui::CLayeredWindow& window) {
  for (int id : {ui::ctlMboxYes, ui::ctlMboxNo, ui::ctlMboxRetry, ui::ctlMboxCancel, ui::ctlMboxEdit,
                 ui::ctlMboxLink, ui::ctlMboxTextEditCaption, ui::ctlSingleInstallButtonCancelUpdate}) {
    if (ui::GuiControl* control = window.FindControl(id)) control->visible = false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() < 2 || args[0].rfind("--", 0) == 0 || args[1].rfind("--", 0) == 0) return Usage("");
  std::vector<std::string> codes;
  std::string themeFolder;
  int dpi = 96;
  for (size_t i = 2; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) return Usage("no value for " + args[i]);
    if (args[i] == "--lang") {
      codes.push_back(args[i + 1]);
    } else if (args[i] == "--theme") {
      themeFolder = args[i + 1];
    } else if (args[i] == "--dpi") {
      if (!ParseDpi(args[i + 1], dpi)) return Usage("DPI must be a number from 48 to 768: " + args[i + 1]);
    } else {
      return Usage("unknown option " + args[i]);
    }
  }
  if (codes.empty()) codes.push_back("en");
  const std::string& archivePath = args[0];
  const std::string& outputFolder = args[1];

  std::string image;
  if (!platform::ReadWholeFile(archivePath, image)) return Fail(archivePath + ": cannot read");
  ResourceArchive& archive = ResourceArchive::Instance();
  if (!archive.Open(image.data(), image.size())) return Fail(archivePath + ": not a readable resource archive");

  LauncherSettings settings;
  tinyxml2::XMLDocument configDocument;
  tinyxml2::XMLDocument themeDocument;
  LanguageList languages;
  std::string error;
  if (!LoadLauncherConfig(archive, settings, configDocument, languages, error)) return Fail(error);
  if (!themeFolder.empty()) settings.themeFolder = themeFolder + "\\";
  if (!LoadThemeDocument(archive, settings, themeDocument, error)) return Fail(error);
  const tinyxml2::XMLElement* themeCommon = XmlPathFind(themeDocument.RootElement(), "common");
  bool singlePageMode = false;
  bool backNextArrowsInText = true;
  XmlQueryAttrBool(themeCommon, "singlePageMode/@value", singlePageMode);
  XmlQueryAttrBool(themeCommon, "backNextArrowsInText/@value", backNextArrowsInText);

  ui::SetDpiFactor(dpi / 96.0);
  if (!ui::LoadThemeResources(archive, settings.themeFolder, themeDocument, error)) return Fail(error);
  auto backend = std::make_unique<ui::HeadlessWindowBackend>();
  ui::HeadlessWindowBackend* headless = backend.get();
  headless->SetDpi(dpi);
  std::unique_ptr<ui::CLayeredWindow> window = ui::CreateLauncherWindow(themeDocument, std::move(backend), {});
  if (!window) return Fail("the theme's forms or the window cannot be made (fewer than four forms?)");
  if (!platform::CreateDirectories(outputFolder)) return Fail(outputFolder + ": cannot create the folder");

  ui::CWindowTexts texts(*window, languages);
  texts.stateSource = [&] {
    ui::WindowTextState state;
    state.singlePageMode = singlePageMode;
    state.backNextArrowsInText = backNextArrowsInText;
    state.runMode = rmInstall;
    state.clientFolder = kSampleFolder;
    return state;
  };
  texts.storeLanguageChoice = [](const LanguageList&) {};  // a snapshot stores nothing

  const int installPage = InstallPage(*window);
  int written = 0;
  for (const std::string& code : codes) {
    if (languages.index.find(code) == languages.index.end()) return Fail("no language \"" + code + "\" in the list");
    languages.currentCode = code;
    texts.InitTextControls();
    texts.SetControlText(ui::ctlMblistboxError, 32);
    texts.SetControlText(ui::ctlSingleInstallTextProgressInfo, 38);
    texts.SetControlString(ui::ctlSingleInstallTextFolder, kSampleFolder);
    texts.SetControlString(ui::ctlScrollErrorTextArea, GetString(99));
    texts.SetControlString(ui::ctlTextWantuninstallPath, kSampleFolder);
    texts.SetControlString(ui::ctlFolder, kSampleFolder);
    texts.SetControlText(ui::ctlDownloadInfo, 18);
    texts.SetControlText(ui::ctlProgressInfo, 38);
    texts.SetControlText(ui::ctlHeadlineFirstpageInfo, 82);
    for (int i = 0; i < 3; ++i) {
      texts.SetControlString(ui::ctlCheckboxExtapp1 + i, "Sample application " + std::to_string(i + 1));
    }
    if (auto* terms = dynamic_cast<ui::CGuiScrollCtrl*>(window->FindControl(ui::ctlTerms))) {
      if (auto* lines = dynamic_cast<ui::CGuiTextLabelCtrl*>(terms->Content())) {
        lines->text = ui::ConvertRichText(kSampleLicense);
        lines->TextChanged();
      }
    }
    ShowDefaultControls(*window);

    // The wizard's install steps: terms, folder, shortcuts, waiting for the
    // assistant, download, launch.
    const std::vector<std::pair<int, int>> wizardSteps = {{1, 1}, {2, 2}, {8, 3}, {9, 4}, {3, 5}, {4, 6}};
    for (size_t form = 1; form <= window->FormCount(); ++form) {
      std::vector<int> sizes{-1};
      if (static_cast<int>(form) == installPage) sizes = {-1, 0, 1, 2, 3};
      if (!singlePageMode) {
        window->Form(form - 1)->stepCount = static_cast<int>(wizardSteps.size());
        for (const auto& [page, step] : wizardSteps) {
          if (page == static_cast<int>(form)) sizes = {step};
        }
      }
      for (int size : sizes) {
        window->ShowForm(static_cast<int>(form), size);
        if (!window->RenderAndPresent()) return Fail("form " + std::to_string(form) + ": cannot render");
        const std::string variant = singlePageMode ? "_size" : "_step";
        const std::string name = "form" + std::to_string(form) +
                                 (size >= 0 ? variant + std::to_string(size) : std::string()) + "_" + code + ".png";
        const std::string path = platform::JoinPath(outputFolder, name);
        if (!headless->WritePng(path)) return Fail(path + ": cannot write");
        ++written;
      }
    }
    for (const ui::ClippedText& clipped : ui::FindClippedTexts(*window)) {
      printf("%s: does not fit: %s\n", code.c_str(), ui::DescribeClippedText(clipped).c_str());
    }
  }
  printf("%d snapshots written to %s\n", written, outputFolder.c_str());
  return 0;
}
