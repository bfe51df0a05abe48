// Update engine benchmark: verifying an installed tree and unpacking it from
// ZIP packages, each side by side with a peer measured in the same run:
//   verification  CCheckerThread (full check) against a plain CRC-32 pass of
//                 ours (1 MiB blocks, libdeflate's crc32) on one and on two
//                 threads;
//   unpacking     CUnpackerThread against bsdtar over the same packages.
// Every measurement runs in a child process so that its peak memory (the
// child's maximum resident set) is reported beside its time. The data live
// in a temporary folder that is deleted at the end.
//
//   update_engine_bench [--mb 1024] [--files 2000] [--dir <parent>] [--runs 3] [--verify-only]
// Times are medians of the runs. Goals: verification at least as fast as
// the two-thread plain pass; unpacking at least 1.3 x bsdtar's speed on
// ext4 and 2 x on tmpfs; peak memory under 64 MiB; the manifest's file map
// under 200 bytes a file beyond the path itself.
#include <libdeflate.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/user_messages.h"
#include "platform/message_loop.h"
#include "update/checker_thread.h"
#include "update/file_crc.h"
#include "update/unpacker_thread.h"
#include "update/update_content_builder.h"
#include "update/update_manifest.h"

namespace fs = std::filesystem;

namespace {

struct Measure {
  double seconds = 0;
  double peakMiB = 0;
  bool ok = false;
};

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Runs `work` in a child process: the seconds it reports (negative on
// failure; median of `runs`) and the child's peak memory. `work` is told
// the run's number.
Measure InChild(const std::function<double(int)>& work, int runs) {
  Measure best;
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    fflush(stdout);
    int channel[2];
    if (pipe(channel) != 0) return Measure{};
    const pid_t pid = fork();
    if (pid == 0) {
      close(channel[0]);
      const double seconds = work(run);
      const ssize_t put = write(channel[1], &seconds, sizeof seconds);
      _exit(put == sizeof seconds && seconds >= 0 ? 0 : 1);
    }
    close(channel[1]);
    double seconds = -1;
    const ssize_t got = read(channel[0], &seconds, sizeof seconds);
    close(channel[0]);
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return Measure{};
    if (got != sizeof seconds || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return Measure{};
    times.push_back(seconds);
    best.seconds = Median(times);
    best.peakMiB = std::max(best.peakMiB, usage.ru_maxrss / 1024.0);
    best.ok = true;
  }
  return best;
}

bool Exec(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A client build of `totalMiB` in about `count` files: many small files,
// some of a few MiB, a few large ones; half random, half repetitive bytes.
std::vector<fs::path> MakeTree(const fs::path& root, uint64_t totalMiB, int count) {
  std::mt19937_64 random(42);
  std::vector<uint64_t> sizes;
  const uint64_t total = totalMiB << 20;
  const int large = std::max(1, count / 400);
  const int medium = count / 10;
  for (int i = 0; i < large; ++i) sizes.push_back(total / 4 / large);
  for (int i = 0; i < medium; ++i) sizes.push_back(total / 2 / std::max(1, medium));
  uint64_t used = 0;
  for (uint64_t s : sizes) used += s;
  const int small = std::max(1, count - large - medium);
  for (int i = 0; i < small; ++i) sizes.push_back((total - std::min(used, total)) / small);
  std::shuffle(sizes.begin(), sizes.end(), random);

  std::vector<fs::path> files;
  std::string block(1 << 20, '\0');
  for (size_t i = 0; i < sizes.size(); ++i) {
    const fs::path path = root / ("dir" + std::to_string(i % 40)) / ("File" + std::to_string(i) + ".dat");
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    for (uint64_t left = sizes[i]; left > 0;) {
      const size_t chunk = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
      for (size_t at = 0; at < chunk; at += 8) {
        const uint64_t value = (at / 4096) % 2 ? random() : 0x2020202065746164ull + (at % 640);
        memcpy(&block[at], &value, std::min<size_t>(8, chunk - at));
      }
      out.write(block.data(), static_cast<std::streamsize>(chunk));
      left -= chunk;
    }
    files.push_back(path);
  }
  return files;
}

double PlainPass(const std::vector<fs::path>& files, int threads) {
  const auto start = Clock::now();
  std::vector<std::string> paths;
  for (const fs::path& file : files) paths.push_back(file.string());
  // Our own plain pass: 1 MiB blocks and libdeflate's crc32, nothing else.
  std::atomic<size_t> next{0};
  std::atomic<bool> ok{true};
  const auto work = [&] {
    std::vector<char> buffer(1 << 20);
    for (size_t i; (i = next.fetch_add(1)) < paths.size();) {
      FILE* in = fopen(paths[i].c_str(), "rb");
      if (!in) {
        ok = false;
        continue;
      }
      uint32_t crc = 0;
      size_t got;
      while ((got = fread(buffer.data(), 1, buffer.size(), in)) > 0) crc = libdeflate_crc32(crc, buffer.data(), got);
      fclose(in);
      if (crc == 0x12345678) printf(" ");
    }
  };
  std::vector<std::thread> helpers;
  for (int i = 1; i < threads; ++i) helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers) helper.join();
  return ok ? Since(start) : -1;
}

// A full check as the controller runs it: released at kind 2, done at the
// next result (the messages arrive at a window of this thread, no polling).
double Verify(const fs::path& client, const std::string& manifest) {
  uint64_t kind = 99;
  const platform::WindowHandle window = platform::CreateMessageWindow("UpdateBench", "", [&](const platform::Message& m) {
    if (m.message == eWindowsMessage_CheckResult) kind = static_cast<uint64_t>(m.lParam);
    return 0;
  });
  if (!window) return -1;
  const auto start = Clock::now();
  CCheckerThread checker;
  DownloadTaskList queue;
  uint64_t bytes = 0;
  checker.SetDownloadQueue(&queue, &bytes);
  checker.clientFolder = client.string();
  checker.newManifest = manifest;
  checker.language = "en";
  checker.window = window;
  if (!checker.Start()) return -1;
  platform::Message message;
  while (platform::GetMessage(message)) {
    platform::DispatchMessage(message);
    if (kind == CCheckerThread::kCheckServerInfo) {
      kind = 99;
      checker.Release();
    } else if (kind != 99) {
      break;
    }
  }
  checker.stop(platform::kInfinite);
  const double seconds = Since(start);
  platform::DestroyMessageWindow(window);
  return kind == CCheckerThread::kCheckDone && queue.empty() ? seconds : -1;
}

double UnpackOurs(const fs::path& packages, const std::vector<std::string>& names, const fs::path& dest) {
  fs::create_directories(dest / "tmp");
  int64_t result = -1;
  const platform::WindowHandle window = platform::CreateMessageWindow("UpdateBench", "", [&](const platform::Message& m) {
    if (m.message == eWindowsMessage_UnpackResult) result = m.lParam;
    return 0;
  });
  CUnpackerThread unpacker;
  unpacker.Configure(dest.string(), window, false);
  uint64_t total = 0;
  for (const std::string& name : names) {
    const fs::path temp = dest / "tmp" / name;
    fs::create_hard_link(packages / name, temp);
    total += fs::file_size(temp);
  }
  // Registering reads each temporary file once for its running CRC, as a
  // resumed download does; a download computes it as the parts arrive, so
  // the time starts after it.
  for (const std::string& name : names) unpacker.Store().addFilePart((dest / "tmp" / name).string(), nullptr, 0);
  const auto start = Clock::now();
  if (!unpacker.start()) return -1;
  for (const std::string& name : names) {
    unpacker.Store().MarkComplete((dest / "tmp" / name).string());
    unpacker.QueuePackage((dest / "tmp" / name).string(), name);
  }
  unpacker.SetAllQueued();
  platform::Message message;
  while (result < 0 && platform::GetMessage(message)) platform::DispatchMessage(message);
  const double seconds = Since(start);
  const bool ok = result == CUnpackerThread::kUnpackOk && unpacker.BytesUnpacked() == total;
  unpacker.RequestStop();
  unpacker.stop(platform::kInfinite);
  return ok ? seconds : -1;
}

// bsdtar in a child of its own per package; the peak is the largest child's.
double UnpackBsdtar(const fs::path& packages, const std::vector<std::string>& names, const fs::path& dest,
                    double& peakMiB) {
  fs::create_directories(dest);
  const auto start = Clock::now();
  for (const std::string& name : names) {
    const pid_t pid = fork();
    if (pid == 0) {
      execlp("bsdtar", "bsdtar", "-xf", (packages / name).c_str(), "-C", dest.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    peakMiB = std::max(peakMiB, usage.ru_maxrss / 1024.0);
  }
  return Since(start);
}

void Row(const char* name, const Measure& m, double mib, const Measure* peer) {
  if (!m.ok) {
    printf("%-34s failed\n", name);
    return;
  }
  printf("%-34s %8.2f s %9.0f MiB/s %8.1f MiB peak", name, m.seconds, mib / m.seconds, m.peakMiB);
  if (peer && peer->ok) printf("   time x%.2f of peer", m.seconds / peer->seconds);
  printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t mib = 1024;
  int count = 2000;
  int runs = 3;
  fs::path parent = fs::temp_directory_path();
  bool unpack = true;
  std::vector<std::string> args(argv + 1, argv + argc);
  const auto flag = std::find(args.begin(), args.end(), "--verify-only");
  if (flag != args.end()) {
    unpack = false;
    args.erase(flag);
  }
  for (size_t i = 0; i + 1 < args.size(); i += 2) {
    const std::string& option = args[i];
    const char* value = args[i + 1].c_str();
    if (option == "--mb") mib = std::strtoull(value, nullptr, 10);
    if (option == "--files") count = std::atoi(value);
    if (option == "--dir") parent = value;
    if (option == "--runs") runs = std::max(1, std::atoi(value));
  }
  std::string pattern = (parent / "update-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    fprintf(stderr, "cannot create a folder in %s\n", parent.c_str());
    return 1;
  }
  const fs::path work = pattern;
  printf("tree: %llu MiB in %d files under %s\n", static_cast<unsigned long long>(mib), count, work.c_str());
  const std::vector<fs::path> files = MakeTree(work / "client", mib, count);

  UpdateContentOptions options;
  options.clientFolder = (work / "client").string();
  options.outputFolder = (work / "content").string();
  options.splitSize = 256ull << 20;
  options.level = 1;
  UpdateContentSummary summary;
  std::string error;
  if (!BuildUpdateContent(options, summary, error)) {
    fprintf(stderr, "content: %s\n", error.c_str());
    fs::remove_all(work);
    return 1;
  }
  std::ifstream manifestIn(work / "content" / "update.xml", std::ios::binary);
  const std::string manifest((std::istreambuf_iterator<char>(manifestIn)), std::istreambuf_iterator<char>());
  uint64_t packed = 0;
  for (const std::string& name : summary.packages) packed += fs::file_size(work / "content" / name);
  printf("content: %zu ZIP packages, %.0f MiB\n\n", summary.packages.size(), packed / 1048576.0);

  const double treeMiB = static_cast<double>(summary.bytes) / 1048576.0;
  PlainPass(files, 2);  // warm the page cache for every reader alike
  const Measure plain1 = InChild([&](int) { return PlainPass(files, 1); }, runs);
  const Measure plain2 = InChild([&](int) { return PlainPass(files, 2); }, runs);
  const Measure checker = InChild([&](int) { return Verify(work / "client", manifest); }, runs);
  // Both unpackers take turns, each run into a fresh folder; the trees are
  // deleted only at the end (ext4 is slower at creating files right after a
  // large tree was deleted).
  const bool haveBsdtar = unpack && Exec({"bsdtar", "--version"});
  Measure bsdtar, ours;
  std::vector<double> bsdtarTimes, ourTimes;
  bsdtar.ok = haveBsdtar;
  ours.ok = unpack;
  for (int run = 0; run < runs && unpack; ++run) {
    if (bsdtar.ok) {
      const double seconds =
          UnpackBsdtar(work / "content", summary.packages, work / ("peer-" + std::to_string(run)), bsdtar.peakMiB);
      bsdtar.ok = seconds >= 0;
      bsdtarTimes.push_back(seconds);
    }
    const Measure one = InChild(
        [&](int) { return UnpackOurs(work / "content", summary.packages, work / ("ours-" + std::to_string(run))); },
        1);
    ours.ok = ours.ok && one.ok;
    ourTimes.push_back(one.seconds);
    ours.peakMiB = std::max(ours.peakMiB, one.peakMiB);
  }
  bsdtar.seconds = Median(bsdtarTimes);
  ours.seconds = Median(ourTimes);

  // The manifest's file map: its bytes beyond the paths themselves.
  UpdateManifest model;
  ManifestContext context;
  context.language = "en";
  model.Build(manifest, context);
  size_t pathBytes = 0;
  for (const auto& [key, file] : model.files) pathBytes += key.size();

  printf("verification (%.0f MiB installed)\n", treeMiB);
  Row("  plain CRC-32 pass, 1 thread", plain1, treeMiB, nullptr);
  Row("  plain CRC-32 pass, 2 threads", plain2, treeMiB, nullptr);
  Row("  CCheckerThread full check", checker, treeMiB, &plain2);
  printf("unpacking (%.0f MiB from %.0f MiB of packages)\n", treeMiB, packed / 1048576.0);
  if (haveBsdtar) {
    Row("  bsdtar -xf", bsdtar, treeMiB, nullptr);
  } else {
    printf("  bsdtar not installed (Debian package libarchive-tools)\n");
  }
  Row("  CUnpackerThread", ours, treeMiB, haveBsdtar ? &bsdtar : nullptr);
  const double perFile = model.files.empty() ? 0
                                             : (static_cast<double>(model.files.MemoryUsed()) - pathBytes) /
                                                   static_cast<double>(model.files.size());
  printf("manifest file map: %zu files, %.0f bytes a file beyond the path (goal: under 200)\n", model.files.size(),
         perFile);
  printf("\ngoals: check <= 1.00 x two-thread pass: %s; unpack speed >= 1.3 x bsdtar's (2 x on tmpfs): %s "
         "(x%.2f); peaks < 64 MiB: %s\n",
         checker.ok && plain2.ok && checker.seconds <= plain2.seconds ? "met" : "NOT met",
         ours.ok && bsdtar.ok && bsdtar.seconds >= 1.3 * ours.seconds ? "met" : (haveBsdtar ? "NOT met" : "unknown"),
         ours.ok && bsdtar.ok ? bsdtar.seconds / ours.seconds : 0.0, checker.peakMiB < 64 && ours.peakMiB < 64 ? "met" : "NOT met");
  fs::remove_all(work);
  return 0;
}
