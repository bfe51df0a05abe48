// Fuzz target for the command line: the switch parse, and the split and
// rebuild of a text, which must give back the same arguments.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  ParseCommandLine(line);
  const std::vector<std::string> args = SplitCommandLine(line);
  const std::string rebuilt = BuildCommandLine(args);
  if (SplitCommandLine(rebuilt) != args) std::abort();
  return 0;
}
