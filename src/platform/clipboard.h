// The system clipboard for plain text, as the edit field copies, cuts and
// pastes it. Main (window) thread only; no call blocks.
//
// Texts are UTF-8. `GetText` answers nothing when the clipboard cannot be
// read or holds no text; `SetText` answers false when it cannot be written.
// The process clipboard below keeps the text inside this process until a
// desktop clipboard (the display's selection, see display_window.h) is
// installed; from then on it passes every call to that one.
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
// Makes ProcessClipboard use `desktop` (null: back to the process's own
// text). The caller keeps `desktop` alive until it installs null again.
void SetDesktopClipboard(IClipboard* desktop);

}  // namespace platform
