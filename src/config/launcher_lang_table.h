// CLauncherLangTable: the languages of this run in list order, the default
// (the first) and the current one; and GetString, through which every text
// the launcher shows is fetched by number from the current language.
//
// One process-wide table (Current()); the language-list loader replaces it
// and the controller drops it at shutdown. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/launcher_lang.h"

class CLauncherLangTable {
 public:
  CLauncherLangTable() = default;
  virtual ~CLauncherLangTable() = default;
  CLauncherLangTable(const CLauncherLangTable&) = delete;
  CLauncherLangTable& operator=(const CLauncherLangTable&) = delete;

  // Appends a loaded language. False (the language is destroyed) when its
  // string count differs from the first language's. The first language
  // becomes the default and the current one.
  bool Add(std::unique_ptr<CLauncherLang> language, std::string& error);
  // Makes language `index` current and, when it names a locale the machine
  // has, sets the C library's time locale to it. Succeeds at once for the
  // current index; false for an index outside the table.
  bool SetCurrent(int32_t index);

  size_t Size() const { return m_languages.size(); }
  int32_t defaultIndex() const { return m_defaultIndex; }
  int32_t currentIndex() const { return m_currentIndex; }
  // Null when there is no such language.
  const CLauncherLang* Language(int32_t index) const;
  const CLauncherLang* CurrentLanguage() const { return Language(m_currentIndex); }

  // The process-wide table; null before the first load and after Reset.
  static CLauncherLangTable* Current();
  static void Install(std::unique_ptr<CLauncherLangTable> table);
  static void Reset() { Install(nullptr); }

 private:
  std::vector<std::unique_ptr<CLauncherLang>> m_languages;
  int32_t m_defaultIndex = -1;
  int32_t m_currentIndex = -1;
};

// String `number` of the process-wide table's current language (UTF-8);
// empty when there is no table, no current language or no such string.
std::string GetString(int32_t number);
