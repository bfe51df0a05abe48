// Small resource archives for the configuration tests, packed with the
// stored-entry RAR writer the build uses.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "config/resource_archive.h"
#include "update/rar/rar_stored_writer.h"

namespace config_testing {

using Entries = std::vector<std::pair<std::string, std::string>>;

inline std::string PackArchive(const Entries& entries) {
  rar::RarStoredWriter writer;
  for (const auto& [name, bytes] : entries) writer.AddFile(name, bytes);
  return writer.Finish();
}

inline bool OpenArchive(ResourceArchive& archive, const Entries& entries) {
  const std::string image = PackArchive(entries);
  return archive.Open(image.data(), image.size());
}

// `count` strings: "" first, then "<prefix> 1", "<prefix> 2", ...
inline std::vector<std::string> NumberedStrings(size_t count, const std::string& prefix) {
  std::vector<std::string> strings{std::string()};
  for (size_t i = 1; i < count; ++i) strings.push_back(prefix + " " + std::to_string(i));
  return strings;
}

}  // namespace config_testing
