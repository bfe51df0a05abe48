// The assistant's wire format: the commands, the 5148-byte request record
// and the 654-byte shortcut records the launcher writes to the assistant's
// pipe, and the error codes the assistant answers with.
//
// Texts travel as NUL-terminated UTF-16LE in fixed arrays. Decoding trusts
// nothing: a text without its NUL inside its array, a text that is not valid
// UTF-16, a flag other than 0 or 1 or an icon count beyond what a record
// may carry refuses the whole record.
//
// Pure functions, any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "update/app_list.h"

enum eLauncherCmd : int32_t {
  eLauncherCmd_Install = 1,
  eLauncherCmd_InstallKB = 2,
  eLauncherCmd_Uninstall = 3,
  eLauncherCmd_GetRights = 4,
  eLauncherCmd_IconUpdate = 5,
  eLauncherCmd_Progress = 6,
  eLauncherCmd_KillProcess = 7,
  eLauncherCmd_SetLongName = 8,
  eLauncherCmd_Cancel = 9,
};

// The assistant's error codes (setLastAssistantError).
enum eAssistantError : int32_t {
  eAssistantError_OK = 0,
  eAssistantError_CntCreateDir = 1,
  eAssistantError_ShortInstallationPath = 2,
  eAssistantError_EmptyFullNameEx = 3,
  eAssistantError_CntSetRights = 4,
  eAssistantError_CntCreateUninstallRegPath = 5,
  eAssistantError_TooManyClients = 6,
  eAssistantError_CntPutInstDirToReg = 7,
  eAssistantError_CntDelInstDirFromReg = 8,
  eAssistantError_CntFoundDir = 9,
  eAssistantError_CntMakeSD = 10,
  eAssistantError_CntOpenPipe = 11,
  eAssistantError_CntReadPipe = 12,
  eAssistantError_UnknownPipeCmd = 13,
  eAssistantError_CntKillProcess = 14,
  eAssistantError_KBStartRefused = 15,
  eAssistantError_KBWaitFailed = 16,
  eAssistantError_KBExitCode = 17,
};

// " .. OK" for 0, else " .. error: <name>" ("Unknown" for codes without one).
std::string AssistantErrorText(int32_t code);
// "eLauncherCmd_Install" and so on; "" for values without a name.
std::string LauncherCmdName(int32_t command);

inline constexpr size_t kAssistantRequestSize = 5148;
inline constexpr size_t kIconRecordSize = 654;
// More shortcut records than the launcher can ever mean: a larger count is
// a damaged record, not a reason to read on.
inline constexpr uint32_t kMaxIconRecords = 4096;

// The request record with its texts as UTF-8.
struct AssistantRequest {
  int32_t command = 0;
  std::string chInstallFolder;
  std::string chUserName;
  std::string chShortName;
  std::string chFullName;
  std::string chIconName;
  std::string chRegPath;
  std::string chHelpLink;
  std::string chUrlInfoAbout;
  std::string chUrlUpdateInfo;
  std::string chLnkDesctopIcon;
  std::string chLauncherName;
  std::string chTemp;
  bool bIconPrograms = false;
  bool bIconProgramsFolder = false;
  bool bIconStartMenu = false;
  uint32_t iconCount = 0;
};

// The record's bytes; false (and nothing usable in `bytes`) when a text does
// not fit its array with its NUL.
bool EncodeAssistantRequest(const AssistantRequest& request, std::string& bytes);
// Reads a record; false for a record of another size or any field refused
// (see above).
bool DecodeAssistantRequest(const std::string& bytes, AssistantRequest& request);

bool EncodeIconRecord(const IconRecord& record, std::string& bytes);
bool DecodeIconRecord(const std::string& bytes, IconRecord& record);
