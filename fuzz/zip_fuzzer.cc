// Fuzz target for the ZIP reader: the image is indexed and every entry
// extracted into a string (under a small ceiling) and into a caller buffer
// of its stated size when that is small.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/simple_mem_read_stream.h"
#include "update/zip_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CSimpleMemReadStream stream(data, size);
  CZipFile zip;
  if (zip.Open(&stream) != CZipFile::kOk) return 0;
  zip.SetMaxExtractSize(uint64_t{16} << 20);
  std::string bytes;
  std::vector<uint8_t> buffer;
  for (int i = 0; i < zip.EntryCount() && i < 256; ++i) {
    zip.Extract(i, bytes);
    const int64_t stated = zip.EntrySize(i);
    if (stated >= 0 && stated <= (int64_t{1} << 20)) {
      buffer.assign(static_cast<size_t>(stated) + 1, 0);
      zip.Extract(i, buffer.data(), static_cast<uint64_t>(stated));
    }
  }
  zip.FindEntry("update.xml");
  return 0;
}
