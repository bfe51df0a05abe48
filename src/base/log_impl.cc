#include "base/log_impl.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "platform/local_time.h"
#include "platform/text_encoding.h"

namespace {

std::u16string FormatLocalTime() {
  const platform::LocalTime now = platform::CurrentLocalTime();
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%d/%d/%d -- %02d:%02d:%02d", now.day, now.month, now.year, now.hour,
                now.minute, now.second);
  return platform::Utf8ToUtf16(buffer);
}

}  // namespace

CLogImplW::~CLogImplW() = default;

bool CLogImplW::Open(const char* fileName) {
  if (!fileName || m_file.IsOpen()) return false;
  if (!m_file.Open(fileName, false)) return false;
  return Truncate();
}

bool CLogImplW::OpenNew(const char* fileName) {
  if (!fileName || m_file.IsOpen()) return false;
  return m_file.Open(fileName, true);
}

bool CLogImplW::Close() {
  if (!m_file.IsOpen()) return false;
  m_file.Close();
  return true;
}

bool CLogImplW::IsOpen() const { return m_file.IsOpen(); }

bool CLogImplW::Truncate() { return m_file.IsOpen() && m_file.Truncate(); }

std::u16string CLogImplW::MakeBanner(const std::u16string& text) {
  const size_t length = text.size();
  if (length + 4 < 80) {
    std::u16string line(80, u'=');
    const size_t p = (78 - length) / 2;
    line[p] = u' ';
    line.replace(p + 1, length, text);
    line[p + 1 + length] = u' ';
    return line;
  }
  return u"=== " + text + u" ===";
}

bool CLogImplW::WriteWide(const std::u16string& text, bool lineEnd) {
  if (!m_file.IsOpen()) return false;
  if (m_suppressed) return true;
  const bool written = WriteRaw(text.size() * 2, text.c_str());
  if (!written) return false;
  if (lineEnd) {
    static const char16_t kLineEnd[] = u"\r\n";
    WriteRaw(4, kLineEnd);
  }
  if (m_autoFlush) m_file.Flush();
  return true;
}

bool CLogImplW::WriteBanner(const char* text, bool lineEnd) {
  if (!text) return false;
  return WriteWide(MakeBanner(platform::Utf8ToUtf16(text)), lineEnd);
}

bool CLogImplW::WriteSeparator() { return WriteWide(std::u16string(80, u'='), true); }

bool CLogImplW::WriteText(const char* text, bool lineEnd) {
  if (!text) return false;
  // A long text (a manifest of many files) goes out in pieces, so that its
  // wide copy stays small. A piece ends before a byte that cannot continue
  // a character, so the pieces convert exactly as the whole text would.
  constexpr size_t kPiece = 64 * 1024;
  std::string_view rest(text);
  while (rest.size() > kPiece) {
    const auto continues = [&](size_t at) { return (static_cast<uint8_t>(rest[at]) & 0xC0) == 0x80; };
    size_t back = 0;
    while (back < 4 && continues(kPiece - back)) ++back;
    // Four continuation bytes in a row belong to no character that reaches the cut.
    const size_t cut = back < 4 ? kPiece - back : kPiece;
    if (!WriteWide(platform::Utf8ToUtf16(rest.substr(0, cut)), false)) return false;
    rest.remove_prefix(cut);
  }
  return WriteWide(platform::Utf8ToUtf16(rest), lineEnd);
}

bool CLogImplW::WriteTimestamp() { return WriteWide(FormatLocalTime() + u"  :", false); }

bool CLogImplW::WriteDateBanner() { return WriteWide(MakeBanner(FormatLocalTime()), true); }

bool CLogImplW::WriteEmptyLines(int count) {
  if (!m_file.IsOpen() || count < 1 || count > 10) return false;
  if (m_suppressed) return true;
  std::u16string lines;
  for (int i = 0; i < count; ++i) lines += u"\r\n";
  const bool written = WriteRaw(lines.size() * 2, lines.c_str());
  if (written && m_autoFlush) m_file.Flush();
  return written;
}

bool CLogImplW::SetSuppressed(bool suppressed) {
  if (m_suppressed == suppressed) return false;
  m_suppressed = suppressed;
  return true;
}

bool CLogImplW::IsSuppressed() const { return m_suppressed; }
void CLogImplW::SetAutoFlush(bool autoFlush) { m_autoFlush = autoFlush; }
void CLogImplW::SetUtf8(bool utf8) { m_utf8 = utf8; }

bool CLogImplW::WriteRaw(size_t byteCount, const void* data) {
  if (!m_file.IsOpen() || !data) return false;
  if (!m_utf8) return m_file.Write(data, byteCount);
  const char16_t* wide = static_cast<const char16_t*>(data);
  size_t length = 0;
  while (wide[length] != 0) ++length;
  const std::string utf8 = platform::Utf16ToUtf8(std::u16string_view(wide, length));
  return m_file.Write(utf8.data(), utf8.size());
}
