// Names of the temporary package files in "tmp" of the client folder and the
// rule that tells a package task from the launcher's own task.
//
// Pure functions, any thread.
#pragma once

#include <cstdint>
#include <string>

// "<client>/tmp/%08X.%d": the package CRC in eight upper-case hexadecimal
// digits and its size, so a file left by an interrupted run resumes only for
// the same content.
std::string PackageTempPath(const std::string& clientFolder, uint32_t crc, uint64_t size);
// "<client>/tmp/Launcher.exe.<version>.<size>". False (and no path) when the
// manifest's version holds anything but digits and dots, or is empty, so a
// server text can never steer the name out of "tmp".
bool LauncherTempPath(const std::string& clientFolder, const std::string& version, uint64_t size, std::string& path);
// True for every task name but the launcher's: names ending in ".pkg" or
// ".bin" (from the last "."; a name of 3 characters or fewer has no
// extension) are packages, and so is any other name except "Launcher.exe".
bool IsPackageTaskName(const std::string& name);
