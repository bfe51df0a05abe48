#include "platform/embedded_resources.h"

namespace platform {
namespace {

const EmbeddedResourceTable* g_override = nullptr;

const EmbeddedResourceTable* ActiveTable() {
  if (g_override != nullptr) return g_override;
  // A weak symbol that no object defines has the address null.
  const EmbeddedResourceTable* linked = &launcher_embedded_resources;
  return linked;
}

}  // namespace

std::optional<ResourceBytes> FindResource(std::string_view type, uint32_t id) {
  const EmbeddedResourceTable* table = ActiveTable();
  if (table == nullptr || table->entries == nullptr) return std::nullopt;
  for (size_t i = 0; i < table->count; ++i) {
    const EmbeddedResource& entry = table->entries[i];
    if (entry.id == id && entry.type != nullptr && type == entry.type) {
      return ResourceBytes{entry.data, entry.size};
    }
  }
  return std::nullopt;
}

bool CarriesEmbeddedResources() { return ActiveTable() != nullptr; }

const EmbeddedResourceTable* SetEmbeddedResources(const EmbeddedResourceTable* table) {
  const EmbeddedResourceTable* previous = g_override;
  g_override = table;
  return previous;
}

}  // namespace platform
