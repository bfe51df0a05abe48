// Which launcher instance serves when several of one executable run.
#pragma once

#include <cstdint>

enum eSilentDownloadMode : int32_t {
  sdmRun = 0,   // another instance downloads in the tray: start or show the client and end
  sdmFull = 1,  // this instance does the whole job
  sdmExit = 2,  // another instance serves: end at once
};
