#include "update/changes_file.h"

#include <algorithm>
#include <limits>

#include "platform/file_system.h"
#include "platform/file_version.h"

namespace {

constexpr size_t kVersionValues = 4;

uint32_t ComponentValue(const std::string& text) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return 0;
  uint64_t value = 0;
  for (char c : text) {
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > std::numeric_limits<uint32_t>::max()) return std::numeric_limits<uint32_t>::max();
  }
  return static_cast<uint32_t>(value);
}

// -1, 0 or 1 as `a` is below, equal to or above `b`.
int Compare(const std::array<uint32_t, 4>& a, const std::array<uint32_t, 4>& b) {
  for (size_t i = 0; i < 4; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

}  // namespace

std::array<uint32_t, 4> ParseActionVersion(const std::string& text) {
  std::array<uint32_t, 4> parts{0, 0, 0, 0};
  size_t index = 0;
  size_t at = 0;
  while (index < parts.size()) {
    while (at < text.size() && text[at] == '.') ++at;
    if (at >= text.size()) break;
    const size_t end = std::min(text.find('.', at), text.size());
    parts[index++] = ComponentValue(text.substr(at, end - at));
    at = end;
  }
  return parts;
}

ChangesFile::ChangesFile(std::string clientFolder, std::string clientProcess)
    : m_clientFolder(std::move(clientFolder)), m_clientProcess(std::move(clientProcess)) {}

std::string ChangesFile::Path() const { return platform::JoinPath(m_clientFolder, kFileName); }

bool ChangesFile::Load() {
  m_values.clear();
  std::string bytes;
  bool ok = true;
  if (!platform::ReadWholeFile(Path(), bytes)) {
    bytes.clear();
    ok = !platform::PathExists(Path()) && platform::WriteFileAtomic(Path(), std::string_view());
  }
  for (size_t at = 0; at + 4 <= bytes.size(); at += 4) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    m_values.push_back(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                       (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
  }
  if (m_values.size() < kVersionValues) m_values.insert(m_values.end(), kVersionValues, 0);
  return ok;
}

bool ChangesFile::Save() {
  std::string bytes;
  bytes.reserve(m_values.size() * 4);
  for (uint32_t value : m_values) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
  }
  return platform::WriteFileAtomic(Path(), bytes);
}

bool ChangesFile::IsApplicable(uint32_t id, const std::string& verStart, const std::string& verEnd) const {
  if (m_values[0] != 0 || m_values[1] != 0 || m_values[2] != 0) {
    const std::array<uint32_t, 4> recorded{m_values[0], m_values[1], m_values[2], m_values[3]};
    if (!verStart.empty() && Compare(recorded, ParseActionVersion(verStart)) < 0) return false;
    if (!verEnd.empty() && Compare(recorded, ParseActionVersion(verEnd)) > 0) return false;
  }
  return id == 0 || std::find(m_values.begin() + kVersionValues, m_values.end(), id) == m_values.end();
}

void ChangesFile::MarkApplied(uint32_t id) {
  if (id == 0) return;
  if (std::find(m_values.begin() + kVersionValues, m_values.end(), id) == m_values.end()) m_values.push_back(id);
  Save();
}

void ChangesFile::RecordClientVersion() {
  Load();
  const std::string client = platform::JoinPath(m_clientFolder, m_clientProcess);
  if (m_clientProcess.empty() || !platform::CanOpenForReading(client)) return;
  const auto version = platform::ReadFileVersion(client);
  if (!version) return;
  for (size_t i = 0; i < kVersionValues; ++i) m_values[i] = (*version)[i];
  Save();
}
