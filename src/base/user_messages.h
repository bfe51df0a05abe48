// The user messages of the main window (WM_USER + n) and of the windows the
// launcher talks to.
#pragma once

#include <cstdint>

#include "platform/message.h"

enum eWindowsMessage : uint32_t {
  eWindowsMessage_LauncherAssistantInitResult = platform::WM_USER + 1300,
  eWindowsMessage_LauncherAssistantWorkResult = platform::WM_USER + 1301,
  eWindowsMessage_LauncherAssistantDenied = platform::WM_USER + 1302,
  eWindowsMessage_Exit = platform::WM_USER + 1500,
  eWindowsMessage_ClientFailed = platform::WM_USER + 1501,
  eWindowsMessage_DownloadTask = platform::WM_USER + 1550,
  eWindowsMessage_UnpackResult = platform::WM_USER + 1600,
  eWindowsMessage_CheckResult = platform::WM_USER + 1601,
  eWindowsMessage_UninstallResult = platform::WM_USER + 1602,
  eWindowsMessage_UnpackProgress = platform::WM_USER + 1603,
  eWindowsMessage_UninstallProgress = platform::WM_USER + 1604,
  eWindowsMessage_DownloadReady = platform::WM_USER + 1650,
  eWindowsMessage_DownloadTaskState = platform::WM_USER + 1651,
  eWindowsMessage_DownloadProgress = platform::WM_USER + 1690,
  eWindowsMessage_DownloadDone = platform::WM_USER + 1691,
  eWindowsMessage_IconTrayCallbackMessage = platform::WM_USER + 1701,
  eWindowsMessage_SilentLeave = platform::WM_USER + 1710,
  eWindowsMessage_SilentQuery = platform::WM_USER + 1711,
  eWindowsMessage_SilentShow = platform::WM_USER + 1712,
  // The desktop's folder chooser answered (platform::FolderChooser).
  eWindowsMessage_FolderChosen = platform::WM_USER + 1720,
};

// Reasons of eWindowsMessage_Exit.
enum ExitReason : uint64_t {
  kExitRunThread = 0,
  kExitSilentDownload = 1,
  kExitSilentDownloadFinish = 2,
};

// Menu commands of the tray menu, seen by the message loop.
constexpr uint64_t kMenuExit = 32773;
constexpr uint64_t kMenuTrayOption = 32774;
constexpr uint64_t kMenuShowHide = 32775;
