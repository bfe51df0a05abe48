#include "update/update_content_builder.h"

#include <tinyxml2.h>

#include <algorithm>
#include <map>

#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/file_version.h"
#include "update/client_path.h"
#include "update/client_state_files.h"
#include "update/file_crc.h"
#include "update/launcher_checksum.h"
#include "update/rar/rar_stored_writer.h"
#include "update/update_manifest.h"
#include "update/zip_writer.h"

namespace {

struct BuildFile {
  std::string relative;  // "\" separators, spelling of the build
  std::string path;      // native
  uint32_t crc = 0;
  uint64_t size = 0;
};

bool NeverPacked(const std::string& topLevelName) {
  return IsLauncherStateFile(topLevelName) || IsLauncherStateFolder(topLevelName);
}

bool Walk(const std::string& folder, const std::string& relative, std::vector<BuildFile>& files, std::string& error) {
  std::vector<platform::DirectoryEntry> entries;
  if (!platform::ListDirectory(folder, entries)) {
    error = "cannot list " + folder;
    return false;
  }
  std::sort(entries.begin(), entries.end(),
            [](const platform::DirectoryEntry& a, const platform::DirectoryEntry& b) { return a.name < b.name; });
  for (const platform::DirectoryEntry& entry : entries) {
    if (entry.isSymlink || (relative.empty() && NeverPacked(entry.name))) continue;
    const std::string rel = relative.empty() ? entry.name : relative + "\\" + entry.name;
    const std::string full = platform::JoinPath(folder, entry.name);
    if (entry.isDirectory) {
      if (!Walk(full, rel, files, error)) return false;
    } else {
      files.push_back(BuildFile{rel, full, 0, 0});
    }
  }
  return true;
}

bool ScanBuild(const std::string& folder, std::vector<BuildFile>& files, std::string& error) {
  files.clear();
  if (!Walk(folder, std::string(), files, error)) return false;
  std::vector<std::string> paths;
  for (const BuildFile& file : files) paths.push_back(file.path);
  const std::vector<FileCrcResult> sums = ComputeFileCrcs(paths, 2);
  for (size_t i = 0; i < files.size(); ++i) {
    if (!sums[i].ok) {
      error = "cannot read " + files[i].path;
      return false;
    }
    files[i].crc = sums[i].crc;
    files[i].size = sums[i].size;
  }
  return true;
}

// The rule whose folder holds `relative` (longest folder wins), or null.
const UpdatePackageRule* RuleFor(const std::vector<UpdatePackageRule>& rules, const std::string& relative) {
  const UpdatePackageRule* best = nullptr;
  size_t bestLength = 0;
  const std::string key = client_path::LowerKey(relative);
  for (const UpdatePackageRule& rule : rules) {
    std::string folder;
    if (!client_path::Sanitize(rule.folder, folder)) continue;
    folder = client_path::LowerKey(folder) + "\\";
    if (key.compare(0, folder.size(), folder) == 0 && folder.size() > bestLength) {
      best = &rule;
      bestLength = folder.size();
    }
  }
  return best;
}

struct Package {
  std::string name;
  int32_t type = 0;
  int32_t platform = 0;
  std::vector<const BuildFile*> files;
  uint32_t crc = 0;
  uint64_t size = 0;
};

bool WritePackage(const UpdateContentOptions& options, Package& package, std::string& error) {
  const std::string path = platform::JoinPath(options.outputFolder, package.name);
  if (options.rar) {
    rar::RarStoredWriter writer;
    for (const BuildFile* file : package.files) {
      std::string bytes;
      if (!platform::ReadWholeFile(file->path, bytes) || !writer.AddFile(file->relative, bytes)) {
        error = "cannot pack " + file->path;
        return false;
      }
    }
    if (!platform::WriteFileAtomic(path, writer.Finish())) {
      error = "cannot write " + path;
      return false;
    }
  } else {
    ZipWriter writer(options.level);
    bool ok = writer.Open(path);
    for (const BuildFile* file : package.files) ok = ok && writer.AddFileFromDisk(file->relative, file->path);
    if (!ok || !writer.Finish()) {
      error = path + ": " + writer.Error();
      return false;
    }
  }
  std::vector<uint8_t> buffer;
  const FileCrcResult sum = ComputeFileCrc(path, buffer);
  if (!sum.ok) {
    error = "cannot read " + path;
    return false;
  }
  package.crc = sum.crc;
  package.size = sum.size;
  return true;
}

const char* TypeName(int32_t type) {
  switch (type) {
    case ptExt:
      return "ext";
    case ptInt:
      return "int";
    case ptAdd:
      return "add";
    case ptIncrement:
      return "increment";
    default:
      return "full";
  }
}

void AddText(tinyxml2::XMLDocument& document, tinyxml2::XMLElement* parent, const char* name,
             const std::string& text) {
  if (text.empty()) return;
  tinyxml2::XMLElement* element = document.NewElement(name);
  element->SetText(text.c_str());
  parent->InsertEndChild(element);
}

std::string ManifestText(const UpdateContentOptions& options, const std::vector<Package>& packages,
                         const std::string& launcherVersion, uint64_t launcherSize, uint32_t launcherCrc) {
  tinyxml2::XMLDocument document;
  document.InsertEndChild(document.NewDeclaration());
  tinyxml2::XMLElement* root = document.NewElement("UPDATE");
  document.InsertEndChild(root);
  root->SetAttribute("modification", options.modification.c_str());
  root->SetAttribute("clientVersion", options.clientVersion.c_str());
  if (!options.launcherFile.empty()) {
    root->SetAttribute("launcherVersion", launcherVersion.c_str());
    root->SetAttribute("launcherSize", std::to_string(launcherSize).c_str());
    root->SetAttribute("launcherCRC", std::to_string(launcherCrc).c_str());
    root->SetAttribute("launcherUrl", options.launcherUrl.c_str());
  }
  for (const Package& package : packages) {
    tinyxml2::XMLElement* pack = document.NewElement("PACK");
    root->InsertEndChild(pack);
    pack->SetAttribute("type", TypeName(package.type));
    if (package.platform == 1 || package.platform == 2) pack->SetAttribute("platform", package.platform == 1 ? "32" : "64");
    pack->SetAttribute("file", package.name.c_str());
    pack->SetAttribute("crc", std::to_string(package.crc).c_str());
    pack->SetAttribute("size", std::to_string(package.size).c_str());
    for (const UpdatePackageInfo& info : options.infos) {
      if (info.package != package.name) continue;
      tinyxml2::XMLElement* element = document.NewElement("INFO");
      pack->InsertEndChild(element);
      element->SetAttribute("lang", info.lang.c_str());
      if (info.selected >= 0) element->SetAttribute("sel", info.selected ? "1" : "0");
      AddText(document, element, "NAME", info.name);
      AddText(document, element, "EXEC", info.exec);
      AddText(document, element, "CMDL", info.commandLine);
      AddText(document, element, "HELP", info.help);
    }
    for (const BuildFile* file : package.files) {
      tinyxml2::XMLElement* element = document.NewElement("FILE");
      pack->InsertEndChild(element);
      element->SetAttribute("file", file->relative.c_str());
      element->SetAttribute("crc", std::to_string(file->crc).c_str());
      element->SetAttribute("size", std::to_string(file->size).c_str());
    }
  }
  if (!options.ignore.empty()) {
    tinyxml2::XMLElement* ignore = document.NewElement("IGNORE");
    root->InsertEndChild(ignore);
    for (const std::string& value : options.ignore) {
      tinyxml2::XMLElement* element = document.NewElement("FILE");
      element->SetAttribute("file", value.c_str());
      ignore->InsertEndChild(element);
    }
  }
  tinyxml2::XMLPrinter printer;
  document.Print(&printer);
  return std::string(printer.CStr(), static_cast<size_t>(printer.CStrSize() > 0 ? printer.CStrSize() - 1 : 0));
}

}  // namespace

bool BuildUpdateContent(const UpdateContentOptions& options, UpdateContentSummary& summary, std::string& error) {
  summary = UpdateContentSummary();
  std::vector<BuildFile> files;
  if (!ScanBuild(options.clientFolder, files, error)) return false;
  if (!platform::CreateDirectories(options.outputFolder) && !platform::DirectoryExists(options.outputFolder)) {
    error = "cannot create " + options.outputFolder;
    return false;
  }

  // Files to packages: each rule's folder, the rest to the full package(s).
  std::vector<Package> packages;
  std::map<std::string, size_t> byName;
  const auto packageNamed = [&](const std::string& name, int32_t type, int32_t platform) -> Package& {
    const auto found = byName.find(name);
    if (found != byName.end()) return packages[found->second];
    byName[name] = packages.size();
    packages.push_back(Package{name, type, platform, {}, 0, 0});
    return packages.back();
  };
  packageNamed(options.fullPackage, ptFull, 0);
  for (const UpdatePackageRule& rule : options.packages) packageNamed(rule.name, rule.type, rule.platform);
  std::string fullName = options.fullPackage;
  uint64_t fullBytes = 0;
  int part = 1;
  for (const BuildFile& file : files) {
    summary.files += 1;
    summary.bytes += file.size;
    if (const UpdatePackageRule* rule = RuleFor(options.packages, file.relative)) {
      packages[byName[rule->name]].files.push_back(&file);
      continue;
    }
    if (options.splitSize > 0 && fullBytes > 0 && fullBytes + file.size > options.splitSize) {
      const size_t dot = options.fullPackage.rfind('.');
      const std::string stem = dot == std::string::npos ? options.fullPackage : options.fullPackage.substr(0, dot);
      const std::string extension = dot == std::string::npos ? std::string() : options.fullPackage.substr(dot);
      fullName = stem + "_" + std::to_string(++part) + extension;
      fullBytes = 0;
    }
    packageNamed(fullName, ptFull, 0).files.push_back(&file);
    fullBytes += file.size;
  }

  // The increment: files new or changed since the older build.
  std::vector<BuildFile> previous;
  if (!options.previousFolder.empty()) {
    if (!ScanBuild(options.previousFolder, previous, error)) return false;
    std::map<std::string, const BuildFile*> old;
    for (const BuildFile& file : previous) old[client_path::LowerKey(file.relative)] = &file;
    Package& increment = packageNamed(options.incrementName, ptIncrement, 0);
    for (const BuildFile& file : files) {
      const auto found = old.find(client_path::LowerKey(file.relative));
      if (found == old.end() || found->second->crc != file.crc || found->second->size != file.size)
        increment.files.push_back(&file);
    }
  }

  for (Package& package : packages) {
    if (package.files.empty() && package.type != ptIncrement) continue;
    if (!WritePackage(options, package, error)) return false;
    summary.packages.push_back(package.name);
  }
  packages.erase(std::remove_if(packages.begin(), packages.end(),
                                [](const Package& p) { return p.files.empty() && p.type != ptIncrement; }),
                 packages.end());

  std::string launcherVersion = options.launcherVersion;
  uint64_t launcherSize = 0;
  uint32_t launcherCrc = 0;
  if (!options.launcherFile.empty()) {
    const auto size = platform::FileSize(options.launcherFile);
    const LauncherChecksumResult sum = LauncherChecksumOfFile(options.launcherFile, 0);
    if (!size || sum.error != 0) {
      error = "cannot read " + options.launcherFile;
      return false;
    }
    launcherSize = *size;
    launcherCrc = sum.checksum;
    if (launcherVersion.empty()) {
      const auto version = platform::ReadFileVersion(options.launcherFile);
      if (!version) {
        error = options.launcherFile + " carries no file version; give one";
        return false;
      }
      launcherVersion = platform::FormatFileVersion(*version);
    }
    if (!platform::CopyFile(options.launcherFile, platform::JoinPath(options.outputFolder, "Launcher.exe"), true)) {
      error = "cannot copy " + options.launcherFile;
      return false;
    }
  }

  const std::string manifest = ManifestText(options, packages, launcherVersion, launcherSize, launcherCrc);
  std::string rxml;
  if (options.rxmlRar) {
    rar::RarStoredWriter writer;
    writer.AddFile("update.xml", manifest);
    rxml = writer.Finish();
  } else {
    rxml = ZipWriter::InMemory({{"update.xml", manifest}});
  }
  if (!platform::WriteFileAtomic(platform::JoinPath(options.outputFolder, "update.xml"), manifest) ||
      rxml.empty() || !platform::WriteFileAtomic(platform::JoinPath(options.outputFolder, "update.rxml"), rxml)) {
    error = "cannot write the manifest to " + options.outputFolder;
    return false;
  }
  return true;
}
