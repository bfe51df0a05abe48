#include "update/update_manifest.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "base/log_impl.h"
#include "base/xml_path_query.h"
#include "base/xml_readers.h"
#include "platform/file_system.h"
#include "platform/folder_tree.h"
#include "update/archive_helper_rar.h"
#include "update/client_path.h"
#include "update/manifest_file_runs.h"
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

// The slices of FILE elements cut out of the manifest's text, each parsed
// when it is read; Rest() checks those no package read.
class FileSlices {
 public:
  explicit FileSlices(std::vector<std::string_view> slices)
      : m_slices(std::move(slices)), m_read(m_slices.size(), false) {}

  bool IsSlice(const tinyxml2::XMLElement* element) const {
    return !m_slices.empty() && std::strcmp(element->Name(), kFileRunElement) == 0;
  }
  // Parses the slice a placeholder names into `part`; false when it is not
  // well-formed.
  bool Parse(const tinyxml2::XMLElement* placeholder, tinyxml2::XMLDocument& part) {
    const unsigned index = placeholder->UnsignedAttribute("slice", static_cast<unsigned>(m_slices.size()));
    if (index >= m_slices.size()) return false;
    m_read[index] = true;
    return Parse(m_slices[index], part);
  }
  bool Rest() {
    for (size_t i = 0; i < m_slices.size(); ++i) {
      tinyxml2::XMLDocument part;
      if (!m_read[i] && !Parse(m_slices[i], part)) return false;
    }
    return true;
  }

 private:
  static bool Parse(std::string_view slice, tinyxml2::XMLDocument& part) {
    std::string wrapped;
    wrapped.reserve(slice.size() + 7);
    wrapped.append("<S>").append(slice).append("</S>");
    return part.Parse(wrapped.data(), wrapped.size()) == tinyxml2::XML_SUCCESS && part.RootElement();
  }

  std::vector<std::string_view> m_slices;
  std::vector<bool> m_read;
};

void ReadFile(const tinyxml2::XMLElement* file, const ManifestPackage& package, ManifestFileMap& map,
              const ManifestContext& context) {
  const char* path = file->Attribute("file");
  if (!path) return;
  std::string sanitized;
  if (!client_path::Sanitize(path, sanitized)) {
    LogSkipped(context, path);
    return;
  }
  ManifestFile entry;
  entry.package = package.file;
  entry.crc = ParseManifestCrc(file->Attribute("crc"));
  entry.size = ParseManifestSize(file->Attribute("size"));
  entry.type = package.type;
  map.Set(client_path::LowerKey(sanitized), entry);
}

// The first FILE element of a PACK (or the placeholder of the first slice).
const tinyxml2::XMLElement* FirstFile(const tinyxml2::XMLElement* pack, const FileSlices& slices) {
  for (const tinyxml2::XMLElement* child = pack->FirstChildElement(); child; child = child->NextSiblingElement())
    if (std::strcmp(child->Name(), "FILE") == 0 || slices.IsSlice(child)) return child;
  return nullptr;
}

// FILE elements from `first` and all sibling elements after it; false when
// a slice of them is not well-formed.
bool ReadFiles(const tinyxml2::XMLElement* first, const ManifestPackage& package, ManifestFileMap& map,
               const ManifestContext& context, FileSlices& slices) {
  for (const tinyxml2::XMLElement* file = first; file; file = file->NextSiblingElement()) {
    if (Stopped(context)) return true;
    if (!slices.IsSlice(file)) {
      ReadFile(file, package, map, context);
      continue;
    }
    tinyxml2::XMLDocument part;
    if (!slices.Parse(file, part)) return false;
    for (const tinyxml2::XMLElement* sliced = part.RootElement()->FirstChildElement(); sliced;
         sliced = sliced->NextSiblingElement()) {
      if (Stopped(context)) return true;
      ReadFile(sliced, package, map, context);
    }
  }
  return true;
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

uint32_t ManifestFileMap::Intern(std::string_view text) {
  const uint32_t offset = static_cast<uint32_t>(m_names.size());
  m_names.insert(m_names.end(), text.begin(), text.end());
  return offset;
}

void ManifestFileMap::Set(std::string_view key, const ManifestFile& file) {
  const size_t slash = key.rfind('\\');
  const std::string_view folder = slash == std::string_view::npos ? std::string_view() : key.substr(0, slash);
  const std::string_view name = slash == std::string_view::npos ? key : key.substr(slash + 1);
  auto known = m_folderIds.find(folder);
  if (known == m_folderIds.end()) {
    m_folders.push_back(Folder{Intern(folder), static_cast<uint32_t>(folder.size())});
    known = m_folderIds.emplace(std::string(folder), static_cast<uint32_t>(m_folders.size() - 1)).first;
  }
  uint32_t package = 0;
  while (package < m_packages.size() && m_packages[package] != file.package) ++package;
  if (package == m_packages.size()) m_packages.push_back(file.package);
  Record record{};
  record.size = file.size;
  record.folder = known->second;
  record.nameOffset = Intern(name);
  record.nameLength = static_cast<uint32_t>(name.size());
  record.crc = file.crc;
  record.package = package;
  record.type = static_cast<int8_t>(file.type);
  m_records.push_back(record);
  m_sealed = false;
}

void ManifestFileMap::Seal() {
  m_folderIds.clear();
  if (m_sealed) return;
  m_sealed = true;
  // Ordered by path; of records with the same path the last one set stays.
  std::stable_sort(m_records.begin(), m_records.end(),
                   [this](const Record& a, const Record& b) { return Compare(a, b) < 0; });
  size_t kept = 0;
  for (size_t i = 0; i < m_records.size(); ++i) {
    if (i + 1 < m_records.size() && Compare(m_records[i], m_records[i + 1]) == 0) continue;
    m_records[kept++] = m_records[i];
  }
  m_records.resize(kept);
  m_records.shrink_to_fit();
  m_names.shrink_to_fit();
  m_folders.shrink_to_fit();
}

std::string_view ManifestFileMap::FolderOf(const Record& record) const {
  const Folder& folder = m_folders[record.folder];
  return std::string_view(m_names.data() + folder.offset, folder.length);
}

std::string_view ManifestFileMap::NameOf(const Record& record) const {
  return std::string_view(m_names.data() + record.nameOffset, record.nameLength);
}

namespace {

// A path as its pieces: folder, "\" (not after an empty folder), name.
struct KeyPieces {
  KeyPieces(std::string_view folder, std::string_view name) : parts{folder, folder.empty() ? "" : "\\", name} {}
  std::string_view parts[3];
};

// Orders the concatenations of two paths' pieces, piece by piece.
int CompareKeys(std::string_view folderA, std::string_view nameA, std::string_view folderB, std::string_view nameB) {
  if (folderA == folderB) return nameA.compare(nameB);
  const KeyPieces a(folderA, nameA), b(folderB, nameB);
  int pa = 0, pb = 0;
  size_t ia = 0, ib = 0;
  for (;;) {
    while (pa < 3 && ia == a.parts[pa].size()) ++pa, ia = 0;
    while (pb < 3 && ib == b.parts[pb].size()) ++pb, ib = 0;
    if (pa == 3 || pb == 3) return pa == 3 ? (pb == 3 ? 0 : -1) : 1;
    const size_t run = std::min(a.parts[pa].size() - ia, b.parts[pb].size() - ib);
    const int order = a.parts[pa].substr(ia, run).compare(b.parts[pb].substr(ib, run));
    if (order != 0) return order;
    ia += run;
    ib += run;
  }
}

}  // namespace

int ManifestFileMap::Compare(const Record& record, std::string_view folder, std::string_view name) const {
  return CompareKeys(FolderOf(record), NameOf(record), folder, name);
}

int ManifestFileMap::Compare(const Record& a, const Record& b) const {
  if (a.folder == b.folder) return NameOf(a).compare(NameOf(b));
  return CompareKeys(FolderOf(a), NameOf(a), FolderOf(b), NameOf(b));
}

size_t ManifestFileMap::Find(std::string_view key) const {
  // Any split of the key compares alike: the whole key as the name.
  const auto found = std::lower_bound(m_records.begin(), m_records.end(), key, [this](const Record& record,
                                                                                     std::string_view wanted) {
    return Compare(record, std::string_view(), wanted) < 0;
  });
  if (found == m_records.end() || Compare(*found, std::string_view(), key) != 0) return m_records.size();
  return static_cast<size_t>(found - m_records.begin());
}

ManifestFileMap::value_type ManifestFileMap::ValueAt(size_t index) const {
  const Record& record = m_records[index];
  const std::string_view folder = FolderOf(record);
  std::string key;
  key.reserve(folder.size() + 1 + record.nameLength);
  key.append(folder);
  if (!folder.empty()) key += '\\';
  key.append(NameOf(record));
  ManifestFile file;
  file.package = m_packages[record.package];
  file.crc = record.crc;
  file.size = record.size;
  file.type = record.type;
  return value_type(std::move(key), std::move(file));
}

ManifestFile ManifestFileMap::at(std::string_view key) const {
  const size_t index = Find(key);
  if (index >= m_records.size()) throw std::out_of_range("ManifestFileMap::at");
  return ValueAt(index).second;
}

size_t ManifestFileMap::MemoryUsed() const {
  size_t bytes = m_records.capacity() * sizeof(Record) + m_folders.capacity() * sizeof(Folder) + m_names.capacity();
  for (const std::string& package : m_packages) bytes += sizeof package + package.capacity();
  return bytes;
}

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
  // The FILE lists are parsed a slice at a time: the document tree of a
  // manifest of many files would take several times the text's size.
  std::string skeleton;
  std::vector<std::string_view> cut;
  const bool split = SplitFileRuns(text, skeleton, cut);
  FileSlices slices(split ? std::move(cut) : std::vector<std::string_view>());
  tinyxml2::XMLDocument document;
  if (!ParseDocument(split ? skeleton : text, document)) return false;
  const tinyxml2::XMLElement* root = document.RootElement();
  bool wellFormed = true;
  ReadRootAttributes(root, *this);

  for (const tinyxml2::XMLElement* pack = root->FirstChildElement("PACK"); pack;
       pack = pack->NextSiblingElement("PACK")) {
    if (Stopped(context)) break;
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

    const tinyxml2::XMLElement* firstFile = FirstFile(pack, slices);
    switch (package.type) {
      case ptIncrement: {
        ManifestIncrement increment;
        increment.file = package.file;
        increment.size = package.size;
        wellFormed = wellFormed && ReadFiles(firstFile, package, increment.files, context, slices);
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
        wellFormed = wellFormed && ReadFiles(firstFile, package, files, context, slices);
        continue;
      default:
        break;
    }
    if ((package.type == ptFull || package.type == ptExt || package.type == ptInt) && !context.taskMode)
      wellFormed = wellFormed && ReadFiles(firstFile, package, files, context, slices);
  }
  if (!wellFormed || (!Stopped(context) && !slices.Rest())) {
    *this = UpdateManifest();
    return false;
  }
  files.Seal();
  for (ManifestIncrement& increment : increments) increment.files.Seal();
  if (Stopped(context)) return true;
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
    rar.SetMaxEntrySize(CZipFile::kDefaultMaxExtractSize);
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
