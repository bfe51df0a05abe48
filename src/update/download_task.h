// One package (or the launcher) to fetch: the entries of the controller's
// `fileDownloads`, filled by the file checker and worked through by the
// package downloads. Plain data; the list is guarded by the checker's lock
// while the checker fills it, and belongs to the main thread afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DownloadTask {
  std::string name;  // package file name as in the manifest; "Launcher.exe" for the launcher
  uint32_t crc = 0;
  int64_t size = 0;
  std::string url;        // absolute URL with its query; empty: the update path and the name
  std::string version;    // the launcher's task only: its version, part of the temporary file's name
  int64_t firstByte = 0;  // bytes already present in the temporary file
  int64_t length = 0;     // bytes still to fetch
  int32_t parts = 0;      // parts received in this run
  uint64_t counted = 0;   // bytes of this package in the controller's progress count
};

using DownloadTaskList = std::vector<DownloadTask>;
