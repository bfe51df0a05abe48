#include "platform/settings_store.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <functional>
#include <mutex>

#include "platform/file_system.h"
#include "platform/text_encoding.h"

namespace platform {
namespace {

// In-memory form of one hive file.
struct Key {
  std::string path;  // as created
  std::vector<std::pair<std::string, SettingValue>> values;
};

struct HiveData {
  std::vector<Key> keys;  // in creation order; parents listed before children
};

std::mutex g_rootsMutex;
std::string g_userRoot;
std::string g_machineRoot;

std::string NormaliseKey(const std::string& key) {
  std::string out;
  for (char c : key) {
    if (c == '/') c = '\\';
    if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\0': out += "\\0"; break;
      default: out += c;
    }
  }
  return out;
}

// Reads a quoted text starting at `pos` (on the opening quote).
bool Unescape(const std::string& line, size_t& pos, std::string& out) {
  if (pos >= line.size() || line[pos] != '"') return false;
  ++pos;
  out.clear();
  while (pos < line.size()) {
    const char c = line[pos++];
    if (c == '"') return true;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (pos >= line.size()) return false;
    const char e = line[pos++];
    switch (e) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case '0': out += '\0'; break;
      default: out += e;
    }
  }
  return false;
}

std::string HexOf(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

bool ParseHex(const std::string& text, std::string& bytes) {
  if (text.size() % 2 != 0) return false;
  bytes.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    const auto nibble = [](char c) -> int {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return -1;
    };
    const int hi = nibble(text[i]), lo = nibble(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes += static_cast<char>(hi * 16 + lo);
  }
  return true;
}

std::string Serialise(const HiveData& hive) {
  std::string out = "; launcher settings hive\n";
  for (const Key& key : hive.keys) {
    out += "\n[" + Escape(key.path) + "]\n";
    for (const auto& [name, value] : key.values) {
      out += "\"" + Escape(name) + "\"=";
      switch (value.type) {
        case SettingType::kString: out += "sz:\"" + Escape(value.text) + "\""; break;
        case SettingType::kDword: out += "dword:" + std::to_string(value.number); break;
        case SettingType::kQword: out += "qword:" + std::to_string(value.number); break;
        case SettingType::kBinary: out += "hex:" + HexOf(value.text); break;
      }
      out += "\n";
    }
  }
  return out;
}

// Lines that cannot be read are skipped: a damaged line never takes the
// rest of the hive with it.
HiveData Parse(const std::string& text) {
  HiveData hive;
  Key* current = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[' && line.back() == ']') {
      std::string path;
      size_t p = 0;
      const std::string inner = "\"" + line.substr(1, line.size() - 2) + "\"";
      if (!Unescape(inner, p, path)) continue;
      hive.keys.push_back(Key{NormaliseKey(path), {}});
      current = &hive.keys.back();
      continue;
    }
    if (!current || line[0] != '"') continue;
    size_t p = 0;
    std::string name;
    if (!Unescape(line, p, name) || p >= line.size() || line[p] != '=') continue;
    const std::string rest = line.substr(p + 1);
    SettingValue value;
    if (rest.rfind("sz:", 0) == 0) {
      size_t q = 3;
      if (!Unescape(rest, q, value.text)) continue;
      value.type = SettingType::kString;
    } else if (rest.rfind("dword:", 0) == 0 || rest.rfind("qword:", 0) == 0) {
      const bool dword = rest[0] == 'd';
      char* endPtr = nullptr;
      const std::string digits = rest.substr(6);
      value.number = std::strtoull(digits.c_str(), &endPtr, 10);
      if (digits.empty() || *endPtr != '\0') continue;
      if (dword) value.number &= 0xFFFFFFFFu;
      value.type = dword ? SettingType::kDword : SettingType::kQword;
    } else if (rest.rfind("hex:", 0) == 0) {
      if (!ParseHex(rest.substr(4), value.text)) continue;
      value.type = SettingType::kBinary;
    } else {
      continue;
    }
    current->values.emplace_back(name, value);
  }
  return hive;
}

Key* FindKey(HiveData& hive, const std::string& path) {
  for (Key& key : hive.keys) {
    if (EqualsIgnoreCase(key.path, path)) return &key;
  }
  return nullptr;
}

bool IsBelow(const std::string& candidate, const std::string& parent) {
  return candidate.size() > parent.size() + 1 && candidate[parent.size()] == '\\' &&
         EqualsIgnoreCase(std::string_view(candidate).substr(0, parent.size()), parent);
}

Key& EnsureKey(HiveData& hive, const std::string& path) {
  size_t pos = 0;
  Key* key = nullptr;
  do {
    pos = path.find('\\', pos + 1);
    const std::string prefix = path.substr(0, pos);
    key = FindKey(hive, prefix);
    if (!key) {
      hive.keys.push_back(Key{prefix, {}});
      key = &hive.keys.back();
    }
  } while (pos != std::string::npos);
  return *key;
}

std::string DefaultUserRoot() {
  if (const char* env = ::getenv("LAUNCHER_USER_SETTINGS"); env && *env) return env;
  if (const char* xdg = ::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return JoinPath(xdg, "launcher-settings");
  const char* home = ::getenv("HOME");
  return JoinPath(JoinPath(home && *home ? home : "/tmp", ".config"), "launcher-settings");
}

std::string DefaultMachineRoot() {
  if (const char* env = ::getenv("LAUNCHER_MACHINE_SETTINGS"); env && *env) return env;
  return "/var/lib/launcher-settings";
}

// Holds the hive's lock file locked for the object's life.
class HiveLock {
 public:
  HiveLock(const std::string& hivePath, bool exclusive) {
    const std::string folder = ParentPath(hivePath);
    if (exclusive) CreateDirectories(folder);
    m_fd = ::open((hivePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    // A reader without write access to the machine hive's folder (an
    // ordinary user reading what the assistant wrote) still takes the
    // shared lock through a read-only descriptor.
    if (m_fd < 0 && !exclusive) m_fd = ::open((hivePath + ".lock").c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd >= 0 && ::flock(m_fd, exclusive ? LOCK_EX : LOCK_SH) != 0) {
      ::close(m_fd);
      m_fd = -1;
    }
  }
  ~HiveLock() {
    if (m_fd >= 0) ::close(m_fd);
  }
  bool held() const { return m_fd >= 0; }

 private:
  int m_fd = -1;
};

HiveData LoadHive(Hive which) {
  const std::string path = SettingsStore::HivePath(which);
  std::string text;
  if (!FileExists(path)) return HiveData{};
  HiveLock lock(path, false);
  ReadWholeFile(path, text);
  return Parse(text);
}

// Runs `change` on the hive under the exclusive lock; writes back when it
// returns true. The result is `change`'s, and false when the write failed.
bool ModifyHive(Hive which, const std::function<bool(HiveData&)>& change) {
  const std::string path = SettingsStore::HivePath(which);
  HiveLock lock(path, true);
  if (!lock.held()) return false;
  std::string text;
  ReadWholeFile(path, text);
  HiveData hive = Parse(text);
  if (!change(hive)) return false;
  return WriteFileAtomic(path, Serialise(hive));
}

}  // namespace

void SettingsStore::SetRoots(const std::string& userRoot, const std::string& machineRoot) {
  std::lock_guard<std::mutex> lock(g_rootsMutex);
  g_userRoot = userRoot;
  g_machineRoot = machineRoot;
}

std::string SettingsStore::HivePath(Hive hive) {
  std::string root;
  {
    std::lock_guard<std::mutex> lock(g_rootsMutex);
    root = hive == Hive::kCurrentUser ? g_userRoot : g_machineRoot;
  }
  if (root.empty()) root = hive == Hive::kCurrentUser ? DefaultUserRoot() : DefaultMachineRoot();
  return JoinPath(root, hive == Hive::kCurrentUser ? "user.hive" : "machine.hive");
}

bool SettingsStore::KeyExists(Hive hive, const std::string& key) {
  HiveData data = LoadHive(hive);
  return FindKey(data, NormaliseKey(key)) != nullptr;
}

bool SettingsStore::CreateKey(Hive hive, const std::string& key) {
  const std::string path = NormaliseKey(key);
  if (path.empty()) return false;
  // An existing key needs no write (nor the right to write the hive).
  if (KeyExists(hive, key)) return true;
  return ModifyHive(hive, [&](HiveData& data) {
    if (FindKey(data, path)) return true;
    EnsureKey(data, path);
    return true;
  });
}

bool SettingsStore::DeleteKey(Hive hive, const std::string& key) {
  const std::string path = NormaliseKey(key);
  if (path.empty()) return false;
  return ModifyHive(hive, [&](HiveData& data) {
    const size_t before = data.keys.size();
    std::erase_if(data.keys, [&](const Key& k) { return EqualsIgnoreCase(k.path, path) || IsBelow(k.path, path); });
    return data.keys.size() != before;
  });
}

std::vector<std::string> SettingsStore::SubKeys(Hive hive, const std::string& key) {
  const std::string path = NormaliseKey(key);
  HiveData data = LoadHive(hive);
  std::vector<std::string> names;
  for (const Key& k : data.keys) {
    if (!IsBelow(k.path, path)) continue;
    const std::string rest = k.path.substr(path.size() + 1);
    if (rest.find('\\') == std::string::npos) names.push_back(rest);
  }
  return names;
}

std::vector<std::string> SettingsStore::ValueNames(Hive hive, const std::string& key) {
  HiveData data = LoadHive(hive);
  std::vector<std::string> names;
  if (const Key* k = FindKey(data, NormaliseKey(key))) {
    for (const auto& entry : k->values) names.push_back(entry.first);
  }
  return names;
}

std::optional<SettingValue> SettingsStore::GetValue(Hive hive, const std::string& key, const std::string& name) {
  HiveData data = LoadHive(hive);
  const Key* k = FindKey(data, NormaliseKey(key));
  if (!k) return std::nullopt;
  for (const auto& [valueName, value] : k->values) {
    if (EqualsIgnoreCase(valueName, name)) return value;
  }
  return std::nullopt;
}

std::optional<std::string> SettingsStore::GetString(Hive hive, const std::string& key, const std::string& name) {
  const auto value = GetValue(hive, key, name);
  if (!value || value->type != SettingType::kString) return std::nullopt;
  return value->text;
}

std::optional<uint32_t> SettingsStore::GetDword(Hive hive, const std::string& key, const std::string& name) {
  const auto value = GetValue(hive, key, name);
  if (!value || value->type != SettingType::kDword) return std::nullopt;
  return static_cast<uint32_t>(value->number);
}

bool SettingsStore::SetValue(Hive hive, const std::string& key, const std::string& name, const SettingValue& value) {
  const std::string path = NormaliseKey(key);
  if (path.empty()) return false;
  return ModifyHive(hive, [&](HiveData& data) {
    Key& k = EnsureKey(data, path);
    for (auto& entry : k.values) {
      if (EqualsIgnoreCase(entry.first, name)) {
        entry.second = value;
        return true;
      }
    }
    k.values.emplace_back(name, value);
    return true;
  });
}

bool SettingsStore::SetString(Hive hive, const std::string& key, const std::string& name, const std::string& text) {
  SettingValue value;
  value.type = SettingType::kString;
  value.text = text;
  return SetValue(hive, key, name, value);
}

bool SettingsStore::SetDword(Hive hive, const std::string& key, const std::string& name, uint32_t number) {
  SettingValue value;
  value.type = SettingType::kDword;
  value.number = number;
  return SetValue(hive, key, name, value);
}

bool SettingsStore::DeleteValue(Hive hive, const std::string& key, const std::string& name) {
  const std::string path = NormaliseKey(key);
  return ModifyHive(hive, [&](HiveData& data) {
    Key* k = FindKey(data, path);
    if (!k) return false;
    const size_t before = k->values.size();
    std::erase_if(k->values, [&](const auto& entry) { return EqualsIgnoreCase(entry.first, name); });
    return k->values.size() != before;
  });
}

}  // namespace platform
