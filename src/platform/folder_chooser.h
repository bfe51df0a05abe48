// The desktop's own folder chooser: the XDG desktop portal's FileChooser
// asked for a directory (OpenFile with "directory"), over the session bus.
//
// Blocking: runs on the caller's (window) thread until the user answers the
// portal's dialog, which is modal for the parent window. When no session
// bus or no portal answers, the call returns at once with
// ePortalChoice_Unavailable and the caller shows its own folder form.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

enum ePortalChoice {
  ePortalChoice_Chosen = 0,
  ePortalChoice_Cancelled = 1,
  ePortalChoice_Unavailable = 2,
};

struct FolderChooserRequest {
  std::string title;
  // The folder the dialog opens in (must exist; empty: the portal's choice).
  std::string startFolder;
  // The X11 window the dialog is modal for (0: none).
  uint64_t parentWindow = 0;
};

// On ePortalChoice_Chosen, `folder` is the chosen folder's local path.
ePortalChoice ChooseFolderWithPortal(const FolderChooserRequest& request, std::string& folder);

}  // namespace platform
