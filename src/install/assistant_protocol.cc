#include "install/assistant_protocol.h"

#include <cstring>

#include "platform/text_encoding.h"

namespace {

// Offsets and sizes (in UTF-16 code units) of the record's texts.
struct TextField {
  size_t offset;
  size_t units;
  std::string AssistantRequest::*member;
};

constexpr TextField kTextFields[] = {
    {4, 261, &AssistantRequest::chInstallFolder},   {526, 257, &AssistantRequest::chUserName},
    {1040, 33, &AssistantRequest::chShortName},     {1106, 65, &AssistantRequest::chFullName},
    {1236, 65, &AssistantRequest::chIconName},      {1366, 261, &AssistantRequest::chRegPath},
    {1888, 261, &AssistantRequest::chHelpLink},     {2410, 261, &AssistantRequest::chUrlInfoAbout},
    {2932, 261, &AssistantRequest::chUrlUpdateInfo}, {3454, 261, &AssistantRequest::chLnkDesctopIcon},
    {3976, 65, &AssistantRequest::chLauncherName},  {4106, 517, &AssistantRequest::chTemp},
};

constexpr size_t kProgramsOffset = 5140;
constexpr size_t kProgramsFolderOffset = 5141;
constexpr size_t kStartMenuOffset = 5142;
constexpr size_t kReservedOffset = 5143;
constexpr size_t kIconCountOffset = 5144;

constexpr size_t kIconNameUnits = 65;
constexpr size_t kIconExecUnits = 261;
constexpr size_t kIconActionOffset = 652;

void PutU32(std::string& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint32_t GetU32(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[offset + static_cast<size_t>(i)]);
  return value;
}

// Writes `text` with its NUL into the zeroed array; false when it does not fit
// or is not valid UTF-8.
bool PutText(std::string& bytes, size_t offset, size_t units, const std::string& text) {
  if (!platform::IsValidUtf8(text) || text.find('\0') != std::string::npos) return false;
  const std::u16string wide = platform::Utf8ToUtf16(text);
  if (wide.size() >= units) return false;
  const std::string le = platform::Utf16ToLeBytes(wide);
  std::memcpy(bytes.data() + offset, le.data(), le.size());
  return true;
}

// The text before the first NUL of the array; false when the array has no
// NUL or holds an unpaired surrogate.
bool GetText(const std::string& bytes, size_t offset, size_t units, std::string& text) {
  const std::u16string wide = platform::LeBytesToUtf16(std::string_view(bytes).substr(offset, units * 2));
  const size_t end = wide.find(u'\0');
  if (end == std::u16string::npos) return false;
  for (size_t i = 0; i < end; ++i) {
    const char16_t unit = wide[i];
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 >= end || wide[i + 1] < 0xDC00 || wide[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return false;
    }
  }
  text = platform::Utf16ToUtf8(std::u16string_view(wide).substr(0, end));
  return true;
}

bool GetFlag(const std::string& bytes, size_t offset, bool& flag) {
  const auto value = static_cast<uint8_t>(bytes[offset]);
  if (value > 1) return false;
  flag = value == 1;
  return true;
}

}  // namespace

std::string AssistantErrorText(int32_t code) {
  static const char* const kNames[] = {nullptr,
                                       "CntCreateDir",
                                       "ShortInstallationPath",
                                       "EmptyFullNameEx",
                                       "CntSetRights",
                                       "CntCreateUninstallRegPath",
                                       nullptr,
                                       "CntPutInstDirToReg",
                                       "CntDelInstDirFromReg",
                                       "CntFoundDir",
                                       "CntMakeSD",
                                       "CntOpenPipe",
                                       "CntReadPipe",
                                       "UnknownPipeCmd",
                                       "CntKillProcess"};
  if (code == 0) return " .. OK";
  const bool named = code > 0 && code < static_cast<int32_t>(std::size(kNames)) && kNames[code];
  return std::string(" .. error: ") + (named ? kNames[code] : "Unknown");
}

std::string LauncherCmdName(int32_t command) {
  switch (command) {
    case eLauncherCmd_Install: return "eLauncherCmd_Install";
    case eLauncherCmd_InstallKB: return "eLauncherCmd_InstallKB";
    case eLauncherCmd_Uninstall: return "eLauncherCmd_Uninstall";
    case eLauncherCmd_GetRights: return "eLauncherCmd_GetRights";
    case eLauncherCmd_IconUpdate: return "eLauncherCmd_IconUpdate";
    case eLauncherCmd_KillProcess: return "eLauncherCmd_KillProcess";
    case eLauncherCmd_SetLongName: return "eLauncherCmd_SetLongName";
    default: return std::string();
  }
}

bool EncodeAssistantRequest(const AssistantRequest& request, std::string& bytes) {
  bytes.assign(kAssistantRequestSize, '\0');
  PutU32(bytes, 0, static_cast<uint32_t>(request.command));
  for (const TextField& field : kTextFields) {
    if (!PutText(bytes, field.offset, field.units, request.*field.member)) {
      bytes.clear();
      return false;
    }
  }
  bytes[kProgramsOffset] = request.bIconPrograms ? 1 : 0;
  bytes[kProgramsFolderOffset] = request.bIconProgramsFolder ? 1 : 0;
  bytes[kStartMenuOffset] = request.bIconStartMenu ? 1 : 0;
  PutU32(bytes, kIconCountOffset, request.iconCount);
  return true;
}

bool DecodeAssistantRequest(const std::string& bytes, AssistantRequest& request) {
  if (bytes.size() != kAssistantRequestSize) return false;
  AssistantRequest decoded;
  decoded.command = static_cast<int32_t>(GetU32(bytes, 0));
  for (const TextField& field : kTextFields) {
    if (!GetText(bytes, field.offset, field.units, decoded.*field.member)) return false;
  }
  if (!GetFlag(bytes, kProgramsOffset, decoded.bIconPrograms) ||
      !GetFlag(bytes, kProgramsFolderOffset, decoded.bIconProgramsFolder) ||
      !GetFlag(bytes, kStartMenuOffset, decoded.bIconStartMenu) || bytes[kReservedOffset] != 0) {
    return false;
  }
  decoded.iconCount = GetU32(bytes, kIconCountOffset);
  if (decoded.iconCount > kMaxIconRecords) return false;
  request = std::move(decoded);
  return true;
}

bool EncodeIconRecord(const IconRecord& record, std::string& bytes) {
  bytes.assign(kIconRecordSize, '\0');
  if (!PutText(bytes, 0, kIconNameUnits, record.Name) || !PutText(bytes, kIconNameUnits * 2, kIconExecUnits, record.Exec)) {
    bytes.clear();
    return false;
  }
  bytes[kIconActionOffset] = record.Action ? 1 : 0;
  return true;
}

bool DecodeIconRecord(const std::string& bytes, IconRecord& record) {
  if (bytes.size() != kIconRecordSize) return false;
  IconRecord decoded;
  bool add = false;
  if (!GetText(bytes, 0, kIconNameUnits, decoded.Name) || !GetText(bytes, kIconNameUnits * 2, kIconExecUnits, decoded.Exec) ||
      !GetFlag(bytes, kIconActionOffset, add) || bytes[kIconActionOffset + 1] != 0) {
    return false;
  }
  decoded.Action = add;
  record = std::move(decoded);
  return true;
}
