#include "config/language_list.h"

#include <memory>

#include "base/log_impl.h"
#include "config/launcher_lang_table.h"
#include "base/marker_record.h"
#include "config/resource_archive.h"
#include "base/xml_path_query.h"
#include "base/xml_readers.h"
#include "platform/settings_store.h"
#include "platform/text_encoding.h"
#include "platform/user_locale.h"

namespace {

constexpr size_t kMaxStoredCodeLength = 50;

std::string LanguageKey(const std::string& regPath) { return regPath + "\\Language"; }

void LogLine(CLogImplW* log, const std::string& text) {
  if (log != nullptr) log->WriteText(text, true);
}

bool ReadEntry(const tinyxml2::XMLElement* element, LanguageEntry& entry) {
  return ReadAttrString(element, "lang", entry.code) && ReadAttrString(element, "file", entry.file) &&
         ReadAttrString(element, "long", entry.longName) && ReadAttrString(element, "locale", entry.localeName) &&
         ReadAttrInt(element, "id", entry.id) && ReadAttrInt(element, "icon", entry.icon);
}

}  // namespace

bool LoadLanguageList(const tinyxml2::XMLElement* root, const ResourceArchive& archive, LanguageList& list,
                      std::string& error) {
  CLauncherLangTable::Reset();
  list.entries.clear();
  list.index.clear();
  list.defaultCode.clear();

  const tinyxml2::XMLElement* languages = XmlPathFind(root, "common/languages");
  if (languages == nullptr) {
    error = "config: no common/languages element";
    return false;
  }
  auto table = std::make_unique<CLauncherLangTable>();
  int32_t ordinal = 0;
  for (const tinyxml2::XMLElement* element = languages->FirstChildElement("enable"); element != nullptr;
       element = element->NextSiblingElement("enable"), ++ordinal) {
    LanguageEntry entry;
    if (!ReadEntry(element, entry)) {
      error = "config: language " + std::to_string(ordinal) + " lacks lang, file, long, locale, id or icon";
      return false;
    }
    entry.ordinal = ordinal;
    list.index[entry.code] = ordinal;
    if (list.defaultCode.empty()) list.defaultCode = entry.code;

    std::string bytes;
    if (!archive.Get(entry.file, bytes)) {
      error = "language table " + entry.file + ": missing";
      return false;
    }
    auto language = std::make_unique<CLauncherLang>(std::make_unique<CSimpleMemReadStream>(bytes.data(), bytes.size()),
                                                    entry.longName, entry.code, entry.localeName, entry.id);
    std::string reason;
    if (!language->Load(reason) || !table->Add(std::move(language), reason)) {
      error = "language table " + entry.file + ": " + reason;
      return false;
    }
    list.entries.push_back(std::move(entry));
  }
  if (list.index.empty()) {
    error = "config: no languages listed";
    return false;
  }
  CLauncherLangTable::Install(std::move(table));
  return true;
}

std::string StoredLanguageChoice(const std::string& regPath) {
  const auto stored = platform::SettingsStore::GetString(platform::Hive::kCurrentUser, LanguageKey(regPath), "Language");
  if (!stored || platform::Utf8ToUtf16(*stored).size() > kMaxStoredCodeLength) return std::string();
  return *stored;
}

bool ChooseStartLanguage(LanguageList& list, const std::string& regPath, RunMode runMode, const std::string& preset,
                         const std::string& systemChoice, CLogImplW* log) {
  const bool keyOpen = platform::SettingsStore::CreateKey(platform::Hive::kCurrentUser, LanguageKey(regPath));
  const std::string stored = keyOpen ? StoredLanguageChoice(regPath) : std::string();
  LogLine(log, "setup:" + preset);
  LogLine(log, "reg:" + stored);
  LogLine(log, "local:" + systemChoice);
  LogLine(log, "default:" + list.defaultCode);

  const std::string& first = runMode == rmInstall ? preset : stored;
  const std::string& second = runMode == rmInstall ? stored : preset;
  list.currentCode = !first.empty() ? first : second;
  if (list.currentCode.empty()) list.currentCode = systemChoice;
  if (list.index.find(list.currentCode) == list.index.end()) list.currentCode = list.defaultCode;

  CLauncherLangTable* table = CLauncherLangTable::Current();
  const auto found = list.index.find(list.currentCode);
  if (table == nullptr || found == list.index.end()) return false;
  if (found->second != table->currentIndex() && !table->SetCurrent(found->second)) return false;

  if (keyOpen && runMode != rmDownload) {
    platform::SettingsStore::SetString(platform::Hive::kCurrentUser, LanguageKey(regPath), "Language",
                                       list.currentCode);
  }
  return true;
}

bool ChooseStartLanguage(LanguageList& list, const std::string& regPath, RunMode runMode, CLogImplW* log) {
  return ChooseStartLanguage(list, regPath, runMode, ReadMarker("LANGUAGE", 134), platform::UserLanguageCode(), log);
}

void StoreLanguageChoice(const LanguageList& list, const std::string& regPath, RunMode runMode) {
  if (runMode == rmDownload) return;
  if (!platform::SettingsStore::CreateKey(platform::Hive::kCurrentUser, LanguageKey(regPath))) return;
  platform::SettingsStore::SetString(platform::Hive::kCurrentUser, LanguageKey(regPath), "Language", list.currentCode);
}
