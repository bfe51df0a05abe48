// The error message box of fatal start-up failures: a small dialog with an
// OK button when a display is present, a line on standard error otherwise.
// Blocks until the user closes the dialog.
#pragma once

#include <string>

namespace platform {

void ShowErrorBox(const std::string& caption, const std::string& text);

}  // namespace platform
