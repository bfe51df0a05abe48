#include "app/migrations.h"

#include "app/long_name_run.h"
#include "base/log_impl.h"
#include "base/xml_path_query.h"
#include "install/folder_operations.h"
#include "install/install_directory_list.h"
#include "platform/file_system.h"
#include "platform/text_encoding.h"

namespace {

bool IsFolderName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == '/' || c == '\\') return false;
  }
  return true;
}

std::string Text(const tinyxml2::XMLElement* element, const char* path) {
  const tinyxml2::XMLElement* found = XmlPathFind(element, path);
  const char* text = found ? found->GetText() : nullptr;
  return text ? std::string(text) : std::string();
}

std::string PreferencesFile(const std::string& launcherFolder, const std::string& shortName) {
  return platform::JoinPath(platform::JoinPath(platform::JoinPath(launcherFolder, shortName), "preferences"),
                            "prefs.cs");
}

}  // namespace

bool LoadMigrations(const tinyxml2::XMLElement* root, std::vector<MigrationEntry>& migrations) {
  migrations.clear();
  const tinyxml2::XMLElement* list = root ? XmlPathFind(root, "common/migrations") : nullptr;
  if (!list) return false;
  for (const tinyxml2::XMLElement* element = list->FirstChildElement("migration"); element;
       element = element->NextSiblingElement()) {
    MigrationEntry entry;
    entry.shortName = Text(element, "shortName");
    entry.fullName = Text(element, "fullName");
    entry.regPath = Text(element, "regPath");
    entry.iconName = Text(element, "iconName");
    if (entry.shortName.empty() || entry.fullName.empty() || entry.regPath.empty()) continue;
    migrations.push_back(std::move(entry));
  }
  return !migrations.empty();
}

void MovePreferences(const std::string& launcherFolder, const std::string& newShortName, const MigrationEntry& entry) {
  if (!IsFolderName(newShortName) || !IsFolderName(entry.shortName)) return;
  const std::string source = PreferencesFile(launcherFolder, entry.shortName);
  const std::string target = PreferencesFile(launcherFolder, newShortName);
  if (source == target || !platform::FileExists(source)) return;
  if (!CreateDirectoryTree(platform::ParentPath(target))) return;
  if (platform::PathExists(target) && !platform::RemoveFile(target)) return;
  if (CopyFileContents(source, target)) platform::RemoveFile(source);
}

bool Migrate(const std::string& launcherPath, const std::string& shortName, const std::string& fullName,
             const std::vector<MigrationEntry>& migrations) {
  const std::string folder = platform::ParentPath(launcherPath);
  if (folder.empty()) return false;
  if (platform::FileExists(platform::JoinPath(folder, "guest.dat"))) {
    for (const MigrationEntry& entry : migrations) MovePreferences(folder, shortName, entry);
    return false;
  }
  const std::string normalised = NormalisePath(folder);
  for (const MigrationEntry& entry : migrations) {
    InstallDirectoryList installs(entry.regPath);
    if (installs.Find(normalised) < 0) continue;
    MovePreferences(folder, shortName, entry);
    LongNameRunArguments arguments;
    arguments.currentFolder = folder;
    arguments.newFolder = platform::JoinPath(platform::ParentPath(folder), fullName);
    arguments.oldShortName = entry.shortName;
    arguments.oldLongName = entry.fullName;
    arguments.oldRegPath = entry.regPath;
    arguments.oldIconName = entry.iconName;
    arguments.id = 0;
    return StartLongNameRun(arguments, launcherPath);
  }
  return false;
}
