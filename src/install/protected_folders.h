// Folders an installation operation never deletes or re-permissions,
// whatever the registered-folder list says: the file-system root, the
// system's own folders, every user's home folder, the special folders the
// shortcuts go to, and any folder that holds one of these.
//
// Any thread; reads the user database and the environment.
#pragma once

#include <string>

// True when `folder` (an absolute path; a relative one counts as protected)
// is one of the folders above, or holds one. The path is compared as given
// and with its links resolved.
bool IsProtectedFolder(const std::string& folder);
