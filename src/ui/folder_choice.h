// The texts of the folder choice: cleaning a typed path, the nearest
// existing folder to open on, and what the edit field proposes for a
// selected folder.
//
// Pure functions except NearestExistingFolder, which asks the file system;
// any thread.
#pragma once

#include <string>

namespace ui {

// Removes every double quote and turns every run of "/" into one.
void CleanFolderPath(std::string& path);
// CleanFolderPath, then cuts the path at its last "/" until a prefix that
// exists as a folder is left (the root last); false when none exists or
// the path is relative.
bool NearestExistingFolder(std::string& path);
// The edit field's text for a selected folder: the folder with the
// product's folder name appended, unless it is the current client folder
// itself or the product name is empty.
std::string ProposedFolder(const std::string& selected, const std::string& currentFolder,
                           const std::string& productFolder);
// The edit field's text on OK: blanks around it dropped, cleaned, one trailing "/" removed (the root
// stays "/"). Empty when nothing is left.
std::string FolderFromEditText(std::string text);

}  // namespace ui
