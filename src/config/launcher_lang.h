// CLauncherLang: one language of the launcher: its string table (read from
// a ".lso" image), its names and its locale.
//
// ".lso" layout, integers 32-bit little-endian: the string count (above 0),
// a reserved 0, then per string its byte length and that many bytes of
// UTF-8 text. Every length is checked against the bytes that are left:
// a table that claims more than it holds fails to load with a reason; it is
// never read past its end.
//
// Owned by the language table (CLauncherLangTable); main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/simple_mem_read_stream.h"

class CLauncherLang {
 public:
  // Takes the stream the table is read from. `localeName` gives the C
  // library locale (none when the machine lacks it) and the Windows-style
  // locale identifier (0 for a name that is not a known language).
  CLauncherLang(std::unique_ptr<ISimpleReadStream> stream, std::string longName, std::string code,
                std::string localeName, int32_t id);
  virtual ~CLauncherLang() = default;
  CLauncherLang(const CLauncherLang&) = delete;
  CLauncherLang& operator=(const CLauncherLang&) = delete;

  // Reads the table and closes the stream. False, with the reason in
  // `error`, for a cut header, a reserved word other than 0, a count of 0,
  // or a string whose length runs past the end of the image.
  bool Load(std::string& error);

  size_t Count() const { return m_strings.size(); }
  // String `number`; empty when out of range.
  const std::string& String(int32_t number) const;

  const std::string& longName() const { return m_longName; }
  const std::string& code() const { return m_code; }
  const std::string& localeName() const { return m_localeName; }
  // The installed C library locale of `localeName`; "" for none.
  const std::string& runtimeLocale() const { return m_runtimeLocale; }
  uint32_t localeId() const { return m_localeId; }
  int32_t id() const { return m_id; }

  // The Windows-style identifier of a neutral language name ("en" 0x09,
  // "ru" 0x19, ...); 0 for names that are not languages.
  static uint32_t LocaleIdOf(const std::string& localeName);

 private:
  std::unique_ptr<ISimpleReadStream> m_stream;
  std::vector<std::string> m_strings;
  std::string m_longName;
  std::string m_code;
  std::string m_localeName;
  std::string m_runtimeLocale;
  uint32_t m_localeId = 0;
  int32_t m_id = 0;
};
