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

// Lower-cased relative path ("\" separators) -> entry.
using ManifestFileMap = std::map<std::string, ManifestFile>;

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
