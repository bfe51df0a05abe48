// ApplyActions: the post-update actions of the launcher configuration, run
// when the files of an update (or an install) are complete. The long-name
// action may end this launcher in favour of the long-name run; the renames
// follow, then the client's version is recorded in "changes.dat".
//
// Controller's thread; blocks on the file system and, for the long-name
// run, on the copy of the launcher.
#pragma once

#include <string>

#include <tinyxml2.h>

#include "update/post_update_actions.h"

class CLogImplW;

struct ApplyActionsRequest {
  const tinyxml2::XMLElement* configRoot = nullptr;
  std::string clientFolder;
  std::string clientProcess;  // the client executable's name
  std::string runningPath;    // the running launcher, copied for the long-name run
  bool portable = false;
  bool installMode = false;
  ListedPath listed;  // the manifest's files, for the renames
  CLogImplW* log = nullptr;
};

// True when the long-name run started and this launcher must end.
bool ApplyActions(const ApplyActionsRequest& request);
