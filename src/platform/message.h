// Window messages as the program exchanges them, within a process and
// between its processes: a target window, a message number and two
// parameters, plus the payload of a copy-data message.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A window handle is a number unique on the machine while the window lives:
// (process id << 8) | a per-process serial. 0 is no window.
using WindowHandle = uint32_t;

constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_COPYDATA = 0x004A;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_COMMAND = 0x0111;
constexpr uint32_t WM_TIMER = 0x0113;
constexpr uint32_t WM_USER = 0x0400;
constexpr uint32_t VK_ESCAPE = 0x1B;

struct Message {
  WindowHandle window = 0;
  uint32_t message = 0;
  uint64_t wParam = 0;
  int64_t lParam = 0;
  // WM_COPYDATA: the record's identifier (dwData) and bytes (lpData).
  uint64_t copyDataId = 0;
  std::string copyData;
};

}  // namespace platform
