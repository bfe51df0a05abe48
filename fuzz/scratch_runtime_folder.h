// A private runtime folder for one fuzz process (its sockets, pipes and
// records), removed when the process ends.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/runtime_folder.h"

inline void UseScratchRuntimeFolder() {
  static std::string folder;
  if (!folder.empty()) return;
  char pattern[] = "/tmp/launcher-fuzz-XXXXXX";
  const char* made = mkdtemp(pattern);
  if (!made) abort();
  folder = made;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  });
  platform::SetRuntimeFolder(folder);
}
