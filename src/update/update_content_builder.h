// The publisher's side of an update: from a folder holding a client build it
// writes the content a static web server serves: the packages (ZIP, or RAR
// with stored members), "update.xml" listing every file with its CRC-32 and
// size, and "update.rxml" (an archive holding "update.xml"). From a second,
// older build it also writes an increment package holding the files that are
// new or changed. Optional (ext), internal (int), added (add) and further
// full packages take the files of a sub-folder each; their INFO texts, the
// ignored files and the launcher info go into the manifest.
//
// Used by tools/make_update and by tests. Blocks on the file system; errors
// come back as false with a text. Symbolic links in a build are left out;
// the launcher's state files and its "tmp" and "logs" folders are never
// packed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct UpdatePackageRule {
  std::string name;    // package file name, e.g. "tools.pkg"
  int32_t type = 0;    // ManifestPackType: full, ext, int or add
  std::string folder;  // sub-folder of the build ("\" or "/"), its files go here
  int32_t platform = 0;  // 0 any, 1 32-bit, 2 64-bit
};

struct UpdatePackageInfo {
  std::string package;
  std::string lang;
  std::string name;
  std::string exec;
  std::string commandLine;
  std::string help;
  int selected = -1;  // -1 not written, 0 or 1
};

struct UpdateContentOptions {
  std::string clientFolder;    // the new build
  std::string previousFolder;  // the older build: an increment is written when given
  std::string outputFolder;
  std::string fullPackage = "client.pkg";
  // Further full packages of at most this many bytes of files each
  // ("client.pkg", "client_2.pkg", ...); 0: one package.
  uint64_t splitSize = 0;
  std::vector<UpdatePackageRule> packages;
  std::vector<UpdatePackageInfo> infos;
  std::vector<std::string> ignore;  // FILE values of IGNORE ("*\name" or a relative path)
  std::string incrementName = "increment.pkg";
  bool rar = false;      // packages as RAR archives (stored) instead of ZIP
  bool rxmlRar = false;  // "update.rxml" as a RAR archive
  int level = 6;         // deflate level of ZIP packages; 0 stores
  std::string modification;
  std::string clientVersion;
  // Launcher info: the launcher file (copied to the output as
  // "Launcher.exe"), its URL, and a version that overrides the file's own.
  std::string launcherFile;
  std::string launcherUrl;
  std::string launcherVersion;
};

struct UpdateContentSummary {
  std::vector<std::string> packages;  // written package names
  uint64_t files = 0;
  uint64_t bytes = 0;  // of the client files
};

bool BuildUpdateContent(const UpdateContentOptions& options, UpdateContentSummary& summary, std::string& error);
