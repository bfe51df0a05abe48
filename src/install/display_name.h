// Display names of an installation: the base name (fullName or the icon
// name) with "Portable" and the slot number, as the shortcuts and the
// uninstall entry show them.
//
// Pure function, any thread.
#pragma once

#include <string>

// Slot 0 (or below 1): "%s", or "%s Portable". Slots from 1: "%s (%d)" or
// "%s Portable (%d)" with slot + 1 (so slot 2 of Game is "Game (3)").
std::string MakeDisplayName(const std::string& base, bool portable, int slot);
