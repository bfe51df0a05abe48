#include "net/request_log.h"

#include <algorithm>
#include <cstdio>

#include "net/net_errors.h"

namespace NetEx {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

const std::string& FillText() {
  static const std::string fill = " " + std::string(CLog::kLineWidth, '=');
  return fill;
}

}  // namespace

bool CLog::Open(const std::string& fileName, uint32_t maxWrite) {
  bool wasEmpty = false;
  if (!m_file.Open(fileName, wasEmpty)) return false;
  m_maxWrite = maxWrite;
  if (wasEmpty) m_file.Write(kBom.data(), kBom.size());
  return true;
}

bool CLog::Write(std::string_view text) {
  if (!m_file.IsOpen()) return false;
  if (m_maxWrite > 0 && text.size() > m_maxWrite) {
    return m_file.Write(text.data(), m_maxWrite) && m_file.Write(kTooLarge.data(), kTooLarge.size());
  }
  return m_file.Write(text.data(), text.size());
}

void CLog::Entry(std::string_view title) {
  const std::string& stamp = Timestamp();
  const int fill =
      std::max<int>(3, kLineWidth - static_cast<int>(stamp.size()) - static_cast<int>(title.size()));
  std::string line(title);
  line.append(FillText(), 0, static_cast<size_t>(std::min<int>(fill, static_cast<int>(FillText().size()))));
  line += stamp;
  line += kLineEnd;
  Write(line);
}

void CLog::Field(std::string_view label, std::string_view value) {
  std::string line(label);
  line += value;
  line += kLineEnd;
  Write(line);
}

void CLog::Field(std::string_view label, int64_t value) { Field(label, std::to_string(value)); }

void CLog::Block(std::string_view label, std::string_view bytes) {
  Field(label, "");
  Write(bytes);
  Write(kLineEnd);
}

void CLog::ErrorLine(int64_t code) { Field(NetEx::ErrorLine(code), ""); }

const std::string& CLog::Timestamp() {
  const platform::LocalTimeMs now = platform::CurrentLocalTimeMs();
  const platform::LocalTime& t = now.time;
  const uint64_t key = ((((static_cast<uint64_t>(t.year) * 13 + t.month) * 32 + t.day) * 24 + t.hour) * 60 + t.minute) *
                           60000 +
                       static_cast<uint64_t>(t.second) * 1000 + static_cast<uint64_t>(now.millisecond);
  if (key != m_timestampKey) {
    char text[64];
    std::snprintf(text, sizeof text, "[%02d.%02d.%04d %02d:%02d:%02d.%03d]", t.day, t.month, t.year, t.hour, t.minute,
                  t.second, now.millisecond);
    m_timestamp = text;
    m_timestampKey = key;
  }
  return m_timestamp;
}

std::string CLog::FileName(const std::string& folder, uint32_t processId, std::string_view name) {
  std::string clean(name);
  for (char& ch : clean) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 31 || c >= 128 || ch == '"' || ch == '/' || ch == ':' || ch == '<' || ch == '>' || ch == '\\' ||
        ch == '|') {
      ch = '-';
    }
  }
  return folder + std::to_string(processId) + "." + clean + ".log";
}

}  // namespace NetEx
