// The post-update actions of the launcher configuration ("common/ACTIONS"):
// the long-name change ("SETLONGNAME", the first one only) and file renames
// and deletions inside the client folder ("RENAME", in document order).
// Each can be limited to a range of recorded client versions and carries
// an id that "changes.dat" records, so that it runs once (ChangesFile).
//
// Every name stays inside the client folder: "RENAME" names are relative,
// resolved ignoring case without following a symbolic link, and an
// absolute name or a ".." segment is skipped; a rename never replaces a
// file the manifest does not list. The long name's new folder is a sibling
// of the client folder.
//
// Pure reading of the document; the actions block on the file system. One
// thread at a time. Failures of single file operations are not reported
// (the action counts as applied), as the format wants.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <tinyxml2.h>

class ChangesFile;

struct RenameAction {
  uint32_t id = 0;
  std::string verStart;
  std::string verEnd;
  std::string name;    // relative, "\" separated; a trailing "\" marks a folder
  std::string toname;  // empty: delete
};

struct LongNameAction {
  uint32_t id = 0;
  std::string verStart;
  std::string verEnd;
  std::string oldLongName;
  std::string newLongName;
  std::string oldShortName;
  std::string newShortName;
  std::string oldIconName;
  std::string oldRegPath;
  bool applyToPortable = true;
};

struct PostUpdateActions {
  std::optional<LongNameAction> longName;  // absent, or its attributes broke the rules
  std::vector<RenameAction> renames;
};

// What the long-name run is started with.
struct LongNameRunArguments {
  std::string currentFolder;
  std::string newFolder;
  std::string oldShortName;
  std::string oldLongName;
  std::string oldRegPath;
  std::string oldIconName;
  uint32_t id = 0;
};

// Reads "common/ACTIONS" below `root`; false when it is missing or no
// element.
bool ReadPostUpdateActions(const tinyxml2::XMLElement* root, PostUpdateActions& actions);

// The long-name action's decision (the changes file is loaded here): in an
// install it is only recorded; a portable installation takes the new name
// only with apply_to_portable and a folder named exactly the old long name
// (ignoring case), else it is recorded. The arguments of the run to start,
// or nothing.
std::optional<LongNameRunArguments> PlanLongNameAction(const LongNameAction& action, ChangesFile& changes,
                                                       const std::string& clientFolder, bool portable,
                                                       bool installMode);

// Tells whether the manifest lists a path (lower-cased, "\" separated).
using ListedPath = std::function<bool(const std::string& lowerKey)>;

// Applies every applicable rename and records its id.
void ApplyRenameActions(const std::vector<RenameAction>& renames, ChangesFile& changes,
                        const std::string& clientFolder, const ListedPath& listed);

// The argument text of the "/setlongname" switch.
std::string LongNameRunArgument(const LongNameRunArguments& arguments);

// The values the argument text carries after the current folder (as the
// run receives it from its second quoted value on): new folder, old short
// name, old long name, old registry path, old icon name (a missing quoted
// value is empty), and the action id, the number after the last blank. The
// current folder stays empty.
LongNameRunArguments ParseLongNameArgument(const std::string& argument);
