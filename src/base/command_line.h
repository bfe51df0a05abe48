// The launcher's command line: one text (as the system passes it, without
// the program name) parsed by substring search into a run code, start-up
// flags and the switch texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Run codes chosen by the switches.
enum RunCode : int32_t {
  rcNone = 0,
  rcUninstall = 1,       // "/uninstall"
  rcUninstallFrom = 2,   // "/u"
  rcUninstallGuest = 3,  // "/ug"
  rcDownload = 4,        // "/download"
  rcCrc = 5,             // "/crc"
  rcSetLongName = 6,     // "/setlongname"
};

struct StartupState {
  int32_t g_rc = rcNone;
  bool assistantMode = false;
  bool fastUpdate = false;
  bool runByClientCritical = false;
  bool runByClient = false;
  bool restartRequested = false;
  bool autoInstall = false;
  bool portableInstall = false;  // "/portable": an install chooses the portable folder by itself
  std::string switchArgument;   // the text behind "/u", "/ug", "/download", "/setlongname"
  std::string uninstallSource;  // first double-quoted part, quotes included
};

// Parses `commandLine` (UTF-8). Offsets past the end of the text give an
// empty argument.
StartupState ParseCommandLine(std::string_view commandLine);

// The command-line text of a process started with `args` (the program name
// left out): arguments joined by single spaces; an argument that is empty or
// holds a space, and no double quote, is put in double quotes. Arguments
// made by SplitCommandLine come back as the text they were split from (runs
// of spaces become one).
std::string BuildCommandLine(const std::vector<std::string>& args);
// Splits a command-line text at spaces outside double quotes (a tab or any
// other byte is part of its argument), keeping the quotes in the arguments,
// so that BuildCommandLine gives the text back.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);
