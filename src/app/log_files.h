// Names of the run logs in the launcher folder, and the filing of earlier
// logs into the newest dated log folder below "logs".
#pragma once

#include <string>

#include "platform/local_time.h"

class CLogImplW;

// "%s%04d%02d%02d_%02d%02d%02d%s.%s.log": the folder (with its trailing
// separator), the time, "" or "_%d" of n, the launcher's file name. The
// first of n = 0 to 99 under which no file can be opened; n = 99 when all
// exist.
std::string MakeLogFileName(const std::string& folder, const std::string& fileName, const platform::LocalTime& time);

// Opens the run log under the first free name of MakeLogFileName, creating
// it exclusively so that two launchers started in the same second never
// share a file (a name taken in between moves on to the next suffix). When
// all 100 names exist the last is emptied and reused. Returns the name, or
// "" when nothing could be opened.
std::string OpenRunLog(CLogImplW& log, const std::string& folder, const std::string& fileName,
                       const platform::LocalTime& time);

// Moves the "*.log" files of `folder` into the newest dated folder below
// "logs" (named "yyyymmdd_hhmmss.<suffix>"), as "<suffix>.<name>.log" with
// "(n)" before ".log" when the name is taken. Logs another launcher is still
// writing stay where they are.
void FileLooseLogs(const std::string& folder);
