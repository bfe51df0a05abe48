// The error message box of fatal start-up failures: a small dialog with an
// OK button when a display is present, a line on standard error otherwise.
// Blocks until the user closes the dialog. With an owner window (the
// launcher's live window) the dialog is its transient, modal child.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

void ShowErrorBox(const std::string& caption, const std::string& text);

// The window that owns later error boxes (a native window identifier of the
// display, 0 for none): the box is its modal dialog, centred over it.
void SetErrorBoxOwner(uint64_t nativeWindow);

}  // namespace platform
