#include "install/display_name.h"

std::string MakeDisplayName(const std::string& base, bool portable, int slot) {
  std::string name = base;
  if (portable) name += " Portable";
  if (slot >= 1) name += " (" + std::to_string(slot + 1) + ")";
  return name;
}
