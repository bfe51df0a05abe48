// Key codes and modifier flags the controls understand. The window maps the
// display system's key symbols to these before calling OnKeyDown/OnChar, so
// no control depends on a window system's key numbering.
#pragma once

#include <cstdint>

namespace ui {

enum GuiKey : int {
  eGuiKey_None = 0,
  eGuiKey_Backspace = 8,
  eGuiKey_Tab = 9,
  eGuiKey_Return = 13,
  eGuiKey_Escape = 27,
  eGuiKey_PageUp = 33,
  eGuiKey_PageDown = 34,
  eGuiKey_End = 35,
  eGuiKey_Home = 36,
  eGuiKey_Left = 37,
  eGuiKey_Up = 38,
  eGuiKey_Right = 39,
  eGuiKey_Down = 40,
  eGuiKey_Delete = 46,
  // Letters are their upper-case ASCII codes ('A' to 'Z'); the ones the
  // edit field uses with Ctrl are named.
  eGuiKey_A = 'A',
  eGuiKey_C = 'C',
  eGuiKey_V = 'V',
  eGuiKey_X = 'X',
};

// Modifier flags held while a key or character arrives (or-ed together).
enum GuiKeyModifier : std::uint32_t {
  eGuiKeyMod_None = 0,
  eGuiKeyMod_Shift = 1u << 0,
  eGuiKeyMod_Ctrl = 1u << 1,
  eGuiKeyMod_Alt = 1u << 2,
};

// Characters handed to OnChar are Unicode code points; these three are
// control characters the edit field ignores.
constexpr char32_t kGuiCharBackspace = 0x08;
constexpr char32_t kGuiCharTab = 0x09;
constexpr char32_t kGuiCharReturn = 0x0D;

}  // namespace ui
