// Our RAR 2.9 decoder against libarchive's on the same non-solid archive
// (FolderTest.rar: a 1 MiB text packed with the normal method, plus small
// entries), both reading from memory. The counters give each reader's
// throughput and "ours_vs_libarchive" (> 1: ours is faster).
#include <archive.h>
#include <archive_entry.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>

#include "update/rar/rar_archive.h"

namespace {

std::string LoadFixture(const char* name) {
  std::ifstream in(std::string(LAUNCHER_FIXTURES_DIR) + "/archives/rar/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

size_t DecodeOurs(const std::string& image) {
  rar::RarArchive archive;
  size_t total = 0;
  if (!archive.Open(reinterpret_cast<const uint8_t*>(image.data()), image.size())) return 0;
  std::string out;
  while (archive.Next()) {
    if (!archive.Extract(out)) return 0;
    total += out.size();
  }
  return total;
}

size_t DecodeLibarchive(const std::string& image) {
  struct archive* a = archive_read_new();
  archive_read_support_format_rar(a);
  size_t total = 0;
  if (archive_read_open_memory(a, image.data(), image.size()) == ARCHIVE_OK) {
    struct archive_entry* entry = nullptr;
    static char buffer[1 << 16];
    int status;
    while ((status = archive_read_next_header(a, &entry)) == ARCHIVE_OK || status == ARCHIVE_WARN) {
      la_ssize_t got;
      while ((got = archive_read_data(a, buffer, sizeof(buffer))) > 0) total += static_cast<size_t>(got);
      if (got < 0) {
        total = 0;
        break;
      }
    }
  }
  archive_read_free(a);
  return total;
}

void BM_Rar29OursVsLibarchive(benchmark::State& state) {
  const std::string image = LoadFixture("FolderTest.rar");
  double ours = 0, theirs = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const size_t a = DecodeOurs(image);
    const auto t1 = std::chrono::steady_clock::now();
    const size_t b = DecodeLibarchive(image);
    const auto t2 = std::chrono::steady_clock::now();
    if (a == 0 || a != b) {
      state.SkipWithError("the readers disagree on the output size");
      return;
    }
    bytes += a;
    ours += std::chrono::duration<double>(t1 - t0).count();
    theirs += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["ours_MBps"] = static_cast<double>(bytes) / ours / 1e6;
  state.counters["libarchive_MBps"] = static_cast<double>(bytes) / theirs / 1e6;
  state.counters["ours_vs_libarchive"] = theirs / ours;
}
BENCHMARK(BM_Rar29OursVsLibarchive)->Unit(benchmark::kMillisecond);

}  // namespace
