#include "config/launcher_lang.h"

#include <string_view>

#include "platform/user_locale.h"

namespace {

struct NeutralLocale {
  std::string_view name;
  uint32_t id;
};

// Neutral language identifiers of the languages the launcher knows.
constexpr NeutralLocale kNeutralLocales[] = {
    {"en", 0x09}, {"ru", 0x19}, {"it", 0x10}, {"es", 0x0A}, {"pt", 0x16},   {"de", 0x07}, {"cs", 0x05},
    {"el", 0x08}, {"sr", 0x7C1A}, {"hr", 0x1A}, {"bs", 0x781A}, {"tr", 0x1F}, {"kk", 0x3F}, {"uk", 0x22},
    {"pl", 0x15}, {"fr", 0x0C}, {"nl", 0x13}, {"hu", 0x0E}, {"ro", 0x18},   {"bg", 0x02}, {"sk", 0x1B},
};

uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

uint32_t CLauncherLang::LocaleIdOf(const std::string& localeName) {
  for (const NeutralLocale& locale : kNeutralLocales) {
    if (locale.name == localeName) return locale.id;
  }
  return 0;
}

CLauncherLang::CLauncherLang(std::unique_ptr<ISimpleReadStream> stream, std::string longName, std::string code,
                             std::string localeName, int32_t id)
    : m_stream(std::move(stream)),
      m_longName(std::move(longName)),
      m_code(std::move(code)),
      m_localeName(std::move(localeName)),
      m_id(id) {
  m_runtimeLocale = platform::ResolveLocaleName(m_localeName);
  m_localeId = LocaleIdOf(m_localeName);
}

const std::string& CLauncherLang::String(int32_t number) const {
  static const std::string kEmpty;
  if (number < 0 || static_cast<size_t>(number) >= m_strings.size()) return kEmpty;
  return m_strings[static_cast<size_t>(number)];
}

bool CLauncherLang::Load(std::string& error) {
  m_strings.clear();
  if (!m_stream) {
    error = "no data";
    return false;
  }
  ISimpleReadStream& stream = *m_stream;
  const auto fail = [&](std::string reason) {
    error = std::move(reason);
    m_strings.clear();
    stream.Close();
    return false;
  };
  uint8_t header[8];
  if (!stream.ReadExact(header, sizeof header)) return fail("the header is cut short");
  const uint32_t count = ReadLe32(header);
  if (ReadLe32(header + 4) != 0) return fail("the reserved word is not 0");
  if (count == 0) return fail("the string count is 0");
  // Every string takes at least its 4-byte length.
  const int64_t left = stream.Size() - stream.Position();
  if (static_cast<int64_t>(count) > left / 4) {
    return fail("the string count " + std::to_string(count) + " does not fit in " + std::to_string(left) +
                " bytes");
  }
  m_strings.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t lengthBytes[4];
    if (!stream.ReadExact(lengthBytes, sizeof lengthBytes)) {
      return fail("string " + std::to_string(i) + ": the length is cut short");
    }
    const uint32_t length = ReadLe32(lengthBytes);
    const int64_t remaining = stream.Size() - stream.Position();
    if (static_cast<int64_t>(length) > remaining) {
      return fail("string " + std::to_string(i) + ": length " + std::to_string(length) + " runs past the end (" +
                  std::to_string(remaining) + " bytes left)");
    }
    std::string text(length, '\0');
    if (length > 0 && !stream.ReadExact(text.data(), length)) {
      return fail("string " + std::to_string(i) + ": read failed");
    }
    m_strings.push_back(std::move(text));
  }
  stream.Close();
  return true;
}
