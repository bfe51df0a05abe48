// Fuzz target for the client update data: the input is taken as "CUD.dat"
// (encrypted or plain), as a downloaded document and as a typed server
// address. Whatever the selector then holds must come back the same from a
// save and a load.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <tinyxml2.h>

#include "servers/url_selector.h"

namespace {

constexpr const char* kPredefined =
    "<ClientUpdateData><Face id=\"face1\"><LoginURLs><URL>http://a</URL></LoginURLs>"
    "<DataUpdateURLs><URL>http://u1</URL></DataUpdateURLs></Face>"
    "<ReplaceURLs><Replace from=\"http://old\" to=\"http://a2\"/></ReplaceURLs></ClientUpdateData>";

void RemoveFolder();

// Made once; never destroyed, so that the exit handler can still use it.
const std::string& Folder() {
  static const std::string* folder = [] {
    // In memory where the system has it: every input is saved and flushed.
    char pattern[] = "/dev/shm/cud-fuzz-XXXXXX";
    char fallback[] = "/tmp/cud-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) made = mkdtemp(fallback);
    if (!made) abort();
    auto* path = new std::string(made);
    std::atexit(RemoveFolder);
    return path;
  }();
  return *folder;
}

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(Folder(), ignored);
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string path = Folder() + "/CUD.dat";
  WriteFile(path, input);

  tinyxml2::XMLDocument predefined;
  predefined.Parse(kPredefined);
  CUrlSelector selector;
  selector.SetKeyText(kCudKeyText);
  if (!selector.Initialize(predefined.RootElement(), {}, path, false)) abort();
  selector.OnIncomingData(input);
  if (selector.SetCustomURL(std::string(input.substr(0, 96)))) selector.AcceptCustomURL();

  // Save and load: the lists and the choice survive unchanged.
  if (!selector.Save(false)) return 0;
  CudFace face;
  CudRuntimeData runtime;
  CUrlSelector reader;
  reader.SetKeyText(kCudKeyText);
  if (!reader.Initialize(predefined.RootElement(), {}, std::string(), false)) abort();
  if (!reader.LoadFile(path, &face, &runtime)) abort();
  if (face.loginURLs != selector.Face().loginURLs || face.dataUpdateURLs != selector.Face().dataUpdateURLs ||
      runtime.selectedURL != selector.Runtime().selectedURL)
    abort();
  std::remove(path.c_str());
  return 0;
}
