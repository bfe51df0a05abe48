// Opening a web address in the user's browser (the shell's "open" verb).
#pragma once

#include <string>

namespace platform {

// Hands `url` (http or https only) to the desktop's opener; false when it
// is no web address or no opener could be started. Does not wait.
bool OpenInBrowser(const std::string& url);

}  // namespace platform
