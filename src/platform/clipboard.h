// The system clipboard for plain text, as the edit field copies, cuts and
// pastes it. Main (window) thread only; no call blocks.
//
// Texts are UTF-8. `GetText` answers nothing when the clipboard cannot be
// read or holds no text; `SetText` answers false when it cannot be written.
// The process clipboard below keeps the text inside this process; a display
// selection can stand in for it later behind the same interface.
#pragma once

#include <optional>
#include <string>

namespace platform {

class IClipboard {
 public:
  virtual ~IClipboard() = default;
  virtual bool SetText(const std::string& text) = 0;
  virtual std::optional<std::string> GetText() = 0;
};

// The clipboard every edit field uses unless it is given another one.
// Lives for the whole process.
IClipboard& ProcessClipboard();

}  // namespace platform
