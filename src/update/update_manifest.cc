#include "update/update_manifest.h"

#include <tinyxml2.h>

#include <cstring>

#include "base/log_impl.h"
#include "base/xml_path_query.h"
#include "base/xml_readers.h"
#include "platform/file_system.h"
#include "platform/folder_tree.h"
#include "update/archive_helper_rar.h"
#include "update/client_path.h"
#include "base/simple_mem_read_stream.h"
#include "update/zip_file.h"

namespace {

constexpr char kManifestMember[] = "update.xml";

bool Stopped(const ManifestContext& context) { return context.stop && context.stop->load(); }

const char* Attr(const tinyxml2::XMLElement* element, const char* name) {
  const char* value = element->Attribute(name);
  return value ? value : "";
}

void LogSkipped(const ManifestContext& context, const char* path) {
  if (context.log) context.log->WriteText(std::string("manifest: unsafe path skipped: ") + path);
}

// FILE elements from `first` and all sibling elements after it.
void ReadFiles(const tinyxml2::XMLElement* first, const ManifestPackage& package, ManifestFileMap& map,
               const ManifestContext& context) {
  for (const tinyxml2::XMLElement* file = first; file; file = file->NextSiblingElement()) {
    if (Stopped(context)) return;
    const char* path = file->Attribute("file");
    if (!path) continue;
    std::string sanitized;
    if (!client_path::Sanitize(path, sanitized)) {
      LogSkipped(context, path);
      continue;
    }
    ManifestFile& entry = map[client_path::LowerKey(sanitized)];
    entry.package = package.file;
    entry.crc = ParseManifestCrc(file->Attribute("crc"));
    entry.size = ParseManifestSize(file->Attribute("size"));
    entry.type = package.type;
  }
}

// The INFO child whose lang is the current language, or null.
const tinyxml2::XMLElement* MatchingInfo(const tinyxml2::XMLElement* pack, const std::string& language) {
  for (const tinyxml2::XMLElement* info = pack->FirstChildElement("INFO"); info;
       info = info->NextSiblingElement("INFO")) {
    const char* lang = info->Attribute("lang");
    if (lang && language == lang) return info;
  }
  return nullptr;
}

std::string InfoText(const tinyxml2::XMLElement* info, const char* path) {
  std::string text;
  XmlQueryText(info, path, text);
  return text;
}

std::string WithLineBreaks(const std::string& help) {
  std::string out;
  for (size_t i = 0; i < help.size(); ++i) {
    if (help[i] == '\\' && i + 1 < help.size() && help[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else {
      out += help[i];
    }
  }
  return out;
}

void ReadIgnore(const tinyxml2::XMLElement* root, UpdateManifest& model, const ManifestContext& context) {
  const tinyxml2::XMLElement* ignore = root->FirstChildElement("IGNORE");
  if (!ignore) return;
  for (const tinyxml2::XMLElement* file = ignore->FirstChildElement("FILE"); file;
       file = file->NextSiblingElement("FILE")) {
    if (Stopped(context)) return;
    const char* value = file->Attribute("file");
    if (!value || !*value) continue;
    if (value[0] == '*' && value[1] == '\\') {
      model.ignoredNames.insert(client_path::LowerKey(value + 2));
    } else {
      std::string sanitized;
      if (client_path::Sanitize(value, sanitized)) model.ignoredPaths.insert(client_path::LowerKey(sanitized));
    }
  }
}

void ReadRootAttributes(const tinyxml2::XMLElement* root, UpdateManifest& model) {
  const char* modification = root->Attribute("modification");
  model.hasModification = modification != nullptr;
  model.modification = modification ? modification : "";
  model.clientVersion = Attr(root, "clientVersion");
  LauncherInfo& info = model.launcher;
  info = LauncherInfo();
  const char* version = root->Attribute("launcherVersion");
  const char* size = root->Attribute("launcherSize");
  int32_t sizeValue = 0;
  info.present = version && size && ReadAttrInt(root, "launcherSize", sizeValue);
  if (version) info.version = version;
  info.size = sizeValue;
  const char* crc = root->Attribute("launcherCRC");
  info.crcGiven = crc && *crc;
  info.crc = info.crcGiven ? ParseManifestCrc(crc) : 0;
  info.url = Attr(root, "launcherUrl");
}

bool ParseDocument(const std::string& text, tinyxml2::XMLDocument& document) {
  if (text.empty()) return false;
  return document.Parse(text.data(), text.size()) == tinyxml2::XML_SUCCESS && document.RootElement();
}

}  // namespace

int32_t ParsePackType(const char* type) {
  if (!type) return ptUnknown;
  static const struct {
    const char* name;
    int32_t value;
  } kTypes[] = {{"full", ptFull}, {"ext", ptExt}, {"int", ptInt}, {"add", ptAdd}, {"increment", ptIncrement}};
  for (const auto& known : kTypes)
    if (std::strcmp(type, known.name) == 0) return known.value;
  return ptUnknown;
}

uint64_t ParseManifestSize(const char* text) {
  if (!text || !*text) return 0;
  uint64_t value = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return 0;
    const uint64_t digit = static_cast<uint64_t>(*p - '0');
    if (value > (UINT64_MAX - digit) / 10) return 0;
    value = value * 10 + digit;
  }
  return value;
}

uint32_t ParseManifestCrc(const char* text) {
  const uint64_t value = ParseManifestSize(text);
  return value > UINT32_MAX ? 0 : static_cast<uint32_t>(value);
}

bool UpdateManifest::Build(const std::string& text, const ManifestContext& context) {
  *this = UpdateManifest();
  tinyxml2::XMLDocument document;
  if (!ParseDocument(text, document)) return false;
  const tinyxml2::XMLElement* root = document.RootElement();
  ReadRootAttributes(root, *this);

  for (const tinyxml2::XMLElement* pack = root->FirstChildElement("PACK"); pack;
       pack = pack->NextSiblingElement("PACK")) {
    if (Stopped(context)) return true;
    ManifestPackage package;
    package.type = ParsePackType(pack->Attribute("type"));
    const char* platform = pack->Attribute("platform");
    package.platform = platform && std::strcmp(platform, "32") == 0   ? 1
                       : platform && std::strcmp(platform, "64") == 0 ? 2
                                                                       : 0;
    package.file = Attr(pack, "file");
    package.crc = ParseManifestCrc(pack->Attribute("crc"));
    package.size = ParseManifestSize(pack->Attribute("size"));
    if (package.platform != 0 && package.platform != context.platformWord) continue;
    const std::string key = client_path::LowerKey(package.file);
    packages[key] = package;

    const tinyxml2::XMLElement* firstFile = pack->FirstChildElement("FILE");
    switch (package.type) {
      case ptIncrement: {
        ManifestIncrement increment;
        increment.file = package.file;
        increment.size = package.size;
        ReadFiles(firstFile, package, increment.files, context);
        increments.push_back(std::move(increment));
        continue;
      }
      case ptExt:
      case ptInt:
        if (const tinyxml2::XMLElement* info = MatchingInfo(pack, context.language)) {
          if (package.type == ptExt) {
            OptionalApplication app;
            app.package = package.file;
            app.name = InfoText(info, "NAME/text()");
            app.exec = InfoText(info, "EXEC/text()");
            app.commandLine = InfoText(info, "CMDL/text()");
            app.help = WithLineBreaks(InfoText(info, "HELP/text()"));
            bool selected = true;
            if (ReadAttrBool(info, "sel", selected)) app.selected = selected;
            optionalApps.push_back(std::move(app));
          } else {
            internalApps.push_back(InternalApplication{package.file, InfoText(info, "NAME/text()"),
                                                       InfoText(info, "EXEC/text()")});
          }
        }
        break;
      case ptAdd:
        if (!context.addedPackages.count(key)) continue;
        ReadFiles(firstFile, package, files, context);
        continue;
      default:
        break;
    }
    if ((package.type == ptFull || package.type == ptExt || package.type == ptInt) && !context.taskMode)
      ReadFiles(firstFile, package, files, context);
  }
  ReadIgnore(root, *this, context);
  return true;
}

bool UpdateManifest::ReadLauncherInfo(const std::string& text) {
  tinyxml2::XMLDocument document;
  if (!ParseDocument(text, document)) return false;
  ReadRootAttributes(document.RootElement(), *this);
  return launcher.present;
}

bool ReadManifestArchive(const std::string& answer, std::string& text) {
  text.clear();
  if (answer.size() >= 4 && answer.compare(0, 4, "Rar!") == 0) {
    CArchiveHelperRar& rar = CArchiveHelperRar::Instance();
    if (!rar.Open(reinterpret_cast<const uint8_t*>(answer.data()), answer.size())) return false;
    const bool found = rar.Find(kManifestMember, text);
    rar.Close();
    if (!found) text.clear();
    return found;
  }
  CSimpleMemReadStream stream(answer.data(), answer.size());
  CZipFile zip;
  if (zip.Open(&stream) != CZipFile::kOk) return false;
  const int index = zip.FindEntry(kManifestMember);
  if (index < 0 || zip.Extract(index, text) != CZipFile::kOk) {
    text.clear();
    return false;
  }
  return true;
}

bool SaveManifestCopy(const std::string& clientFolder, const std::string& text) {
  if (!platform::IsOwnableFolder(clientFolder) || text.empty()) return false;
  return platform::WriteFileAtomic(platform::JoinPath(clientFolder, kManifestMember), text);
}

std::string LoadManifestCopy(const std::string& clientFolder) {
  std::string text;
  if (!platform::ReadWholeFile(platform::JoinPath(clientFolder, kManifestMember), text)) text.clear();
  return text;
}
