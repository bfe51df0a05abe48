#include "update/launcher_checksum.h"

#include <libdeflate.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <optional>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "base/marker_record.h"
#include "platform/embedded_resources.h"
#include "platform/file_io.h"
#include "platform/file_system.h"

namespace {

constexpr int kOpenAttempts = 11;
constexpr int kOpenPauseMs = 250;

uint32_t Update(uint32_t crc, const uint8_t* data, size_t length) {
  // libdeflate complements on entry and exit as zlib's crc32 does.
  return length == 0 ? crc : static_cast<uint32_t>(libdeflate_crc32(crc, data, length));
}

// Last position of each marker text ("<type>_HERE:") in the bytes, which
// may hold NULs; npos where there is none. One forward pass for the common
// "_HERE:" with a skipping search, then a look at the type before it.
std::vector<size_t> LastMarkers(const uint8_t* bytes, size_t length) {
  std::vector<size_t> last(std::size(kMarkerSpecs), std::string::npos);
  const char* begin = reinterpret_cast<const char*>(bytes);
  const char* end = begin + length;
  static const std::string suffix = std::string("_HERE") + ":";
  const std::boyer_moore_horspool_searcher searcher(suffix.begin(), suffix.end());
  for (const char* at = begin; at < end;) {
    const char* hit = std::search(at, end, searcher);
    if (hit == end) break;
    const size_t position = static_cast<size_t>(hit - begin);
    for (size_t i = 0; i < std::size(kMarkerSpecs); ++i) {
      const size_t typeLength = std::strlen(kMarkerSpecs[i].type);
      if (position >= typeLength && std::memcmp(hit - typeLength, kMarkerSpecs[i].type, typeLength) == 0)
        last[i] = position - typeLength;
    }
    at = hit + 1;
  }
  return last;
}

// The size of the record left out for `spec`: that of the running
// launcher's resource, none when the launcher lacks it. A program that
// carries no resources at all (the publisher tools) takes the record layout
// every launcher is built with, so that its sum of a launcher file is the
// sum that launcher computes of itself.
std::optional<size_t> RecordSize(const MarkerSpec& spec) {
  if (!platform::CarriesEmbeddedResources()) return MarkerRecordSize(spec);
  const auto resource = platform::FindResource(spec.type, spec.id);
  if (!resource) return std::nullopt;
  return resource->size;
}

uint32_t Sum(const uint8_t* bytes, size_t length, int variant) {
  std::vector<int64_t> positions{static_cast<int64_t>(length)};
  const std::vector<size_t> found = LastMarkers(bytes, length);
  for (size_t i = 0; i < std::size(kMarkerSpecs); ++i) {
    const size_t at = found[i];
    if (at == std::string::npos) continue;
    const std::optional<size_t> size = RecordSize(kMarkerSpecs[i]);
    if (!size) continue;
    positions.push_back(static_cast<int64_t>(at));
    positions.push_back(static_cast<int64_t>(at + *size) - 1);
  }
  std::sort(positions.begin(), positions.end());

  uint32_t crc = 0xFFFFFFFF;
  int64_t previous = 0;
  bool include = true;
  int counter = 0;
  for (const int64_t q : positions) {
    // Positions beyond the bytes (a record cut by the end) only bound the range.
    const int64_t end = std::min<int64_t>(q, static_cast<int64_t>(length));
    if (variant == 1) {
      if (include && previous < end) crc = Update(crc, bytes + previous, static_cast<size_t>(end - previous));
      include = !include;
    } else if (previous < q) {
      if (counter % 2 == 0 && previous < end) crc = Update(crc, bytes + previous, static_cast<size_t>(end - previous));
      ++counter;
    }
    previous = q;
  }
  return crc;
}

}  // namespace

LauncherChecksumResult LauncherChecksum(const uint8_t* bytes, size_t length, int variant) {
  if (bytes) return LauncherChecksumResult{0, Sum(bytes, length, variant)};
  const std::string path = platform::OwnExecutablePath();
  platform::MappedFile file;
  for (int attempt = 1;; ++attempt) {
    if (file.Open(path)) break;
    if (attempt == kOpenAttempts) return LauncherChecksumResult{static_cast<uint32_t>(file.LastError()), 0};
    std::this_thread::sleep_for(std::chrono::milliseconds(kOpenPauseMs));
  }
  return LauncherChecksumResult{0, Sum(file.Data(), static_cast<size_t>(file.Size()), variant)};
}

LauncherChecksumResult LauncherChecksumOfFile(const std::string& path, int variant) {
  platform::MappedFile file;
  if (!file.Open(path)) return LauncherChecksumResult{static_cast<uint32_t>(file.LastError()), 0};
  return LauncherChecksumResult{0, Sum(file.Data(), static_cast<size_t>(file.Size()), variant)};
}

int RunChecksumMode(const std::string& folder) {
  const LauncherChecksumResult result = LauncherChecksum(nullptr, 0, 0);
  const std::string text = result.error == 0 ? std::to_string(result.checksum)
                                             : "error " + std::to_string(static_cast<int32_t>(result.error));
  const std::string path = platform::JoinPath(folder, "crc.txt");
  for (int attempt = 0; attempt < 2; ++attempt) {
    platform::OutputFile file;
    if (file.Open(path, platform::OutputFile::Mode::kTruncate) && file.Write(text.data(), text.size()) && file.Close())
      return 0;
    platform::SetReadOnly(path, false);
    platform::RemoveFile(path);
  }
  return 1;
}
