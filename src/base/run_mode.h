// The run modes of a launcher process.
#pragma once

#include <cstdint>

enum RunMode : int32_t {
  rmUnknown = -1,
  rmInstall = 0,
  rmUpdate = 1,
  rmUninstaller = 2,
  rmDownload = 3,
  rmSetLongName = 4,
};
