// CWindowTexts: the controller's texts of the window's controls. It sets a
// control's text by language string number or as literal text, keeps the
// texts that carry values (progress figures, a percentage) as a format
// plus arguments in LocalizedTextMemory so they can be rebuilt, fills every
// text of the window for the current language (InitTextControls), and
// switches the language from the window's language list (SelectLanguage).
//
// The controller owns one and tells it, through StateSource, what the texts
// depend on (theme mode, run mode, client folder...); the downloader's
// language, the licence request and the storage of the choice are hooks.
//
// Threading: the controller's (main) thread only. Errors: text operations
// on an identifier that no text control carries do nothing and report
// false; nothing throws.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/run_mode.h"
#include "config/language_list.h"

namespace ui {

class CLayeredWindow;

// Kinds of a text part: as the first part (the format) / as an argument.
enum TextPartKind : std::int32_t {
  tpkString = 0,   // language string `number` / the integer `number`
  tpkFloat = 1,    // not a format / the float whose bits are `number`
  tpkInteger = 2,  // not a format / the integer `number`
  tpkLiteral = 3,  // the literal `text` / the literal `text`
};

struct TextPart {
  std::int32_t kind = tpkString;
  std::uint32_t number = 0;
  std::string text;  // UTF-8

  static TextPart String(std::int32_t stringNumber);
  static TextPart Float(float value);
  static TextPart Integer(std::int32_t value);
  static TextPart Literal(std::string value);
};

// Control identifier -> its one to three text parts, in identifier order.
using LocalizedTextMemory = std::map<std::int32_t, std::vector<TextPart>>;

// What the texts depend on in the controller.
struct WindowTextState {
  bool singlePageMode = false;
  bool backNextArrowsInText = true;
  RunMode runMode = rmInstall;
  // The folder an uninstall removes (text_wantuninstall_path).
  std::string clientFolder;
  // The string number of the message page's edit-field caption (0: empty).
  std::int32_t editCaptionNumber = 0;
  // Where the language choice is stored.
  std::string regPath;
};

class CWindowTexts {
 public:
  using StateSource = std::function<WindowTextState()>;

  // Both are borrowed and must outlive this object.
  CWindowTexts(CLayeredWindow& window, LanguageList& languages);

  // --- Wiring (empty functions are skipped) ---------------------------------
  StateSource stateSource;
  // The code of a newly selected language (the downloader's request language).
  std::function<void(const std::string& code)> languageCodeChanged;
  // Asks for the licence text again (a language switch in the wizard theme).
  std::function<void()> requestLicense;
  // Stores the choice; when empty, StoreLanguageChoice with the state's
  // regPath and run mode.
  std::function<void(const LanguageList&)> storeLanguageChoice;
  // A log line (`lineEnd` false: the line goes on later).
  std::function<void(const std::string& text, bool lineEnd)> log;

  // --- Operations --------------------------------------------------------------

  // The text control `id` gets language string `number` (also when empty)
  // and hears TextChanged. False when no text control has the identifier.
  bool SetControlText(std::int32_t id, std::int32_t number);
  // The same with a literal text.
  bool SetControlString(std::int32_t id, const std::string& text);
  // Stores one to three parts for `id` (replacing earlier ones) and renders
  // them. False (nothing stored) for no parts or more than three.
  bool SetLocalizedText(std::int32_t id, std::vector<TextPart> parts);
  // Renders the stored entry of `id`, or every entry in identifier order for
  // -1. Entries whose first part is not a string number or a literal are not
  // shown.
  void RenderLocalizedTexts(std::int32_t id = -1);
  // Sets every text of the window for the current language; true.
  bool InitTextControls();
  // Makes language entry `index` current and updates the window; nothing
  // without a "language" control (12366) or for an index outside the list.
  // Unless `quiet`, every text is set again (InitTextControls) and the
  // licence is requested again (not in single-page mode). The window's
  // default texts (ReTextControls) come next, and then the stored texts
  // with values once more, so a progress text whose control has a default
  // string keeps its figures. The choice is stored last.
  void SelectLanguage(int index, bool quiet);

  const LocalizedTextMemory& Memory() const { return m_memory; }
  // The text an entry renders to (empty when it is not shown).
  static bool RenderEntry(const std::vector<TextPart>& parts, std::string& text);

 private:
  WindowTextState State() const;
  void Log(const std::string& text, bool lineEnd) const;
  void AttachGuestToolTip();

  CLayeredWindow& m_window;
  LanguageList& m_languages;
  LocalizedTextMemory m_memory;
};

}  // namespace ui
