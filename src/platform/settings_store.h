// The settings store that stands in for the registry. Two hives: the
// user's (HKEY_CURRENT_USER) and the machine's (HKEY_LOCAL_MACHINE). Keys are
// backslash paths ("Software\\Vendor\\Product"); key paths and value names
// compare ignoring ASCII case, and keep the spelling they were created with.
//
// Each hive is one readable text file. Every change re-reads the hive under
// an exclusive lock, applies itself, writes a temporary file and renames it
// over the hive, so two processes never lose each other's writes and a
// crash leaves the old or the new hive, never a torn one.
//
// The roots: the user hive lives in $XDG_CONFIG_HOME (else ~/.config) under
// "launcher-settings", or in $LAUNCHER_USER_SETTINGS; the machine hive in
// /var/lib/launcher-settings or in $LAUNCHER_MACHINE_SETTINGS. Tests may set
// both roots with SetRoots.
//
// All calls block briefly on the file lock; none throws. Any thread may call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class Hive { kCurrentUser, kLocalMachine };

enum class SettingType { kString, kDword, kQword, kBinary };

struct SettingValue {
  SettingType type = SettingType::kString;
  std::string text;      // kString: UTF-8 text; kBinary: raw bytes
  uint64_t number = 0;   // kDword, kQword
};

class SettingsStore {
 public:
  // Overrides the folders of both hives (empty: back to the defaults).
  static void SetRoots(const std::string& userRoot, const std::string& machineRoot);
  static std::string HivePath(Hive hive);

  static bool KeyExists(Hive hive, const std::string& key);
  // Creates the key and its parents; true when it exists afterwards.
  static bool CreateKey(Hive hive, const std::string& key);
  // Deletes the key with its values and all keys below it.
  static bool DeleteKey(Hive hive, const std::string& key);
  // Names of the direct sub-keys, in creation order.
  static std::vector<std::string> SubKeys(Hive hive, const std::string& key);
  static std::vector<std::string> ValueNames(Hive hive, const std::string& key);

  static std::optional<SettingValue> GetValue(Hive hive, const std::string& key, const std::string& name);
  // Typed reads: nothing when missing or of another type.
  static std::optional<std::string> GetString(Hive hive, const std::string& key, const std::string& name);
  static std::optional<uint32_t> GetDword(Hive hive, const std::string& key, const std::string& name);

  // Writes create the key when missing.
  static bool SetValue(Hive hive, const std::string& key, const std::string& name, const SettingValue& value);
  static bool SetString(Hive hive, const std::string& key, const std::string& name, const std::string& text);
  static bool SetDword(Hive hive, const std::string& key, const std::string& name, uint32_t number);
  static bool DeleteValue(Hive hive, const std::string& key, const std::string& name);
};

}  // namespace platform
