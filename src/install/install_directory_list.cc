#include "install/install_directory_list.h"

#include <vector>

#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "platform/text_encoding.h"

using platform::Hive;
using platform::SettingsStore;

std::string NormalisePath(const std::string& folder) {
  std::string out;
  for (char c : folder) {
    if (c == '"') continue;
    if (c == '\\') c = '/';
    if (c == '/' && !out.empty() && out.back() == '/') continue;
    out += c;
  }
  return out;
}

std::string InstallDirectoryList::ValueName(int slot) {
  return slot == 0 ? "Directory" : "Directory" + std::to_string(slot);
}

void InstallDirectoryList::Load() {
  if (!SettingsStore::KeyExists(Hive::kLocalMachine, m_regPath)) return;
  if (!SettingsStore::KeyExists(Hive::kLocalMachine, InstallKey()) &&
      !SettingsStore::CreateKey(Hive::kLocalMachine, InstallKey())) {
    m_slots.fill(std::string());
    return;
  }
  for (int slot = 0; slot < kSlots; ++slot) {
    const auto value = SettingsStore::GetString(Hive::kLocalMachine, InstallKey(), ValueName(slot));
    // The stored limit of a slot: 2046 bytes with its terminator.
    if (value && value->size() <= 1022 * 2 && value->find('\0') == std::string::npos) {
      m_slots[static_cast<size_t>(slot)] = NormalisePath(*value);
    } else {
      m_slots[static_cast<size_t>(slot)].clear();
      SettingsStore::SetString(Hive::kLocalMachine, InstallKey(), ValueName(slot), std::string());
    }
  }
}

bool InstallDirectoryList::Save() {
  bool ok = SettingsStore::CreateKey(Hive::kLocalMachine, InstallKey());
  for (int slot = 0; slot < kSlots && ok; ++slot) {
    ok = SettingsStore::SetString(Hive::kLocalMachine, InstallKey(), ValueName(slot), m_slots[static_cast<size_t>(slot)]);
  }
  return ok;
}

int InstallDirectoryList::Find(const std::string& folder) {
  const std::string wanted = NormalisePath(folder);
  Load();
  for (int slot = 0; slot < kSlots; ++slot) {
    if (platform::EqualsIgnoreCase(m_slots[static_cast<size_t>(slot)], wanted)) return slot;
  }
  return -1;
}

std::string InstallDirectoryList::FirstRegistered() {
  Load();
  for (const std::string& slot : m_slots) {
    if (slot.size() > 3) return slot;
  }
  return std::string();
}

bool InstallDirectoryList::Remove(const std::string& folder) {
  const std::string wanted = NormalisePath(folder);
  Load();
  for (std::string& slot : m_slots) {
    if (platform::EqualsIgnoreCase(slot, wanted)) {
      slot.clear();
      Save();
      break;
    }
  }
  return Find(folder) == -1;
}

void InstallDirectoryList::Prune() {
  Load();
  for (std::string& slot : m_slots) {
    std::vector<platform::DirectoryEntry> entries;
    const bool listed = slot.size() >= 4 && platform::ListDirectory(slot, entries);
    if (!listed || entries.empty()) slot.clear();
  }
  Save();
}
