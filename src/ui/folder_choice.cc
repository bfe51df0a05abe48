#include "ui/folder_choice.h"

#include <algorithm>

#include "platform/file_system.h"

namespace ui {

void CleanFolderPath(std::string& path) {
  path.erase(std::remove(path.begin(), path.end(), '"'), path.end());
  std::string cleaned;
  cleaned.reserve(path.size());
  for (char c : path) {
    if (c == '/' && !cleaned.empty() && cleaned.back() == '/') continue;
    cleaned += c;
  }
  path = std::move(cleaned);
}

bool NearestExistingFolder(std::string& path) {
  CleanFolderPath(path);
  if (path.empty() || path.front() != '/') return false;
  while (path.size() > 1) {
    path.erase(path.find_last_of('/'));
    if (path.empty()) path = "/";
    if (platform::DirectoryExists(path)) return true;
  }
  return platform::DirectoryExists(path);
}

std::string ProposedFolder(const std::string& selected, const std::string& currentFolder,
                           const std::string& productFolder) {
  std::string shown = selected;
  if (shown.size() > 1 && shown.back() == '/') shown.pop_back();
  if (productFolder.empty() || selected == currentFolder) return shown;
  if (shown != "/") shown += '/';
  return shown + productFolder;
}

std::string FolderFromEditText(std::string text) {
  const size_t first = text.find_first_not_of(" \t");
  text = first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(" \t") + 1 - first);
  CleanFolderPath(text);
  if (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

}  // namespace ui
