// The name the system shows for the calling thread (debuggers, process
// listings).
#pragma once

#include <string>

namespace platform {

// Names the calling thread; the system may keep only the first 15 bytes.
void SetCurrentThreadName(const std::string& name);

}  // namespace platform
