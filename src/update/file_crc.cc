#include "update/file_crc.h"

#include <libdeflate.h>

#include <algorithm>
#include <thread>

#include "platform/file_io.h"

FileCrcResult ComputeFileCrc(const std::string& path, std::vector<uint8_t>& buffer, const std::atomic<bool>* stop) {
  FileCrcResult result;
  platform::InputFile file;
  if (!file.Open(path)) {
    result.error = file.LastError();
    return result;
  }
  if (buffer.size() < kFileCrcBlock) buffer.resize(kFileCrcBlock);
  uint32_t crc = 0;
  uint64_t size = 0;
  for (;;) {
    if (stop && stop->load(std::memory_order_relaxed)) return result;
    const int64_t got = file.Read(buffer.data(), kFileCrcBlock);
    if (got < 0) {
      result.error = file.LastError();
      return result;
    }
    if (got == 0) break;
    crc = static_cast<uint32_t>(libdeflate_crc32(crc, buffer.data(), static_cast<size_t>(got)));
    size += static_cast<uint64_t>(got);
  }
  result.ok = true;
  result.crc = crc;
  result.size = size;
  return result;
}

std::vector<FileCrcResult> ComputeFileCrcs(const std::vector<std::string>& paths, int threads,
                                           const std::atomic<bool>* stop, const std::vector<uint64_t>* expectedSizes) {
  std::vector<FileCrcResult> results(paths.size());
  std::vector<size_t> order(paths.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  if (expectedSizes && expectedSizes->size() == paths.size()) {
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return (*expectedSizes)[a] > (*expectedSizes)[b]; });
  }
  std::atomic<size_t> next{0};
  const auto work = [&] {
    std::vector<uint8_t> buffer;
    for (;;) {
      if (stop && stop->load(std::memory_order_relaxed)) return;
      const size_t taken = next.fetch_add(1);
      if (taken >= paths.size()) return;
      const size_t index = order[taken];
      results[index] = ComputeFileCrc(paths[index], buffer, stop);
    }
  };
  std::vector<std::thread> helpers;
  for (int i = 1; i < threads && static_cast<size_t>(i) < paths.size(); ++i) {
    try {
      helpers.emplace_back(work);
    } catch (const std::system_error&) {
      break;
    }
  }
  work();
  for (std::thread& helper : helpers) helper.join();
  return results;
}
