// Paths of the client folder as manifests and archives name them: relative,
// "\" separated, compared ignoring case. The file system is case-sensitive,
// so a relative path is resolved one component at a time against what is on
// disk, and the spelling found there is reused: "data\file.bin" finds
// "Data/File.bin" and never creates a second copy beside it.
//
// Names that could reach outside the client folder are refused: absolute
// names, a root ("\x"), a drive or any other ":" ("C:\x"), a ".." segment.
// Symbolic links inside the client folder are never followed.
//
// The free functions are pure. ClientPathResolver caches folder listings; it
// belongs to one thread (the checker's or the unpacker's) and blocks on the
// file system. Failures are results.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace client_path {

// Turns "/" into "\", collapses repeated "\", drops "." segments and a
// trailing "\". False (and `out` empty) for an empty result, a leading "\"
// or "/", a ":", a NUL or a ".." segment. `isFolder` tells whether the name
// ended in a separator.
bool Sanitize(std::string_view raw, std::string& out, bool* isFolder = nullptr);
// Lower case as the manifest keys use it: ASCII, Latin-1, Latin
// Extended-A, Greek and Cyrillic letters; other text unchanged.
std::string LowerKey(std::string_view text);
// "\" to "/".
std::string ToNative(std::string_view relative);

}  // namespace client_path

class ClientPathResolver {
 public:
  enum class Status {
    kOk,       // fullPath set; `exists` tells whether the last component is on disk
    kRefused,  // the name is not a safe relative name
    kLink,     // a component on disk is a symbolic link (or not a folder where one is needed)
  };

  explicit ClientPathResolver(std::string clientFolder);

  const std::string& ClientFolder() const { return m_root; }

  // Resolves a manifest or archive name (sanitised here). `fullPath` is the
  // native path in the client folder with the spelling found on disk;
  // components not on disk keep the given spelling.
  Status Resolve(std::string_view relative, std::string& fullPath, bool* exists = nullptr);
  // As Resolve for a folder, creating every missing component. False with
  // the system error code when a folder cannot be created; kLink and
  // kRefused give false with `error` 0.
  bool CreateFolders(std::string_view relative, std::string& fullPath, int& error);
  // Records that `fullPath` (a direct child of a folder already resolved)
  // now exists, so later lookups use its spelling.
  void NoteCreated(const std::string& fullPath, bool isDirectory);
  // Forgets every cached listing.
  void Reset() { m_dirs.clear(); }

 private:
  struct Entry {
    std::string name;
    bool isDirectory = false;
    bool isLink = false;
  };
  struct Listing {
    bool present = false;
    std::unordered_map<std::string, std::vector<Entry>> byKey;  // LowerKey(name) -> entries
  };

  Listing& ListingOf(const std::string& folder);
  static const Entry* Match(const Listing& listing, const std::string& component);
  Status Walk(const std::string& sanitized, bool create, std::string& fullPath, bool* exists, int* error);

  std::string m_root;
  std::unordered_map<std::string, Listing> m_dirs;
};
