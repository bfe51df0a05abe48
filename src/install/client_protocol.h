// What the launcher and the game client rely on of each other: the client
// joins the message bus with the configured window class, answers the
// identification copy-data message, sets the start event once it runs, and
// restores and raises its window when asked to.
#pragma once

#include <cstdint>
#include <string>

// Copy-data identifier of the identification message. Its bytes are the
// product's short name with its terminating NUL; a client answers non-zero
// when the name is its own.
inline constexpr uint64_t kClientIdentifyCopyDataId = 1000;

// Named event the client sets when it has started successfully.
inline constexpr const char* kClientStartEventName = "{E44BFF50-25BA-49A3-9C71-EBC1AAC8D22E}";

// Window messages of the client's window that are not user messages. The
// bus has no window placement of its own, so "restore the client's window"
// travels as the system command that asks a window to restore itself
// (WM_SYSCOMMAND with SC_RESTORE); the client brings its window back and to
// the front.
inline constexpr uint32_t kClientMsgClose = 0x0010;       // WM_CLOSE
inline constexpr uint32_t kClientMsgSysCommand = 0x0112;  // WM_SYSCOMMAND
inline constexpr uint64_t kClientSysCommandRestore = 0xF120;  // SC_RESTORE

// The identification record's bytes for `shortName`.
inline std::string ClientIdentifyBytes(const std::string& shortName) { return shortName + std::string(1, '\0'); }
