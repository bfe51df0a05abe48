#include "servers/url_selector.h"

#include <algorithm>

#include "base/xml_readers.h"
#include "platform/file_system.h"
#include "servers/cud_cipher.h"

namespace {

constexpr size_t kMaxLocationListLength = 255;
constexpr size_t kMaxDumpTitleLength = 255;
constexpr std::string_view kPlainTextStart = "<Client";
constexpr size_t kMinCipherLength = 8;

std::string AsciiUpper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool ParseDocument(std::string_view text, tinyxml2::XMLDocument& doc) {
  if (text.empty()) return false;
  return doc.Parse(text.data(), text.size()) == tinyxml2::XML_SUCCESS;
}

void AppendUrlList(tinyxml2::XMLElement* parent, const char* name, const std::vector<std::string>& urls) {
  if (urls.empty()) return;
  tinyxml2::XMLElement* list = parent->InsertNewChildElement(name);
  for (const std::string& url : urls) list->InsertNewChildElement("URL")->SetText(url.c_str());
}

}  // namespace

std::string CudFilePath(const std::string& clientFolder) {
  if (clientFolder.empty()) return kCudFileName;
  return platform::JoinPath(clientFolder, kCudFileName);
}

void CUrlSelector::Log(const std::string& text, bool lineEnd) const {
  if (m_log) m_log(text, lineEnd);
}

bool CUrlSelector::Initialize(const tinyxml2::XMLElement* predefined, const std::vector<std::string>& serverUrls,
                              const std::string& filePath, bool debugMode) {
  Log("", true);
  Log("Initializing CUD... ", false);
  m_debugDump = debugMode;

  if (predefined != nullptr) {
    if (!ParseFace(predefined, m_face, false, false)) {
      Log("failed to parse predefined CUD", true);
      return false;
    }
    ParseReplaceRules(predefined, m_runtime.replaceRules);
  }
  if (!serverUrls.empty()) {
    m_face.loginURLs.clear();
    for (const std::string& url : serverUrls) {
      if (!url.empty()) m_face.loginURLs.push_back(url);
    }
  }
  if (m_face.loginURLs.empty()) {
    Log("list of predefined server URLs is empty", true);
    return false;
  }
  Log("OK", true);

  if (!filePath.empty()) {
    m_filePath = filePath;
    CudFace loaded;
    if (LoadFile(m_filePath, &loaded, &m_runtime)) {
      if (!m_runtime.replaceRules.empty()) {
        Log("Replacing URLs in loaded CUD file... ", false);
        const int replaced = ApplyReplaceRules(loaded, m_runtime.replaceRules);
        Log(std::to_string(replaced) + " URLs replaced/removed", true);
      }
      Log("Updating inner CUD by loaded CUD file... ", false);
      Log(MergeFace(m_face, loaded) ? "URLs updated" : "no new URLs", true);
    }
  }

  if (m_debugDump) DumpDocument("initial CUD data");
  m_modified = true;
  m_initialized = true;
  return true;
}

std::string CUrlSelector::FileText(const std::string& bytes) const {
  if (bytes.size() < kMinCipherLength || std::string_view(bytes).starts_with(kPlainTextStart)) return bytes;
  std::string plain;
  if (DecryptData(bytes, plain)) return plain;
  return bytes;
}

bool CUrlSelector::LoadFile(const std::string& path, CudFace* face, CudRuntimeData* runtime) {
  Log("Loading CUD file... ", false);
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes)) {
    Log("cannot open CUD file", true);
    return false;
  }
  tinyxml2::XMLDocument doc;
  if (!ParseDocument(FileText(bytes), doc)) {
    Log("failed to parse CUD file", true);
    return false;
  }
  const tinyxml2::XMLElement* root = doc.RootElement();
  if (face != nullptr && !ParseFace(root, *face, true, false)) {
    Log("failed to parse CUD file", true);
    return false;
  }
  if (runtime != nullptr && root != nullptr) {
    if (const tinyxml2::XMLElement* location = root->FirstChildElement("Location")) {
      ReadAttrString(location, "country", runtime->country);
      ReadAttrString(location, "city", runtime->city);
    }
    ReadText(root->FirstChildElement("SelectedURL"), runtime->selectedURL);
    ReadText(root->FirstChildElement("LastKnownGoodURL"), runtime->lastKnownGoodURL);
  }
  Log("OK", true);
  return true;
}

bool CUrlSelector::ParseFace(const tinyxml2::XMLElement* root, CudFace& face, bool matchId, bool byLocation) const {
  if (root == nullptr) return false;
  const tinyxml2::XMLElement* firstFace = root->FirstChildElement("Face");
  if (firstFace == nullptr) return false;
  ReadAttrBool(firstFace, "askLoginURL", face.askLoginURL);

  const tinyxml2::XMLElement* chosen = nullptr;
  std::string id;
  if (matchId) {
    if (m_face.faceId.empty()) return false;
    // Every element from the first Face on takes part, whatever its name, and
    // must carry an id.
    for (const tinyxml2::XMLElement* e = firstFace; e != nullptr; e = e->NextSiblingElement()) {
      if (!ReadAttrString(e, "id", id)) return false;
      if (id == m_face.faceId) {
        chosen = e;
        break;
      }
    }
    if (chosen == nullptr) return false;
  } else {
    if (!ReadAttrString(firstFace, "id", id)) return false;
    chosen = firstFace;
  }
  face.faceId = id;

  const tinyxml2::XMLElement* login = chosen->FirstChildElement("LoginURLs");
  if (byLocation) {
    const std::string countryKey = AsciiUpper(m_runtime.country);
    const std::string cityKey = AsciiUpper(m_runtime.city);
    // Only LoginURLs elements are candidates: a following DataUpdateURLs
    // (which has no location) must not stand in for the server list.
    for (; login != nullptr; login = login->NextSiblingElement("LoginURLs")) {
      std::set<std::string> countries;
      std::set<std::string> cities;
      const char* value = nullptr;
      if (GetAttrPointer(login, "country", value) && !SplitLocationList(value, countries)) continue;
      if (!countries.empty() && countries.count(countryKey) == 0) continue;
      if (GetAttrPointer(login, "city", value) && !SplitLocationList(value, cities)) continue;
      if (cities.empty() || cities.count(cityKey) != 0) break;
    }
  }
  ReadUrlList(login, face.loginURLs);
  ReadUrlList(chosen->FirstChildElement("DataUpdateURLs"), face.dataUpdateURLs);
  return true;
}

void CUrlSelector::ReadUrlList(const tinyxml2::XMLElement* element, std::vector<std::string>& list) {
  list.clear();
  if (element == nullptr) return;
  for (const tinyxml2::XMLElement* e = element->FirstChildElement("URL"); e != nullptr; e = e->NextSiblingElement()) {
    std::string url;
    if (ReadText(e, url) && !url.empty()) list.push_back(std::move(url));
  }
}

bool CUrlSelector::SplitLocationList(std::string_view value, std::set<std::string>& set) {
  if (value.size() > kMaxLocationListLength) return false;
  const std::string upper = AsciiUpper(value);
  std::string_view rest = upper;
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    const std::string_view piece = TrimBlanks(rest.substr(0, comma));
    if (!piece.empty()) set.emplace(piece);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return true;
}

void CUrlSelector::ParseReplaceRules(const tinyxml2::XMLElement* element, std::vector<UrlReplaceRule>& rules) {
  rules.clear();
  if (element == nullptr) return;
  const tinyxml2::XMLElement* list = element->FirstChildElement("ReplaceURLs");
  if (list == nullptr) return;
  for (const tinyxml2::XMLElement* e = list->FirstChildElement("Replace"); e != nullptr; e = e->NextSiblingElement()) {
    UrlReplaceRule rule;
    if (!ReadAttrString(e, "from", rule.from) || rule.from.empty()) continue;
    ReadAttrString(e, "to", rule.to);
    if (rule.from == rule.to) continue;
    rules.push_back(std::move(rule));
  }
}

int CUrlSelector::ApplyReplaceRules(CudFace& face, const std::vector<UrlReplaceRule>& rules) {
  int count = 0;
  for (std::vector<std::string>* list : {&face.loginURLs, &face.dataUpdateURLs}) {
    for (const UrlReplaceRule& rule : rules) {
      const auto found = std::find(list->begin(), list->end(), rule.from);
      if (found == list->end()) continue;
      ++count;
      if (rule.to.empty() || std::find(list->begin(), list->end(), rule.to) != list->end()) {
        list->erase(found);
      } else {
        *found = rule.to;
      }
    }
  }
  return count;
}

bool CUrlSelector::MergeFace(CudFace& current, const CudFace& other) {
  if (current.faceId != other.faceId) return false;
  if (other.askLoginURL) current.askLoginURL = true;
  bool changed = false;
  if (!other.loginURLs.empty() && other.loginURLs != current.loginURLs) {
    current.loginURLs = other.loginURLs;
    changed = true;
  }
  if (!other.dataUpdateURLs.empty() && other.dataUpdateURLs != current.dataUpdateURLs) {
    current.dataUpdateURLs = other.dataUpdateURLs;
    changed = true;
  }
  return changed;
}

bool CUrlSelector::OnIncomingData(std::string_view text) {
  if (!m_initialized) return false;
  Log("CUD data received", true);
  if (m_debugDump) {
    Log("\n--- incoming CUD data ---", true);
    Log("", true);
    Log(std::string(text), true);
    Log("\n--- end CUD data ---\n", true);
  }
  Log("Updating CUD by incoming data... ", false);

  // The text ends at its first NUL, as a C string would.
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  tinyxml2::XMLDocument doc;
  CudFace incoming;
  if (!ParseDocument(text, doc) || !ParseFace(doc.RootElement(), incoming, true, true)) {
    Log("\nFailed to parse CUD file", true);
    return false;
  }
  const bool changed = MergeFace(m_face, incoming);
  Log(changed ? "OK" : "no new URLs", true);
  if (changed) {
    m_modified = true;
    if (m_debugDump) DumpDocument("current CUD data");
  }
  return changed;
}

bool CUrlSelector::Save(bool merge) {
  if (!m_initialized || m_filePath.empty()) return false;
  Log("Saving CUD file... ", false);
  if (!m_modified) {
    Log("not modified", true);
    return false;
  }

  if (merge) {
    Log("need to merge RTD", true);
    CudRuntimeData stored;
    if (LoadFile(m_filePath, nullptr, &stored)) {
      Log("Updating RTD... ", false);
      bool updated = false;
      auto take = [&updated](std::string& current, const std::string& fromFile) {
        if (!fromFile.empty() && fromFile != current) {
          current = fromFile;
          updated = true;
        }
      };
      take(m_runtime.lastKnownGoodURL, stored.lastKnownGoodURL);
      take(m_runtime.country, stored.country);
      take(m_runtime.city, stored.city);
      Log(updated ? "RTD updated" : "no new RTD", true);
    }
  }

  const std::optional<std::string> text = PrintDocument(m_face, m_runtime);
  if (!text) {
    Log("CUD not initialized properly", true);
    return false;
  }
  std::string data;
  if (m_debugDump || !EncryptData(*text, data)) data = *text;

  if (!platform::WriteFileAtomic(m_filePath, data)) {
    Log("cannot open CUD file for writing", true);
    return false;
  }
  m_modified = false;
  Log("OK", true);
  return true;
}

std::optional<std::string> CUrlSelector::PrintDocument(const CudFace& face, const CudRuntimeData& runtime) const {
  if (face.faceId.empty()) return std::nullopt;
  tinyxml2::XMLDocument doc;
  tinyxml2::XMLElement* root = doc.NewElement("ClientUpdateData");
  doc.InsertEndChild(root);

  tinyxml2::XMLElement* faceElement = root->InsertNewChildElement("Face");
  faceElement->SetAttribute("id", face.faceId.c_str());
  if (face.askLoginURL) faceElement->SetAttribute("askLoginURL", "true");
  AppendUrlList(faceElement, "LoginURLs", face.loginURLs);
  AppendUrlList(faceElement, "DataUpdateURLs", face.dataUpdateURLs);

  tinyxml2::XMLElement* location = root->InsertNewChildElement("Location");
  location->SetAttribute("country", runtime.country.c_str());
  location->SetAttribute("city", runtime.city.c_str());
  if (!runtime.selectedURL.empty()) root->InsertNewChildElement("SelectedURL")->SetText(runtime.selectedURL.c_str());
  if (!runtime.lastKnownGoodURL.empty()) {
    root->InsertNewChildElement("LastKnownGoodURL")->SetText(runtime.lastKnownGoodURL.c_str());
  }

  tinyxml2::XMLPrinter printer;
  doc.Print(&printer);
  return std::string(printer.CStr(), static_cast<size_t>(printer.CStrSize() - 1));
}

void CUrlSelector::DumpDocument(const std::string& title) {
  std::string head = "\n--- " + title + " ---\n";
  if (head.size() > kMaxDumpTitleLength) head.resize(kMaxDumpTitleLength);
  Log(head, true);
  Log(PrintDocument(m_face, m_runtime).value_or(std::string()), true);
  Log("\n--- end CUD data ---\n", true);
}

bool CUrlSelector::EncryptData(std::string_view in, std::string& out) const {
  CudKey key;
  if (!m_keyText || m_debugDump || !ParseCudKey(*m_keyText, key)) return false;
  return CudEncrypt(key, in, out);
}

bool CUrlSelector::DecryptData(std::string_view in, std::string& out) const {
  CudKey key;
  if (!m_keyText || !ParseCudKey(*m_keyText, key)) return false;
  return CudDecrypt(key, in, out);
}
