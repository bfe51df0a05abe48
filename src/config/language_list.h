// The languages of the launcher configuration ("common/languages", one
// "enable" element per language), the choice of the starting language and
// its storage in the settings store (HKEY_CURRENT_USER\<regPath>\Language,
// value "Language").
//
// The controller owns a LanguageList; the string tables themselves live in
// the process-wide CLauncherLangTable. Main thread only. Failures are false
// results; reasons come back as texts for the caller's log.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <tinyxml2.h>

#include "base/run_mode.h"

class CLogImplW;
class ResourceArchive;

struct LanguageEntry {
  std::string code;        // "lang"
  std::string longName;    // "long", UTF-8
  std::string file;        // "file": the ".lso" entry of the resource archive
  std::string localeName;  // "locale"
  int32_t id = 0;
  int32_t icon = 0;
  int32_t ordinal = 0;     // position among the "enable" elements
};

struct LanguageList {
  std::vector<LanguageEntry> entries;
  // Code -> ordinal; of two entries with one code the later wins.
  std::map<std::string, int32_t> index;
  std::string defaultCode;  // the first entry's code
  std::string currentCode;  // chosen for this run
};

// Reads the list below `root` and loads every entry's table from `archive`
// into a new process-wide CLauncherLangTable. False, with the reason in
// `error` and no table left installed, for a missing "languages" element, a
// missing or non-integer attribute, a missing or damaged table, or a string
// count that differs from the first table's.
bool LoadLanguageList(const tinyxml2::XMLElement* root, const ResourceArchive& archive, LanguageList& list,
                      std::string& error);

// Picks `currentCode`: in rmInstall the preset, else the stored choice; in
// other run modes the stored choice, else the preset; then the system's
// language; a code that is not listed gives the default. Makes it current
// in the process-wide table and, except in rmDownload, stores it. Logs
// "setup:", "reg:", "local:" and "default:" lines. False when there is no
// table or the chosen language is not in it.
bool ChooseStartLanguage(LanguageList& list, const std::string& regPath, RunMode runMode,
                         const std::string& preset, const std::string& systemChoice, CLogImplW* log);
// The same with the preset of the "LANGUAGE" marker record and the user's
// locale.
bool ChooseStartLanguage(LanguageList& list, const std::string& regPath, RunMode runMode, CLogImplW* log);

// Writes `currentCode` as the stored choice, except in rmDownload.
void StoreLanguageChoice(const LanguageList& list, const std::string& regPath, RunMode runMode);

// The stored choice; empty when missing, not a string or over 50 characters.
std::string StoredLanguageChoice(const std::string& regPath);
