// The window's pages as the controller addresses them (1-based positions in
// the theme's page list) and the kinds of the progress page. The same
// position means another page in the wizard theme and in the single-page
// theme, so each theme has its own names.
#pragma once

#include <cstdint>

enum ePage : int32_t {
  ePage_None = -1,
  // Wizard theme.
  ePage_Terms = 1,
  ePage_DestinationFolder = 2,
  ePage_Download = 3,
  ePage_Finish = 4,
  ePage_Message = 5,
  ePage_UninstallConfirm = 6,
  ePage_UninstallResult = 7,
  ePage_Shortcuts = 8,
  ePage_WaitAssistant = 9,
  ePage_ExternalApps = 10,
  ePage_Progress = 11,
  // Single-page theme.
  ePage_SingleMessage = 1,
  ePage_SingleUninstallConfirm = 2,
  ePage_SingleUninstallResult = 3,
  ePage_SingleInstall = 4,
};

// The frame a page is shown with: the run's page variant.
enum ePageVariant : int32_t {
  ePageVariant_Install = 0,
  ePageVariant_Update = 1,  // also the long-name change
  ePageVariant_Uninstall = 2,
  ePageVariant_SingleInstall = 3,  // the single install page prepared for an install, with its shortcut panel
};

// What the progress page stands for; each kind has its own headline.
enum eProgressKind : int32_t {
  eProgressKind_None = 0,
  eProgressKind_Uninstall = 1,  // started from the system's uninstall entry
  eProgressKind_Start = 2,
  eProgressKind_Connecting = 3,
  eProgressKind_Install = 4,
  eProgressKind_Launching = 5,
  eProgressKind_WaitingForTask = 6,  // "/download": ready for the next task
  eProgressKind_SetLongName = 7,
};
