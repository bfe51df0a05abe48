#include "config/launcher_lang_table.h"

#include "platform/user_locale.h"

namespace {

std::unique_ptr<CLauncherLangTable>& ProcessTable() {
  static std::unique_ptr<CLauncherLangTable> table;
  return table;
}

}  // namespace

bool CLauncherLangTable::Add(std::unique_ptr<CLauncherLang> language, std::string& error) {
  if (!language) return false;
  if (!m_languages.empty() && language->Count() != m_languages.front()->Count()) {
    error = std::to_string(language->Count()) + " strings where the first language has " +
            std::to_string(m_languages.front()->Count());
    return false;
  }
  m_languages.push_back(std::move(language));
  if (m_languages.size() == 1) {
    m_defaultIndex = 0;
    SetCurrent(0);
  }
  return true;
}

bool CLauncherLangTable::SetCurrent(int32_t index) {
  if (index == m_currentIndex) return true;
  if (index < 0 || static_cast<size_t>(index) >= m_languages.size()) return false;
  m_currentIndex = index;
  const CLauncherLang& language = *m_languages[static_cast<size_t>(index)];
  // A language whose locale the machine lacks leaves the time locale alone.
  if (!language.runtimeLocale().empty()) platform::SetTimeLocale(language.localeName());
  return true;
}

const CLauncherLang* CLauncherLangTable::Language(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= m_languages.size()) return nullptr;
  return m_languages[static_cast<size_t>(index)].get();
}

CLauncherLangTable* CLauncherLangTable::Current() { return ProcessTable().get(); }

void CLauncherLangTable::Install(std::unique_ptr<CLauncherLangTable> table) { ProcessTable() = std::move(table); }

std::string GetString(int32_t number) {
  const CLauncherLangTable* table = CLauncherLangTable::Current();
  if (table == nullptr) return std::string();
  const CLauncherLang* language = table->CurrentLanguage();
  if (language == nullptr) return std::string();
  return language->String(number);
}
