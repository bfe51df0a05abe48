// A package download as the launcher makes it (one range request for the
// rest of a 1 GiB package, streamed into the temporary file) side by side
// with the curl command-line tool fetching the same range to a file, both
// from the product server on 127.0.0.1 in the same run.
//
// Each side runs as its own child process, so wall time and peak resident
// memory (from wait4) are measured the same way for both. Figures:
// throughput of each side in MB/s, the ratio ours/curl, and the peak
// memory of each in MiB. The 1 GiB file lives in a temporary folder that is
// removed afterwards. Run by hand (or script), never by the test command:
//   launcher_download_bench [--size_mib=1024] [--rounds=3]
// Each side's best of the rounds (which alternate the order) is reported,
// with the highest peak memory seen.
#include <benchmark/benchmark.h>
#include <algorithm>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/user_messages.h"
#include "net/downloader.h"
#include "net/net_transport.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "support/local_server.h"
#include "support/temp_dir.h"

extern char** environ;

namespace {

uint64_t g_sizeMiB = 1024;
int g_rounds = 3;
constexpr uint64_t kFirstByte = 1024 * 1024;  // the part already present

// The package's temporary file as the update engine would give it.
class FileSink : public IDownloadSink {
 public:
  explicit FileSink(const std::string& path) : m_file(std::fopen(path.c_str(), "wb")) {}
  ~FileSink() override {
    if (m_file != nullptr) std::fclose(m_file);
  }
  bool Begin(uint64_t /*offset*/) override { return m_file != nullptr; }
  bool Write(const char* data, size_t size) override { return std::fwrite(data, 1, size, m_file) == size; }

 private:
  std::FILE* m_file;
};

class FetchNotify : public IDownloaderNotify {
 public:
  void cudFileReceived(const CBuffer&) override {}
  void kbFilePartReceived(int64_t, int64_t) override {}
  void kbFileReceived(const CBuffer&) override {}
  void licenseReceived(const CBuffer&) override {}
  void updateXmlReceived(const CBuffer&) override {}
  void filePartReceived(const DownloadPart& part, bool endedEarly) override {
    received = part.size;
    ok = !endedEarly;
    done = true;
  }
  void updateProgress(uint64_t, bool) override {}
  void netError(int32_t, uint32_t code, int32_t status, const std::string&) override {
    std::fprintf(stderr, "download failed: %u / %d\n", code, status);
    done = true;
  }
  bool done = false;
  bool ok = false;
  uint64_t received = 0;
};

// Child: the downloader fetches `path` from byte `first` on into `out`.
int FetchChild(const std::string& base, const std::string& path, uint64_t first, uint64_t length,
               const std::string& out) {
  FetchNotify notify;
  std::unique_ptr<CDownloader> downloader = std::make_unique<CDownloader>();
  const platform::WindowHandle window =
      platform::CreateMessageWindow("DownloadBench", "", [&](const platform::Message& m) -> int64_t {
        if (m.message == eWindowsMessage_DownloadDone) downloader->OnDownloadDone();
        if (m.message == eWindowsMessage_DownloadProgress) downloader->OnDownloadProgress(m.wParam, m.lParam);
        return 0;
      });
  NetEx::CNetTransport transport;
  NetEx::SessionSettings session;
  session.accessType = NetEx::eAccessType_Direct;
  if (window == 0 || !transport.Start(5000) || !transport.OpenSession(session, 5000) ||
      !downloader->Init(&transport, nullptr, &notify, window) || !downloader->SetBaseURL(base)) {
    return 2;
  }
  if (!downloader->DownloadUpdate(path, first, length, std::make_shared<FileSink>(out))) return 3;
  platform::Message message;
  while (!notify.done && platform::GetMessage(message)) platform::DispatchMessage(message);
  downloader->Uninit(5000);
  transport.Shutdown();
  transport.stop(5000);
  platform::DestroyMessageWindow(window);
  return notify.ok && notify.received == length ? 0 : 1;
}

struct ChildResult {
  bool ok = false;
  double seconds = 0;
  double peakMiB = 0;
};

ChildResult RunChild(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  ChildResult result;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return result;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return result;
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
  result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return result;
}

std::string g_self;

void BM_PackageDownloadVsCurl(benchmark::State& state) {
  testing_support::TempDir dir;
  const uint64_t size = g_sizeMiB * 1024 * 1024;
  {
    // The package: a pattern that does not compress to nothing.
    std::filesystem::create_directories(dir / "www");
    std::FILE* file = std::fopen((dir / "www/pkg.bin").string().c_str(), "wb");
    if (file == nullptr) {
      state.SkipWithError("cannot write the package");
      return;
    }
    std::vector<uint32_t> block(1 << 18);
    uint32_t x = 2463534242u;
    for (uint64_t written = 0; written < size; written += block.size() * 4) {
      for (uint32_t& v : block) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        v = x;
      }
      std::fwrite(block.data(), 4, block.size(), file);
    }
    std::fclose(file);
  }
  testing_support::LocalServer server(dir / "www");
  if (!server.ok()) {
    state.SkipWithError(("product server: " + server.error()).c_str());
    return;
  }
  const uint64_t length = size - kFirstByte;
  const std::string ours = (dir / "ours.bin").string();
  const std::string theirs = (dir / "curl.bin").string();
  // Rounds alternate which side goes first; each side's best round counts
  // (the machine is shared, so single runs are noisy).
  ChildResult a, b;
  a.seconds = b.seconds = 1e30;
  for (auto _ : state) {
    for (int round = 0; round < g_rounds; ++round) {
      for (int side = 0; side < 2; ++side) {
        const bool runOurs = (side == 0) == (round % 2 == 0);
        const ChildResult r =
            runOurs ? RunChild({g_self, "--fetch", server.BaseUrl(), "/pkg.bin", std::to_string(kFirstByte),
                                std::to_string(length), ours})
                    : RunChild({"curl", "-s", "-f", "-o", theirs, "-r", std::to_string(kFirstByte) + "-",
                                server.BaseUrl() + "/pkg.bin"});
        const std::string& out = runOurs ? ours : theirs;
        if (!r.ok || platform::FileSize(out).value_or(0) != length) {
          state.SkipWithError(runOurs ? "our download failed or is incomplete" : "curl failed or is incomplete");
          return;
        }
        std::filesystem::remove(out);
        ChildResult& best = runOurs ? a : b;
        if (r.seconds < best.seconds) best.seconds = r.seconds;
        if (r.peakMiB > best.peakMiB) best.peakMiB = r.peakMiB;
      }
    }
    state.SetIterationTime(a.seconds);
  }
  const double mb = static_cast<double>(length) / 1e6;
  state.counters["ours_MBps"] = mb / a.seconds;
  state.counters["curl_MBps"] = mb / b.seconds;
  state.counters["ratio"] = b.seconds / a.seconds;
  state.counters["ours_peak_MiB"] = a.peakMiB;
  state.counters["curl_peak_MiB"] = b.peakMiB;
}
BENCHMARK(BM_PackageDownloadVsCurl)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  g_self = platform::OwnExecutablePath();
  if (argc == 7 && std::strcmp(argv[1], "--fetch") == 0) {
    return FetchChild(argv[2], argv[3], std::strtoull(argv[4], nullptr, 10), std::strtoull(argv[5], nullptr, 10),
                      argv[6]);
  }
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--size_mib=", 11) == 0) {
      g_sizeMiB = std::strtoull(argv[i] + 11, nullptr, 10);
    } else if (std::strncmp(argv[i], "--rounds=", 9) == 0) {
      g_rounds = std::max(1, std::atoi(argv[i] + 9));
    } else {
      rest.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
