#include "update/client_path.h"

#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/text_encoding.h"

namespace client_path {
namespace {

char16_t LowerChar(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  if (c < 0x80) return c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
      (c >= 0x410 && c <= 0x42F))
    return static_cast<char16_t>(c + 32);
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x138 && c != 0x149 && c != 0x178 && c != 0x17F) {
    // Latin Extended-A pairs capital and small letters in neighbours; the
    // stretch from 0x139 to 0x148 and from 0x179 on starts at odd code points.
    const bool oddCapitals = (c >= 0x139 && c <= 0x148) || c >= 0x179;
    if ((c % 2 == 1) == oddCapitals) return static_cast<char16_t>(c + 1);
  }
  return c;
}

}  // namespace

bool Sanitize(std::string_view raw, std::string& out, bool* isFolder) {
  out.clear();
  if (isFolder) *isFolder = false;
  if (raw.empty() || raw.front() == '\\' || raw.front() == '/') return false;
  std::string result;
  size_t start = 0;
  while (start <= raw.size()) {
    size_t end = start;
    while (end < raw.size() && raw[end] != '\\' && raw[end] != '/') ++end;
    const std::string_view segment = raw.substr(start, end - start);
    if (segment.find(':') != std::string_view::npos || segment.find('\0') != std::string_view::npos ||
        segment == "..")
      return false;
    if (!segment.empty() && segment != ".") {
      if (!result.empty()) result += '\\';
      result += segment;
    }
    if (end == raw.size()) break;
    start = end + 1;
  }
  if (result.empty()) return false;
  if (isFolder) *isFolder = raw.back() == '\\' || raw.back() == '/';
  out = std::move(result);
  return true;
}

std::string LowerKey(std::string_view text) {
  bool ascii = true;
  for (const char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    std::string lower(text);
    for (char& c : lower)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return lower;
  }
  std::u16string wide = platform::Utf8ToUtf16(text);
  for (char16_t& c : wide) c = LowerChar(c);
  return platform::Utf16ToUtf8(wide);
}

std::string ToNative(std::string_view relative) {
  std::string native(relative);
  for (char& c : native)
    if (c == '\\') c = '/';
  return native;
}

}  // namespace client_path

ClientPathResolver::ClientPathResolver(std::string clientFolder) : m_root(std::move(clientFolder)) {
  while (m_root.size() > 1 && m_root.back() == '/') m_root.pop_back();
}

ClientPathResolver::Listing& ClientPathResolver::ListingOf(const std::string& folder) {
  auto found = m_dirs.find(folder);
  if (found != m_dirs.end()) return found->second;
  Listing& listing = m_dirs[folder];
  std::vector<platform::DirectoryEntry> entries;
  if (platform::GetPathKind(folder) == platform::PathKind::kDirectory && platform::ListDirectoryEntries(folder, entries)) {
    listing.present = true;
    for (platform::DirectoryEntry& entry : entries) {
      listing.byKey[client_path::LowerKey(entry.name)].push_back(
          Entry{std::move(entry.name), entry.isDirectory, entry.isSymlink});
    }
  }
  return listing;
}

const ClientPathResolver::Entry* ClientPathResolver::Match(const Listing& listing, const std::string& component) {
  const auto found = listing.byKey.find(client_path::LowerKey(component));
  if (found == listing.byKey.end() || found->second.empty()) return nullptr;
  const Entry* best = &found->second.front();
  for (const Entry& entry : found->second) {
    if (entry.name == component) return &entry;
    if (entry.name < best->name) best = &entry;
  }
  return best;
}

ClientPathResolver::Status ClientPathResolver::Walk(const std::string& sanitized, bool create, std::string& fullPath,
                                                    bool* exists, int* error) {
  std::string current = m_root;
  bool onDisk = true;
  size_t start = 0;
  while (start < sanitized.size()) {
    size_t end = sanitized.find('\\', start);
    if (end == std::string::npos) end = sanitized.size();
    const std::string component = sanitized.substr(start, end - start);
    const bool last = end == sanitized.size();
    std::string next;
    if (onDisk) {
      Listing& listing = ListingOf(current);
      const Entry* entry = listing.present ? Match(listing, component) : nullptr;
      if (entry) {
        if (entry->isLink || ((!last || create) && !entry->isDirectory)) return Status::kLink;
        next = platform::JoinPath(current, entry->name);
      } else {
        onDisk = false;
        next = platform::JoinPath(current, component);
      }
    } else {
      next = platform::JoinPath(current, component);
    }
    if (create && !onDisk) {
      if (!platform::CreateDirectories(next) && platform::GetPathKind(next) != platform::PathKind::kDirectory) {
        if (error) *error = platform::LastSystemError();
        return Status::kLink;
      }
      NoteCreated(next, true);
      onDisk = true;
    }
    current = std::move(next);
    start = end + 1;
  }
  fullPath = std::move(current);
  if (exists) *exists = onDisk;
  return Status::kOk;
}

ClientPathResolver::Status ClientPathResolver::Resolve(std::string_view relative, std::string& fullPath, bool* exists) {
  std::string sanitized;
  if (!client_path::Sanitize(relative, sanitized)) return Status::kRefused;
  return Walk(sanitized, false, fullPath, exists, nullptr);
}

bool ClientPathResolver::CreateFolders(std::string_view relative, std::string& fullPath, int& error) {
  error = 0;
  std::string sanitized;
  if (!client_path::Sanitize(relative, sanitized)) return false;
  return Walk(sanitized, true, fullPath, nullptr, &error) == Status::kOk;
}

void ClientPathResolver::NoteCreated(const std::string& fullPath, bool isDirectory) {
  const std::string parent = platform::ParentPath(fullPath);
  auto found = m_dirs.find(parent);
  if (found == m_dirs.end()) return;
  const std::string name = platform::FileNameOf(fullPath);
  std::vector<Entry>& entries = found->second.byKey[client_path::LowerKey(name)];
  for (Entry& entry : entries) {
    if (entry.name == name) {
      entry.isDirectory = isDirectory;
      entry.isLink = false;
      return;
    }
  }
  found->second.present = true;
  entries.push_back(Entry{name, isDirectory, false});
}
