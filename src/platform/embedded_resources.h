// Resources carried inside the running executable, found by type and id
// ("ZIP" 130, "SERVER_URL" 132, ...).
//
// On Linux the resources are linked raw into the program (assembler
// `.incbin` of the files built from resources/) together with a table of
// {type, id, bytes, size}; the executable defines that table under the name
// `launcher_embedded_resources`. Programs without it (the tests, the tools)
// find nothing unless a table is installed with SetEmbeddedResources.
//
// The bytes are the program's own read-only data: never freed, valid for
// the whole process. Lookups do not block and may run on any thread;
// SetEmbeddedResources is for start-up and tests only (not synchronised).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

struct EmbeddedResource {
  const char* type;  // e.g. "ZIP", "SERVER_URL"
  uint32_t id;
  const unsigned char* data;
  size_t size;
};

// The bytes of one resource, as found.
struct ResourceBytes {
  const unsigned char* data;
  size_t size;
  std::string_view view() const { return std::string_view(reinterpret_cast<const char*>(data), size); }
};

struct EmbeddedResourceTable {
  const EmbeddedResource* entries;
  size_t count;
};

// The bytes of resource `type`/`id` (type compared exactly), or nothing.
std::optional<ResourceBytes> FindResource(std::string_view type, uint32_t id);

// True when the program carries a resource table (the launcher, or a table
// installed with SetEmbeddedResources), even an empty one.
bool CarriesEmbeddedResources();

// Replaces the table lookups use; null goes back to the linked table.
// Returns the replacement in effect before (null: none).
const EmbeddedResourceTable* SetEmbeddedResources(const EmbeddedResourceTable* table);

}  // namespace platform

// Defined by the generated resource object of Launcher.exe only.
extern "C" const platform::EmbeddedResourceTable launcher_embedded_resources __attribute__((weak));
