#include "install/folder_operations.h"

#include <vector>

#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/folder_tree.h"
#include "platform/text_encoding.h"

namespace {

constexpr char kTestFileName[] = "$test.bat";

std::string WithoutTrailingSlash(const std::string& path) {
  if (path.size() > 1 && path.back() == '/') return path.substr(0, path.size() - 1);
  return path;
}

}  // namespace

bool IsPlainFileName(const std::string& name) {
  if (name.empty() || name.size() > 255 || name == "." || !platform::IsValidUtf8(name)) return false;
  if (name.find("..") != std::string::npos) return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
  }
  return true;
}

bool CreateDirectoryTree(const std::string& folder) {
  const std::string path = WithoutTrailingSlash(folder);
  if (path.empty()) return false;
  // Leading slashes stay with the first component.
  size_t pos = path.find_first_not_of('/');
  while (pos != std::string::npos) {
    const size_t slash = path.find('/', pos);
    const std::string component = path.substr(0, slash);
    if (!platform::IsDirectoryFollowingLinks(component)) {
      if (platform::PathExists(component)) return false;
      if (!platform::MakeDirectory(component) && !platform::IsDirectoryFollowingLinks(component)) return false;
    }
    pos = slash == std::string::npos ? slash : path.find_first_not_of('/', slash);
  }
  return platform::IsDirectoryFollowingLinks(path);
}

bool IsFolderWritable(const std::string& folder) {
  if (!platform::IsDirectoryFollowingLinks(folder)) return false;
  const std::string testFile = platform::JoinPath(folder, kTestFileName);
  platform::OutputFile file;
  if (!file.Open(testFile, platform::OutputFile::Mode::kTruncate)) return false;
  file.Close();
  platform::RemoveFile(testFile);
  return true;
}

bool CopyFileContents(const std::string& source, const std::string& target, int* systemError) {
  std::string bytes;
  if (!platform::ReadWholeFile(source, bytes)) {
    if (systemError) *systemError = platform::LastSystemError();
    return false;
  }
  return platform::ReplaceFile(target, bytes, platform::IsExecutableFile(source), systemError);
}

bool DeleteFolderTree(const std::string& folder) {
  if (!platform::IsOwnableFolder(folder)) return false;
  return platform::RemoveTree(WithoutTrailingSlash(folder));
}

uint64_t CountEntriesBelow(const std::string& folder) {
  std::vector<platform::DirectoryEntry> entries;
  if (!platform::ListDirectory(folder, entries)) return 0;
  uint64_t count = entries.size();
  for (const platform::DirectoryEntry& entry : entries) {
    if (entry.isDirectory && !entry.isSymlink) count += CountEntriesBelow(platform::JoinPath(folder, entry.name));
  }
  return count;
}
