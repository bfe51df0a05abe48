// The check of a destination folder the user chose or typed, before
// anything is written there: it must be absolute, must not be the
// file-system root, a home folder itself, a system or special folder (or
// hold one), and must not be a file. A folder that exists and is not empty
// is taken only with the product's folder name appended, so an install
// never mixes with (and an uninstall never deletes) unrelated files.
//
// Any thread; reads the file system and the user database; never writes.
#pragma once

#include <string>

enum eDestinationCheck {
  eDestinationCheck_Ok = 0,
  eDestinationCheck_Empty = 1,
  eDestinationCheck_Relative = 2,
  eDestinationCheck_Protected = 3,  // root, a home folder, a system or special folder
  eDestinationCheck_NotAFolder = 4,
};

struct DestinationDecision {
  eDestinationCheck check = eDestinationCheck_Empty;
  std::string folder;  // the folder to propose (with the product name when it was added)
};

// `folder` as cleaned from the edit field (no trailing "/").
DestinationDecision CheckDestination(const std::string& folder, const std::string& productFolder);
