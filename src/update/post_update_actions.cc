#include "update/post_update_actions.h"

#include <cstdlib>

#include "base/xml_path_query.h"
#include "base/xml_readers.h"
#include "platform/file_system.h"
#include "platform/folder_tree.h"
#include "platform/text_encoding.h"
#include "update/changes_file.h"
#include "update/client_path.h"

namespace {

std::string Attribute(const tinyxml2::XMLElement* element, const char* name) {
  std::string value;
  ReadAttrString(element, name, value);
  return value;
}

uint32_t IdOf(const tinyxml2::XMLElement* element) {
  int32_t id = 0;
  ReadAttrInt(element, "id", id);
  return static_cast<uint32_t>(id);
}

// One folder name that stays where it is joined: no separator, no "." or
// "..", no control character.
bool IsFolderName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == '/' || c == '\\') return false;
  }
  return true;
}

bool ReadLongName(const tinyxml2::XMLElement* element, LongNameAction& action) {
  action.id = IdOf(element);
  action.verStart = Attribute(element, "verStart");
  action.verEnd = Attribute(element, "verEnd");
  action.oldLongName = Attribute(element, "oldlongname");
  action.newLongName = Attribute(element, "newlongname");
  action.oldShortName = Attribute(element, "oldshortname");
  action.newShortName = Attribute(element, "newshortname");
  action.oldIconName = Attribute(element, "oldiconname");
  action.oldRegPath = Attribute(element, "oldregpath");
  action.applyToPortable = true;
  ReadAttrBool(element, "apply_to_portable", action.applyToPortable);
  if (action.oldLongName.empty() || action.newLongName.empty() || action.oldShortName.empty() ||
      action.newShortName.empty())
    return false;
  // Without a new registry path the short name cannot change.
  if (action.oldRegPath.empty() && action.oldShortName != action.newShortName) return false;
  return true;
}

// Position of `needle` in `text` ignoring ASCII case, or npos.
size_t FindIgnoringCase(const std::string& text, const std::string& needle) {
  if (needle.empty() || needle.size() > text.size()) return std::string::npos;
  for (size_t at = 0; at + needle.size() <= text.size(); ++at) {
    if (platform::EqualsIgnoreCase(std::string_view(text).substr(at, needle.size()), needle)) return at;
  }
  return std::string::npos;
}

void ApplyRename(const RenameAction& action, const std::string& clientFolder, const ListedPath& listed) {
  std::string source;
  bool isFolder = false;
  if (!client_path::Sanitize(action.name, source, &isFolder)) return;
  ClientPathResolver resolver(clientFolder);
  std::string sourcePath;
  bool sourceExists = false;
  if (resolver.Resolve(source, sourcePath, &sourceExists) != ClientPathResolver::Status::kOk || !sourceExists) return;
  std::string target;
  if (!action.toname.empty() && !client_path::Sanitize(action.toname, target)) return;

  if (isFolder) {
    if (!platform::DirectoryExists(sourcePath)) return;
    if (target.empty()) {
      platform::RemoveTree(sourcePath);
      return;
    }
    std::string targetPath;
    bool targetExists = false;
    if (resolver.Resolve(target, targetPath, &targetExists) != ClientPathResolver::Status::kOk || targetExists) return;
    const size_t slash = target.rfind('\\');
    std::string parent;
    int error = 0;
    if (slash != std::string::npos && !resolver.CreateFolders(target.substr(0, slash), parent, error)) return;
    platform::MovePath(sourcePath, targetPath);
    return;
  }

  if (!platform::FileExists(sourcePath)) return;
  if (target.empty()) {
    platform::RemoveFile(sourcePath);
    return;
  }
  if (client_path::LowerKey(source) == client_path::LowerKey(target)) return;
  const size_t slash = target.rfind('\\');
  std::string parent;
  int error = 0;
  if (slash != std::string::npos && !resolver.CreateFolders(target.substr(0, slash), parent, error)) return;
  std::string targetPath;
  bool targetExists = false;
  if (resolver.Resolve(target, targetPath, &targetExists) != ClientPathResolver::Status::kOk) return;
  if (targetExists) {
    // Only a file of the game itself may be replaced.
    if (!platform::FileExists(targetPath) || !listed || !listed(client_path::LowerKey(target))) return;
    platform::SetReadOnly(targetPath, false);
    platform::RemoveFile(targetPath);
  }
  if (platform::CopyFile(sourcePath, targetPath, false)) platform::RemoveFile(sourcePath);
}

}  // namespace

bool ReadPostUpdateActions(const tinyxml2::XMLElement* root, PostUpdateActions& actions) {
  actions = PostUpdateActions();
  const tinyxml2::XMLElement* list = root ? XmlPathFind(root, "common/ACTIONS") : nullptr;
  if (list == nullptr) return false;
  if (const tinyxml2::XMLElement* element = list->FirstChildElement("SETLONGNAME")) {
    LongNameAction action;
    if (ReadLongName(element, action)) actions.longName = action;
  }
  for (const tinyxml2::XMLElement* element = list->FirstChildElement("RENAME"); element;
       element = element->NextSiblingElement("RENAME")) {
    RenameAction action;
    action.id = IdOf(element);
    action.verStart = Attribute(element, "verStart");
    action.verEnd = Attribute(element, "verEnd");
    action.name = Attribute(element, "name");
    action.toname = Attribute(element, "toname");
    actions.renames.push_back(action);
  }
  return true;
}

std::optional<LongNameRunArguments> PlanLongNameAction(const LongNameAction& action, ChangesFile& changes,
                                                       const std::string& clientFolder, bool portable,
                                                       bool installMode) {
  changes.Load();
  if (installMode) {
    changes.MarkApplied(action.id);
    return std::nullopt;
  }
  if (!changes.IsApplicable(action.id, action.verStart, action.verEnd)) return std::nullopt;
  std::string folder = clientFolder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  const std::string parent = platform::ParentPath(folder);
  const std::string name = platform::FileNameOf(folder);
  if (parent.empty() || name.empty()) return std::nullopt;
  if (portable && !(action.applyToPortable && platform::EqualsIgnoreCase(name, action.oldLongName))) {
    changes.MarkApplied(action.id);
    return std::nullopt;
  }
  const size_t at = FindIgnoringCase(name, action.oldLongName);
  if (at == std::string::npos) return std::nullopt;
  const std::string newName = name.substr(0, at) + action.newLongName + name.substr(at + action.oldLongName.size());
  if (!IsFolderName(newName)) return std::nullopt;
  LongNameRunArguments arguments;
  arguments.currentFolder = folder;
  arguments.newFolder = platform::JoinPath(parent, newName);
  arguments.oldShortName = action.oldShortName;
  arguments.oldLongName = action.oldLongName;
  arguments.oldRegPath = action.oldRegPath;
  arguments.oldIconName = action.oldIconName;
  arguments.id = action.id;
  return arguments;
}

void ApplyRenameActions(const std::vector<RenameAction>& renames, ChangesFile& changes,
                        const std::string& clientFolder, const ListedPath& listed) {
  for (const RenameAction& action : renames) {
    if (action.name.empty()) continue;
    changes.Load();
    if (!changes.IsApplicable(action.id, action.verStart, action.verEnd)) continue;
    ApplyRename(action, clientFolder, listed);
    changes.MarkApplied(action.id);
  }
}

std::string LongNameRunArgument(const LongNameRunArguments& arguments) {
  auto quoted = [](const std::string& text) { return "\"" + text + "\""; };
  return quoted(arguments.currentFolder) + " " + quoted(arguments.newFolder) + " " + quoted(arguments.oldShortName) +
         " " + quoted(arguments.oldLongName) + " " + quoted(arguments.oldRegPath) + " " +
         quoted(arguments.oldIconName) + " " + std::to_string(arguments.id);
}

namespace {

// The k-th double-quoted value of `text` (k from 1): the text between its
// 2k-1st and 2k-th double quote; empty when missing.
std::string QuotedValue(const std::string& text, int k) {
  size_t at = 0;
  for (int i = 1; i < 2 * k - 1; ++i) {
    at = text.find('"', at);
    if (at == std::string::npos) return std::string();
    ++at;
  }
  const size_t open = text.find('"', at);
  if (open == std::string::npos) return std::string();
  const size_t close = text.find('"', open + 1);
  if (close == std::string::npos) return std::string();
  return text.substr(open + 1, close - open - 1);
}

}  // namespace

LongNameRunArguments ParseLongNameArgument(const std::string& argument) {
  LongNameRunArguments parsed;
  parsed.newFolder = QuotedValue(argument, 1);
  parsed.oldShortName = QuotedValue(argument, 2);
  parsed.oldLongName = QuotedValue(argument, 3);
  parsed.oldRegPath = QuotedValue(argument, 4);
  parsed.oldIconName = QuotedValue(argument, 5);
  const size_t blank = argument.rfind(' ');
  const std::string id = blank == std::string::npos ? std::string() : argument.substr(blank + 1);
  parsed.id = static_cast<uint32_t>(std::strtoul(id.c_str(), nullptr, 10));
  return parsed;
}
