// Fuzz target for the update manifest: the input is read as an
// "update.rxml" answer (a ZIP or RAR archive holding "update.xml") and as
// the manifest text itself, with and without the added packages it names.
#include <cstddef>
#include <cstdint>
#include <string>

#include "update/update_manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string text;
  ReadManifestArchive(input, text);

  ManifestContext context;
  context.language = "en";
  context.platformWord = 2;
  UpdateManifest manifest;
  if (manifest.Build(input, context)) {
    for (const auto& [key, package] : manifest.packages) context.addedPackages.insert(key);
    context.taskMode = true;
    UpdateManifest added;
    added.Build(input, context);
  }
  UpdateManifest info;
  info.ReadLauncherInfo(input);
  return 0;
}
