// Files and folders. Paths are native UTF-8 texts ("/" separators). Every
// call blocks and reports failure by its result; none throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct DirectoryEntry {
  std::string name;  // file name only
  bool isDirectory = false;
  bool isSymlink = false;  // a symbolic link is never reported as a folder
};

bool FileExists(const std::string& path);       // exists and is not a folder
bool DirectoryExists(const std::string& path);  // exists and is a folder (links not followed)
bool PathExists(const std::string& path);
// True when the file can be opened for reading now.
bool CanOpenForReading(const std::string& path);
std::optional<uint64_t> FileSize(const std::string& path);

// Whole file into `bytes`; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Writes `bytes` to a temporary file beside `path`, flushes it and renames
// it over `path`: readers see the old or the new file, never a mix.
bool WriteFileAtomic(const std::string& path, std::string_view bytes);

bool CreateDirectories(const std::string& path);
bool RemoveFile(const std::string& path);
// Removes an empty folder.
bool RemoveDirectory(const std::string& path);
// Moves a file or folder; fails when `to` exists (as moving without replace).
bool MovePath(const std::string& from, const std::string& to);
bool CopyFile(const std::string& from, const std::string& to, bool overwrite);

// Entries of a folder, "." and ".." left out, in no particular order.
// False when the folder cannot be read.
bool ListDirectory(const std::string& path, std::vector<DirectoryEntry>& entries);

// Read-only means no write permission for anyone.
bool IsReadOnly(const std::string& path);
bool SetReadOnly(const std::string& path, bool readOnly);

// Bytes free for an unprivileged user on the file system holding `path`.
std::optional<uint64_t> FreeDiskSpace(const std::string& path);

// Full path of the running executable.
std::string OwnExecutablePath();
std::string CurrentDirectory();
bool SetCurrentDirectory(const std::string& path);

// Path helpers on native paths.
std::string JoinPath(std::string_view folder, std::string_view name);
std::string ParentPath(std::string_view path);  // "" when there is none
std::string FileNameOf(std::string_view path);

}  // namespace platform
