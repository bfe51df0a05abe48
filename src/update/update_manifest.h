// The update manifest: the server's description of a complete, current
// client installation ("update.xml", fetched inside "update.rxml").
//
// UpdateManifest is the model built from one manifest text: the packages of
// this platform, the file map (lower-cased relative paths with "\"), the
// increments with their own file maps, the optional (ext) and internal (int)
// applications in the current language, the ignored names and paths, and the
// launcher info of the root. Paths that could leave the client folder are
// logged and left out.
//
// Plain data; the functions are pure apart from the stored copy's file and
// the optional log. A model is built and read by one thread at a time (the
// checker builds it; the controller reads it after the checker reported).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CLogImplW;

enum ManifestPackType : int32_t {
  ptFull = 0,
  ptExt = 1,
  ptInt = 2,
  ptAdd = 3,
  ptIncrement = 4,
  ptUnknown = 5,
};

struct ManifestPackage {
  int32_t type = ptUnknown;
  int32_t platform = 0;  // 0 any, 1 32-bit, 2 64-bit
  std::string file;      // as the manifest writes it
  uint32_t crc = 0;
  uint64_t size = 0;
};

struct ManifestFile {
  std::string package;  // package file name as the manifest writes it
  uint32_t crc = 0;
  uint64_t size = 0;
  int32_t type = ptFull;  // of the package
};

// Lower-cased relative path ("\" separators) -> entry, ordered by path.
// Kept compact for manifests of any file count: each folder's path is
// stored once, each file is one fixed-size record (folder, name, package
// number, CRC, size) in a flat array and its name in one character arena;
// there is no heap node per file. Set() collects entries (a later one for
// the same path replaces the earlier); Seal() orders them, after which the
// map is read: count(), find(), at() and iteration give the path and a
// ManifestFile by value.
class ManifestFileMap {
 public:
  using value_type = std::pair<std::string, ManifestFile>;

  class const_iterator {
   public:
    struct Arrow {
      value_type value;
      const value_type* operator->() const { return &value; }
    };
    const_iterator() = default;
    const_iterator(const ManifestFileMap* map, size_t index) : m_map(map), m_index(index) {}
    value_type operator*() const { return m_map->ValueAt(m_index); }
    Arrow operator->() const { return Arrow{m_map->ValueAt(m_index)}; }
    const_iterator& operator++() {
      ++m_index;
      return *this;
    }
    bool operator==(const const_iterator& other) const { return m_index == other.m_index; }
    bool operator!=(const const_iterator& other) const { return m_index != other.m_index; }

   private:
    const ManifestFileMap* m_map = nullptr;
    size_t m_index = 0;
  };

  void Set(std::string_view key, const ManifestFile& file);
  void Seal();
  void clear() { *this = ManifestFileMap(); }

  size_t size() const { return m_records.size(); }
  bool empty() const { return m_records.empty(); }
  size_t count(std::string_view key) const { return Find(key) < m_records.size() ? 1 : 0; }
  const_iterator find(std::string_view key) const { return const_iterator(this, Find(key)); }
  // Throws std::out_of_range for a path that is not listed.
  ManifestFile at(std::string_view key) const;
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, m_records.size()); }

  // Entries by their position in path order (0 to size() - 1): the position
  // of a path (size() when it is not listed), and the path and entry there.
  size_t IndexOf(std::string_view key) const { return Find(key); }
  value_type EntryAt(size_t index) const { return ValueAt(index); }

  // Bytes held, for the benchmarks.
  size_t MemoryUsed() const;

 private:
  struct Record {
    uint64_t size;
    uint32_t folder;      // index into m_folders
    uint32_t nameOffset;  // into m_names
    uint32_t crc;
    uint32_t nameLength;
    uint32_t package;  // index into m_packages
    int8_t type;
  };
  struct Folder {
    uint32_t offset;  // into m_names; the folder's whole path
    uint32_t length;
  };

  std::string_view FolderOf(const Record& record) const;
  std::string_view NameOf(const Record& record) const;
  // Orders the path of `record` against folder + (folder empty ? "" : "\") + name.
  int Compare(const Record& record, std::string_view folder, std::string_view name) const;
  int Compare(const Record& a, const Record& b) const;
  size_t Find(std::string_view key) const;
  value_type ValueAt(size_t index) const;
  uint32_t Intern(std::string_view text);

  std::vector<Record> m_records;
  std::vector<Folder> m_folders;
  std::vector<char> m_names;
  std::vector<std::string> m_packages;
  // Only while entries are collected.
  std::map<std::string, uint32_t, std::less<>> m_folderIds;
  bool m_sealed = true;
};

struct ManifestIncrement {
  std::string file;
  uint64_t size = 0;
  ManifestFileMap files;
};

struct OptionalApplication {
  std::string package;
  std::string name;
  std::string exec;
  std::string commandLine;
  std::string help;  // "\n" pairs already turned into line breaks
  bool selected = true;
};

struct InternalApplication {
  std::string package;
  std::string name;
  std::string exec;
};

struct LauncherInfo {
  bool present = false;  // launcherVersion and launcherSize given
  std::string version;
  int64_t size = 0;
  uint32_t crc = 0;
  bool crcGiven = false;
  std::string url;
};

// What the model is built for.
struct ManifestContext {
  std::string language;                 // code of the current language ("en")
  int32_t platformWord = 1;             // 1 on a 32-bit, 2 on a 64-bit system
  bool taskMode = false;                // files of full/ext/int packages are left out
  std::set<std::string> addedPackages;  // lower-cased names of accepted add packages
  const std::atomic<bool>* stop = nullptr;  // ends the build early when set
  CLogImplW* log = nullptr;
};

class UpdateManifest {
 public:
  // Builds the model from `text`; false when the text is not well-formed
  // XML or has no root element. An early stop leaves a partial model and
  // returns true.
  bool Build(const std::string& text, const ManifestContext& context);
  // Reads only the launcher info of the root (false without launcherVersion
  // or launcherSize).
  bool ReadLauncherInfo(const std::string& text);

  std::string modification;
  std::string clientVersion;
  bool hasModification = false;
  std::map<std::string, ManifestPackage> packages;  // lower-cased file name -> package
  ManifestFileMap files;
  std::vector<ManifestIncrement> increments;
  std::vector<OptionalApplication> optionalApps;
  std::vector<InternalApplication> internalApps;
  std::set<std::string> ignoredNames;  // "*\" removed, lower-cased
  std::set<std::string> ignoredPaths;  // lower-cased
  LauncherInfo launcher;
};

// Type attribute to its value ("full" -> ptFull, anything else ptUnknown).
int32_t ParsePackType(const char* type);
// "%u" and integer attributes: decimal digits only; anything else gives 0.
uint32_t ParseManifestCrc(const char* text);
uint64_t ParseManifestSize(const char* text);

// The text of "update.xml" inside an "update.rxml" answer: a RAR archive
// when the answer starts with "Rar!", a ZIP archive otherwise. False when
// the archive cannot be read or holds no such member.
bool ReadManifestArchive(const std::string& answer, std::string& text);

// The stored copy "update.xml" of the client folder. Saving is skipped
// (false) for a folder path under 4 characters or an empty text; the file
// is replaced atomically. Loading gives an empty text when there is none.
bool SaveManifestCopy(const std::string& clientFolder, const std::string& text);
std::string LoadManifestCopy(const std::string& clientFolder);
