// A whole install by the real launcher side by side with the command-line
// peers doing the same work, in the same run and from the same server:
//
//   launcher       a branded copy of Launcher.exe, "/auto /portable" in an
//                  empty folder: manifest, every package, unpacking, its own
//                  copy and shortcuts, then the game's start (the launcher
//                  ends once the game has signalled it; the game then runs
//                  --game-ms by itself, outside the measured time, and the
//                  bench waits for its end before going on);
//   curl + bsdtar  for every package the manifest lists, in order, one
//                  "curl -s -f -o" of that package, then "bsdtar -xf" of it
//                  into another empty folder, then the package is deleted
//                  (as the launcher deletes its "tmp" folder).
//
// The build (a given size: a few large files of PRNG bytes, many small text
// files, the sample game as the client executable) is published with
// make_update and served by product_server on 127.0.0.1. Each side's time
// runs from its first process start to its last exit; its peak memory is the
// largest resident set wait4 reports for a process the bench started (the
// launcher's own; for the peers the largest single curl or bsdtar). Both
// installed trees are compared with the build, size and CRC-32 of every
// file, and a difference fails the run. Everything lives in a temporary
// folder that is deleted at the end (unless --keep).
//
//   install_bench [--size-mib 1024] [--files 0] [--split-mib 256] [--level <0-9>]
//                 [--rounds 3] [--game-ms 200] [--timeout-s 1800]
//                 [--dir <parent>] [--keep] [--wrap "<profiler command>"]
// Each round installs into fresh folders on both sides; the installed trees
// are deleted only after the last round (ext4 is slower at creating files
// right after a large tree was deleted, so no side may run just after the
// other's tree went). Times are the median of the rounds.
// Goals: launcher time at most 0.6 x curl + bsdtar at 1 GiB and 0.7 x at
// 4 GiB; launcher peak under 64 MiB (also at 100,000 files).
// Run by hand, never by the test command: at 1 GiB it moves several GiB
// through the disk.
#include <fcntl.h>
#include <libdeflate.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tinyxml2.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/local_server.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

// The sample product's names (resources/zip/config.xml): the client
// executable and the folder a portable install goes to under the program
// files folder.
constexpr const char* kGameExe = "SkywardTides.exe";
constexpr const char* kFullName = "Skyward Tides";
constexpr const char* kUpdatePath = "/skyward-tides/updates/";

volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct Options {
  uint64_t sizeMiB = 1024;
  uint64_t splitMiB = 256;
  int level = -1;  // -1: make_update's default
  int rounds = 3;
  uint64_t files = 0;  // 0: as the sizes give (about 6,500 files a GiB)
  int gameMs = 200;
  int timeoutSeconds = 1800;
  fs::path parent;
  bool keep = false;
  // Words put before the launcher's command line (a heap profiler).
  std::vector<std::string> wrap;
};

// ---------------------------------------------------------------------------
// Child processes

struct ChildRun {
  bool started = false;
  bool exited = false;  // ended normally (not by a signal, not timed out)
  int code = -1;
  double seconds = 0;
  double peakMiB = 0;  // wait4's ru_maxrss (Linux folds in the children it waited for)
  double hwmMiB = 0;   // highest VmHWM read from /proc while it ran (its own alone)
};

double ReadHwmMiB(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  }
  return 0;
}

// Waits (at most 10 s) for what is left of a child's process group: the
// launcher does not wait for the game it starts, it ends once the game has
// signalled its start. As this process is a subreaper, the orphaned game is
// our child and is reaped here; past the deadline the group is killed.
void EndGroup(pid_t group, const std::string& name) {
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  bool killed = false;
  for (;;) {
    int status = 0;
    while (waitpid(-group, &status, WNOHANG) > 0) {
    }
    if (kill(-group, 0) != 0 && errno == ESRCH) return;
    if (!killed && (Clock::now() >= deadline || g_interrupted)) {
      fprintf(stderr, "%s left processes behind that did not end; killing its group\n", name.c_str());
      kill(-group, SIGKILL);
      killed = true;
    }
    usleep(5000);
  }
}

struct ChildSpec {
  std::vector<std::string> argv;  // argv[0] looked up in PATH without "/"
  fs::path folder;                // working folder; empty: ours
  std::vector<std::string> env;   // whole environment; empty: ours
  bool quiet = false;             // standard output to /dev/null
  bool ownGroup = false;          // a process group of its own (the launcher and its game)
  int timeoutSeconds = 600;
};

// Starts a child and waits for it (blocks). The child dies with this
// process; at the time-out or on an interrupt it is ended (its group, when
// it has one) and the run counts as failed.
ChildRun Run(const ChildSpec& spec) {
  std::vector<char*> args;
  for (const std::string& arg : spec.argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<char*> env;
  for (const std::string& var : spec.env) env.push_back(const_cast<char*>(var.c_str()));
  env.push_back(nullptr);
  char** envp = spec.env.empty() ? environ : env.data();

  ChildRun run;
  fflush(stdout);
  fflush(stderr);
  const pid_t parent = getpid();
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    if (spec.ownGroup) setpgid(0, 0);
    if (!spec.folder.empty() && chdir(spec.folder.c_str()) != 0) _exit(127);
    if (spec.quiet) {
      const int null = open("/dev/null", O_WRONLY);
      if (null < 0 || dup2(null, 1) < 0) _exit(127);
    }
    execvpe(args[0], args.data(), envp);
    _exit(127);
  }
  if (pid < 0) return run;
  if (spec.ownGroup) setpgid(pid, pid);  // either side may win; both set the same
  run.started = true;
  const auto deadline = start + std::chrono::seconds(spec.timeoutSeconds);
  auto nextSample = start;
  int status = 0;
  struct rusage usage {};
  bool ended = false;
  for (;;) {
    const pid_t got = wait4(pid, &status, WNOHANG, &usage);
    if (got == pid) break;
    if (got < 0 && errno != EINTR) return run;
    const auto now = Clock::now();
    if (now >= nextSample) {
      run.hwmMiB = std::max(run.hwmMiB, ReadHwmMiB(pid));
      nextSample = now + std::chrono::milliseconds(50);
    }
    if (!ended && (now >= deadline || g_interrupted)) {
      fprintf(stderr, "%s: %s, ending it\n", spec.argv[0].c_str(), g_interrupted ? "interrupted" : "timed out");
      kill(spec.ownGroup ? -pid : pid, SIGKILL);
      ended = true;
    }
    usleep(2000);
  }
  run.seconds = Since(start);
  run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
  run.exited = !ended && WIFEXITED(status);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (spec.ownGroup) EndGroup(pid, spec.argv[0]);
  return run;
}

bool RunOk(const ChildSpec& spec) {
  const ChildRun run = Run(spec);
  return run.exited && run.code == 0;
}

// ---------------------------------------------------------------------------
// The build

struct BuildFile {
  std::string relative;  // "/" separators
  uint64_t size = 0;
};

struct Build {
  std::vector<BuildFile> files;
  uint64_t bytes = 0;
  int large = 0;
  int small = 0;
};

bool WriteBytes(const fs::path& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

// xorshift64*: poorly compressible bytes, fast enough not to matter.
class FastRandom {
 public:
  explicit FastRandom(uint64_t seed) : m_state(seed | 1) {}
  uint64_t Next() {
    m_state ^= m_state >> 12;
    m_state ^= m_state << 25;
    m_state ^= m_state >> 27;
    return m_state * 2685821657736338717ull;
  }
  void Fill(std::string& block) {
    for (size_t at = 0; at + 8 <= block.size(); at += 8) {
      const uint64_t value = Next();
      std::memcpy(&block[at], &value, 8);
    }
  }

 private:
  uint64_t m_state;
};

// A text file of `size` bytes that deflate shrinks to about a quarter:
// lines of a small vocabulary with numbers.
std::string TextOfSize(uint64_t size, std::mt19937_64& random) {
  static const char* const kWords[] = {"tile",  "entity", "spawn", "position", "rotation", "scale",  "mesh",
                                       "sound", "light",  "water", "terrain",  "texture",  "shader", "quest"};
  std::string text;
  text.reserve(size + 128);
  char line[128];
  while (text.size() < size) {
    const int length = snprintf(line, sizeof line, "%s %s %llu %.3f %.3f %.3f\n", kWords[random() % 14],
                                kWords[random() % 14], static_cast<unsigned long long>(random() % 100000),
                                static_cast<double>(random() % 100000) / 7.0,
                                static_cast<double>(random() % 1000) / 3.0, static_cast<double>(random() % 10) / 9.0);
    text.append(line, static_cast<size_t>(length));
  }
  text.resize(size);
  return text;
}

// About `total` bytes: 70 % in large files of PRNG bytes (about 1/16 of the
// build each, at most 64 MiB), 30 % in small text files (512 B to 96 KiB,
// 100 to a folder), and the sample game as the client executable.
bool MakeBuild(const fs::path& root, uint64_t total, uint64_t fileCount, const fs::path& game, Build& build) {
  std::mt19937_64 random(20240611);
  FastRandom bytes(0x9e3779b97f4a7c15ull);
  std::error_code error;
  fs::create_directories(root / "data" / "packs", error);
  if (error || !fs::copy_file(game, root / kGameExe, error)) return false;
  build.files.push_back({kGameExe, fs::file_size(root / kGameExe)});

  const uint64_t largeTotal = total / 10 * 7;
  const uint64_t largeSize = std::clamp<uint64_t>(total / 16, 1 << 20, 64 << 20);
  std::string block(1 << 20, '\0');
  for (uint64_t written = 0; written < largeTotal && !g_interrupted; ++build.large) {
    // Sizes vary between 1/2 and 3/2 of the typical one (whole 4 KiB pages).
    uint64_t size = largeSize / 2 + random() % largeSize;
    size = std::min(size - size % 4096, largeTotal - written);
    char name[64];
    snprintf(name, sizeof name, "data/packs/pack%03d.bin", build.large);
    std::FILE* file = std::fopen((root / name).c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = true;
    for (uint64_t left = size; left > 0 && ok;) {
      const size_t chunk = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
      bytes.Fill(block);
      ok = std::fwrite(block.data(), 1, chunk, file) == chunk;
      left -= chunk;
    }
    if (std::fclose(file) != 0 || !ok) return false;
    build.files.push_back({name, size});
    written += size;
  }

  const uint64_t smallTotal = total - std::min(total, largeTotal + build.files.front().size);
  // With a file count the small files share their bytes evenly (sizes
  // between half and one and a half of their mean).
  const uint64_t smallCount = fileCount > build.files.size() ? fileCount - build.files.size() : 0;
  const uint64_t smallMean = smallCount > 0 ? std::max<uint64_t>(smallTotal / smallCount, 2) : 0;
  for (uint64_t written = 0; (smallCount > 0 ? static_cast<uint64_t>(build.small) < smallCount : written < smallTotal) &&
                             !g_interrupted;
       ++build.small) {
    const uint64_t size = smallCount > 0 ? smallMean / 2 + random() % (smallMean + 1)
                                         : std::min<uint64_t>(512 + random() % (96 << 10), smallTotal - written);
    char name[96];
    snprintf(name, sizeof name, "data/%s/set%03d/item%05d.txt", build.small % 3 == 0 ? "levels" : "scripts",
             build.small / 100, build.small);
    fs::create_directories((root / name).parent_path(), error);
    if (error || !WriteBytes(root / name, TextOfSize(size, random))) return false;
    build.files.push_back({name, size});
    written += size;
  }
  for (const BuildFile& file : build.files) build.bytes += file.size;
  return !g_interrupted;
}

// CRC-32 and size of a file; nullopt when it cannot be read.
std::optional<std::pair<uint32_t, uint64_t>> CrcOf(const fs::path& path, std::vector<char>& buffer) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  uint32_t crc = 0;
  uint64_t size = 0;
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
    crc = libdeflate_crc32(crc, buffer.data(), got);
    size += got;
  }
  const bool ok = !std::ferror(file);
  std::fclose(file);
  if (!ok) return std::nullopt;
  return std::make_pair(crc, size);
}

// Every file of the build is in `installed` with the same size and CRC-32
// (extra files there, the launcher's own, are allowed). Prints the first
// differences.
bool SameAsBuild(const fs::path& buildRoot, const Build& build, const fs::path& installed, const char* side) {
  std::vector<char> buffer(1 << 20);
  int bad = 0;
  for (const BuildFile& file : build.files) {
    const auto want = CrcOf(buildRoot / file.relative, buffer);
    const auto have = CrcOf(installed / file.relative, buffer);
    if (want && have && *want == *have) continue;
    if (++bad <= 5) {
      if (!have) {
        fprintf(stderr, "  %s: %s is missing\n", side, file.relative.c_str());
      } else {
        fprintf(stderr, "  %s: %s differs (%llu bytes, CRC %08x; the build's: %llu bytes, CRC %08x)\n", side,
                file.relative.c_str(), static_cast<unsigned long long>(have->second), have->first,
                static_cast<unsigned long long>(want ? want->second : 0), want ? want->first : 0);
      }
    }
  }
  if (bad > 0) fprintf(stderr, "  %s: %d of %zu files differ from the build\n", side, bad, build.files.size());
  return bad == 0;
}

// ---------------------------------------------------------------------------
// The published content

struct Package {
  std::string file;
  uint64_t size = 0;
};

// The packages a new install fetches: the full ones of update.xml, in order.
std::vector<Package> PackagesOf(const fs::path& manifest) {
  std::vector<Package> packages;
  tinyxml2::XMLDocument document;
  if (document.LoadFile(manifest.c_str()) != tinyxml2::XML_SUCCESS || document.RootElement() == nullptr)
    return packages;
  for (const tinyxml2::XMLElement* pack = document.RootElement()->FirstChildElement("PACK"); pack != nullptr;
       pack = pack->NextSiblingElement("PACK")) {
    const char* type = pack->Attribute("type");
    const char* file = pack->Attribute("file");
    if (file != nullptr && type != nullptr && std::strcmp(type, "full") == 0) {
      packages.push_back({file, pack->Unsigned64Attribute("size")});
    }
  }
  return packages;
}

// ---------------------------------------------------------------------------
// The two sides

struct Side {
  bool ok = false;
  double seconds = 1e30;  // median of the rounds (set at the end)
  std::vector<double> rounds;
  std::vector<double> partAs, partBs;
  double peakMiB = 0;     // highest of the rounds
  double hwmMiB = 0;
  // Launcher: time to the game's start. Peers: the curl and bsdtar parts.
  double partA = 0;
  double partB = 0;
};

std::string NewestLog(const std::vector<fs::path>& folders) {
  fs::path newest;
  fs::file_time_type when{};
  for (const fs::path& folder : folders) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
      if (entry.path().extension() != ".log") continue;
      const auto time = entry.last_write_time(error);
      if (newest.empty() || time > when) {
        newest = entry.path();
        when = time;
      }
    }
  }
  return newest.string();
}

void ShowLogTail(const std::string& path, size_t lines) {
  if (path.empty()) {
    fprintf(stderr, "  the launcher wrote no log\n");
    return;
  }
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> all;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    all.push_back(line);
  }
  fprintf(stderr, "  last lines of %s:\n", path.c_str());
  for (size_t i = all.size() > lines ? all.size() - lines : 0; i < all.size(); ++i)
    fprintf(stderr, "    %s\n", all[i].c_str());
}

// The launcher's environment: its settings, menus, desktop, window bus and
// program files in `root`, no display, a short game.
std::vector<std::string> LauncherEnvironment(const fs::path& root, int gameMs) {
  static const char* const kOwn[] = {"DISPLAY",
                                     "XDG_CONFIG_HOME",
                                     "XDG_DATA_HOME",
                                     "XDG_DESKTOP_DIR",
                                     "LAUNCHER_USER_SETTINGS",
                                     "LAUNCHER_MACHINE_SETTINGS",
                                     "LAUNCHER_RUNTIME_DIR",
                                     "LAUNCHER_COMMON_DATA",
                                     "LAUNCHER_PROGRAM_FILES",
                                     "SAMPLE_GAME_TIMEOUT_MS",
                                     "SAMPLE_GAME_ARGS_FILE"};
  std::vector<std::string> env;
  for (char** var = environ; *var != nullptr; ++var) {
    const std::string text = *var;
    const std::string name = text.substr(0, text.find('='));
    if (std::find_if(std::begin(kOwn), std::end(kOwn), [&](const char* own) { return name == own; }) ==
        std::end(kOwn))
      env.push_back(text);
  }
  env.push_back("DISPLAY=");
  env.push_back("XDG_CONFIG_HOME=" + (root / "config").string());
  env.push_back("XDG_DATA_HOME=" + (root / "data").string());
  env.push_back("XDG_DESKTOP_DIR=" + (root / "desktop").string());
  env.push_back("LAUNCHER_USER_SETTINGS=" + (root / "user").string());
  env.push_back("LAUNCHER_MACHINE_SETTINGS=" + (root / "machine").string());
  env.push_back("LAUNCHER_RUNTIME_DIR=" + (root / "run").string());
  env.push_back("LAUNCHER_COMMON_DATA=" + (root / "common").string());
  env.push_back("LAUNCHER_PROGRAM_FILES=" + (root / "programs").string());
  env.push_back("SAMPLE_GAME_TIMEOUT_MS=" + std::to_string(gameMs));
  env.push_back("SAMPLE_GAME_ARGS_FILE=" + (root / "game-args.txt").string());
  return env;
}

double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// One install by the launcher into `root` (created empty). The game records
// its arguments when it starts; that file's time tells how much of the run
// came before the game's start.
bool RunLauncher(const fs::path& root, const fs::path& launcher, const Options& options, const fs::path& buildRoot,
                 const Build& build, Side& side) {
  fs::create_directories(root / "download");
  const fs::path copy = root / "download" / "Launcher.exe";
  fs::copy_file(launcher, copy);
  sync();
  const double startWall = WallSeconds();
  std::vector<std::string> command = options.wrap;
  for (const char* word : {copy.c_str(), "/auto", "/portable"}) command.push_back(word);
  const ChildRun run = Run({command,
                            copy.parent_path(),
                            LauncherEnvironment(root, options.gameMs),
                            true,
                            true,
                            options.timeoutSeconds});
  const fs::path client = root / "programs" / kFullName;
  if (g_interrupted) return false;
  bool ok = run.exited && run.code == 0;
  if (!ok) fprintf(stderr, "launcher: %s (exit code %d)\n", run.started ? "failed" : "did not start", run.code);
  struct stat game {};
  double toGame = 0;
  if (stat((root / "game-args.txt").c_str(), &game) == 0) {
    toGame = static_cast<double>(game.st_mtim.tv_sec) + game.st_mtim.tv_nsec / 1e9 - startWall;
  } else if (ok) {
    fprintf(stderr, "launcher: the game never started\n");
    ok = false;
  }
  if (ok && !SameAsBuild(buildRoot, build, client, "launcher")) ok = false;
  if (!ok) {
    ShowLogTail(NewestLog({copy.parent_path(), client}), 40);
    return false;
  }
  side.rounds.push_back(run.seconds);
  side.partAs.push_back(toGame);
  side.peakMiB = std::max(side.peakMiB, run.peakMiB);
  side.hwmMiB = std::max(side.hwmMiB, run.hwmMiB);
  return true;
}

// curl then bsdtar for each package in turn, the package deleted after it
// is unpacked.
bool RunPeers(const fs::path& root, const std::string& baseUrl, const std::vector<Package>& packages,
              const fs::path& buildRoot, const Build& build, Side& side) {
  fs::create_directories(root / "packages");
  fs::create_directories(root / "tree");
  sync();
  double curlSeconds = 0, bsdtarSeconds = 0, peak = 0;
  const auto start = Clock::now();
  for (const Package& package : packages) {
    const fs::path file = root / "packages" / package.file;
    const ChildRun curl = Run({{"curl", "-s", "-f", "-o", file.string(), baseUrl + kUpdatePath + package.file}});
    if (!curl.exited || curl.code != 0) {
      fprintf(stderr, "curl %s: exit code %d\n", package.file.c_str(), curl.code);
      return false;
    }
    const ChildRun bsdtar = Run({{"bsdtar", "-xf", file.string(), "-C", (root / "tree").string()}});
    if (!bsdtar.exited || bsdtar.code != 0) {
      fprintf(stderr, "bsdtar %s: exit code %d\n", package.file.c_str(), bsdtar.code);
      return false;
    }
    fs::remove(file);
    curlSeconds += curl.seconds;
    bsdtarSeconds += bsdtar.seconds;
    peak = std::max({peak, curl.peakMiB, bsdtar.peakMiB});
  }
  const double seconds = Since(start);
  if (!SameAsBuild(buildRoot, build, root / "tree", "curl + bsdtar")) return false;
  side.rounds.push_back(seconds);
  side.partAs.push_back(curlSeconds);
  side.partBs.push_back(bsdtarSeconds);
  side.peakMiB = std::max(side.peakMiB, peak);
  return true;
}

// ---------------------------------------------------------------------------

fs::path BuiltNextToUs(const char* compiled) {
  // Built paths from the build system; a copied bench finds its tools beside it.
  if (fs::exists(compiled)) return compiled;
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return self.parent_path() / fs::path(compiled).filename();
}

bool ParseOptions(int argc, char** argv, Options& options) {
  const char* tmp = getenv("TMPDIR");
  options.parent = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--keep") {
      options.keep = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    if (option == "--size-mib") {
      options.sizeMiB = std::strtoull(value, nullptr, 10);
    } else if (option == "--files") {
      options.files = std::strtoull(value, nullptr, 10);
    } else if (option == "--split-mib") {
      options.splitMiB = std::strtoull(value, nullptr, 10);
    } else if (option == "--level") {
      options.level = std::atoi(value);
    } else if (option == "--rounds") {
      options.rounds = std::max(1, std::atoi(value));
    } else if (option == "--game-ms") {
      options.gameMs = std::max(1, std::atoi(value));
    } else if (option == "--timeout-s") {
      options.timeoutSeconds = std::max(10, std::atoi(value));
    } else if (option == "--dir") {
      options.parent = value;
    } else if (option == "--wrap") {
      std::istringstream words(value);
      for (std::string word; words >> word;) options.wrap.push_back(word);
    } else {
      return false;
    }
  }
  return options.sizeMiB >= 1;
}

// The scratch folder, removed with everything in it unless it is to be kept.
class Scratch {
 public:
  explicit Scratch(const fs::path& parent) {
    std::string pattern = (parent / "install-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) m_path = pattern;
  }
  ~Scratch() {
    if (m_path.empty()) return;
    if (keep) {
      printf("kept %s\n", m_path.c_str());
      return;
    }
    std::error_code error;
    fs::remove_all(m_path, error);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const fs::path& path() const { return m_path; }
  bool keep = false;

 private:
  fs::path m_path;
};

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// One line of the table; a negative figure leaves its column empty.
void Row(const char* name, double seconds, double mib, double peakMiB) {
  printf("  %-34s %8.2f", name, seconds);
  if (mib > 0) printf(" %10.1f", mib / seconds);
  if (peakMiB > 0) printf(" %10.1f", peakMiB);
  printf("\n");
}

int Bench(const Options& options) {
  Scratch scratch(options.parent);
  if (scratch.path().empty()) {
    fprintf(stderr, "cannot create a folder in %s\n", options.parent.c_str());
    return 1;
  }
  scratch.keep = options.keep;
  const fs::path work = scratch.path();
  const fs::path launcher = BuiltNextToUs(LAUNCHER_EXE_PATH);
  const fs::path makeUpdate = BuiltNextToUs(MAKE_UPDATE_PATH);
  const fs::path stamp = BuiltNextToUs(LAUNCHER_STAMP_PATH);
  const fs::path game = BuiltNextToUs(SAMPLE_GAME_PATH);

  printf("scratch %s\n", work.c_str());
  Build build;
  const auto making = Clock::now();
  if (!MakeBuild(work / "build", options.sizeMiB << 20, options.files, game, build)) {
    fprintf(stderr, "cannot write the build\n");
    return 1;
  }
  const double buildMiB = static_cast<double>(build.bytes) / 1048576.0;
  printf("build: %.0f MiB in %zu files (%d large of PRNG bytes, %d small text files, %s), written in %.1f s\n",
         buildMiB, build.files.size(), build.large, build.small, kGameExe, Since(making));

  const fs::path content = work / "content" / "skyward-tides" / "updates";
  std::vector<std::string> publish = {makeUpdate.string(), "--client", (work / "build").string(), "--out",
                                      content.string(), "--client-version", "1"};
  if (options.splitMiB > 0) {
    publish.push_back("--split");
    publish.push_back(std::to_string(options.splitMiB << 20));
  }
  if (options.level >= 0) {
    publish.push_back("--level");
    publish.push_back(std::to_string(options.level));
  }
  const auto publishing = Clock::now();
  if (!RunOk({publish, {}, {}, true})) {
    fprintf(stderr, "make_update failed\n");
    return 1;
  }
  const std::vector<Package> packages = PackagesOf(content / "update.xml");
  uint64_t packed = 0;
  for (const Package& package : packages) packed += package.size;
  if (packages.empty()) {
    fprintf(stderr, "the published update.xml lists no full package\n");
    return 1;
  }
  printf("content: %zu ZIP packages, %.0f MiB, published in %.1f s\n", packages.size(), packed / 1048576.0,
         Since(publishing));

  testing_support::LocalServer server(work / "content");
  if (!server.ok()) {
    fprintf(stderr, "product_server: %s\n", server.error().c_str());
    return 1;
  }
  const fs::path branded = work / "Launcher.exe";
  if (!RunOk({{stamp.string(), launcher.string(), branded.string(), "--server-url", server.BaseUrl(),
               "--update-path", kUpdatePath},
              {},
              {},
              true})) {
    fprintf(stderr, "launcher_stamp failed\n");
    return 1;
  }
  printf("server %s (pid %d); %d round(s), the launcher first in odd rounds; the game runs %d ms after\n\n",
         server.BaseUrl().c_str(), static_cast<int>(server.pid()), options.rounds, options.gameMs);

  Side ours, peers;
  size_t launcherRequests = 0, launcherRanges = 0;
  for (int round = 0; round < options.rounds && !g_interrupted; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      const bool launcherTurn = (turn == 0) == (round % 2 == 0);
      const fs::path root = work / ((launcherTurn ? "launcher-" : "peers-") + std::to_string(round));
      const size_t before = server.Requests().size();
      const bool ok = launcherTurn ? RunLauncher(root, branded, options, work / "build", build, ours)
                                   : RunPeers(root, server.BaseUrl(), packages, work / "build", build, peers);
      if (g_interrupted) return 1;
      if (!ok) {
        // A failed install keeps the folder: the launcher's log and its tmp
        // folder tell why.
        fprintf(stderr, "FAILED: %s, round %d\n", launcherTurn ? "the launcher's install" : "curl + bsdtar",
                round + 1);
        scratch.keep = scratch.keep || launcherTurn;
        return 1;
      }
      if (launcherTurn) {
        const auto requests = server.Requests();
        launcherRequests = requests.size() - before;
        launcherRanges = static_cast<size_t>(std::count_if(requests.begin() + static_cast<long>(before),
                                                           requests.end(),
                                                           [](const auto& request) { return !request.range.empty(); }));
      }
    }
  }
  if (!options.keep) {
    // Only now: no side ran right after a large tree was deleted.
    for (int round = 0; round < options.rounds; ++round) {
      std::error_code error;
      fs::remove_all(work / ("launcher-" + std::to_string(round)), error);
      fs::remove_all(work / ("peers-" + std::to_string(round)), error);
    }
  }
  if (g_interrupted) {
    fprintf(stderr, "interrupted\n");
    return 1;
  }
  ours.ok = peers.ok = true;
  for (Side* side : {&ours, &peers}) {
    side->seconds = Median(side->rounds);
    side->partA = Median(side->partAs);
    side->partB = Median(side->partBs);
  }

  printf("install of %.0f MiB (%zu files) from %zu packages (%.0f MiB), median of %d round(s)\n", buildMiB,
         build.files.size(), packages.size(), packed / 1048576.0, options.rounds);
  printf("  %-34s %8s %10s %10s\n", "", "seconds", "MiB/s", "peak MiB");
  Row("launcher /auto /portable", ours.seconds, buildMiB, ours.peakMiB);
  Row("  of which until the game starts", ours.partA, buildMiB, 0);
  Row("curl + bsdtar, package by package", peers.seconds, buildMiB, peers.peakMiB);
  Row("  of which curl", peers.partA, 0, 0);
  Row("  of which bsdtar", peers.partB, 0, 0);
  const double ratio = ours.seconds / peers.seconds;
  printf("\nratio launcher / (curl + bsdtar): %.2f (to the game's start: %.2f)\n", ratio, ours.partA / peers.seconds);
  printf("launcher: %zu requests to the server (%zu with a Range); own VmHWM %.1f MiB, wait4 peak %.1f MiB\n",
         launcherRequests, launcherRanges, ours.hwmMiB, ours.peakMiB);
  const double goal = buildMiB > 2048 ? 0.7 : 0.6;
  printf("goals: time <= %.2f x curl + bsdtar: %s; launcher peak < 64 MiB: %s\n", goal,
         ratio <= goal ? "met" : "NOT met", ours.peakMiB < 64 ? "met" : "NOT met");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    fprintf(stderr,
            "usage: install_bench [--size-mib 1024] [--files 0] [--split-mib 256] [--level <0-9>] [--rounds 3]\n"
            "                     [--game-ms 200] [--timeout-s 1800] [--dir <parent>] [--keep]\n"
            "                     [--wrap \"<profiler command>\"]\n");
    return 2;
  }
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // The launcher's game outlives the launcher: it becomes our child, so
  // that it can be waited for and never left behind.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  return Bench(options);
}
