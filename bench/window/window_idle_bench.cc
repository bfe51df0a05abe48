// The launcher window on an X server: how long until the first frame is on
// the screen, and what the window costs while it waits on the single
// install page. The window is the real one (the embedded theme, the
// desktop back-end) and runs in the real message loop with the 10 ms
// repaint timer, as the controller runs it.
//
// Prints:
// - first frame: milliseconds from the start of window creation (the forms
//   are built before) to the window being viewable with its first frame
//   pushed (goal: under 50), for the first window and as the median of
//   five;
// - idle: CPU time of this process (user + system) over the wall time of
//   an idle stretch, in % of one core (goal: under 1), the X server's share
//   over the same stretch when the server is ours, and the frames pushed:
//   once for the page waiting for input, once with its waiting bar running.
//
// Uses DISPLAY when set (e.g. a desktop with a compositor), else starts
// its own Xvfb. Options: --seconds N (idle stretch, default 5);
// --compositor: on its own Xvfb, run xcompmgr as the compositing manager
// (the window then keeps its alpha instead of a shape).
#include <X11/Xlib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "config/language_list.h"
#include "config/launcher_config.h"
#include "config/launcher_settings.h"
#include "config/resource_archive.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "ui/control_factory.h"
#include "ui/control_name_table.h"
#include "ui/desktop_window_backend.h"
#include "ui/dpi_factor.h"
#include "ui/layered_window.h"
#include "ui/theme_setup.h"
#include "ui/window_texts.h"
#include "ui/xvfb_display.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// utime + stime of another process, in seconds; -1 when unknown.
double ProcessCpuSeconds(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return -1;
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(line.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Starts xcompmgr on the current DISPLAY and waits until it has taken the
// screen's compositing selection; its process id, or 0.
pid_t StartCompositor() {
  char program[] = "xcompmgr";
  char* argv[] = {program, nullptr};
  pid_t pid = 0;
  if (::posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0) return 0;
  Display* display = XOpenDisplay(nullptr);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  bool running = false;
  while (display && !running && std::chrono::steady_clock::now() < end) {
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    running = XGetSelectionOwner(display, XInternAtom(display, name.c_str(), False)) != 0;
    if (!running) ::usleep(10000);
  }
  if (display) XCloseDisplay(display);
  if (!running) {
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    return 0;
  }
  return pid;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 5;
  bool compositor = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--seconds" && i + 1 < argc) seconds = std::atoi(argv[++i]);
    if (std::string(argv[i]) == "--compositor") compositor = true;
  }
  std::unique_ptr<window_testing::XvfbDisplay> xvfb;
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    xvfb = std::make_unique<window_testing::XvfbDisplay>();
    if (!xvfb->Available()) {
      std::fprintf(stderr, "no X server: %s\n", xvfb->Why().c_str());
      return 1;
    }
  }
  pid_t compositorPid = 0;
  if (compositor) {
    if (!xvfb) {
      std::fprintf(stderr, "--compositor needs the bench's own X server (DISPLAY unset)\n");
      return 1;
    }
    compositorPid = StartCompositor();
    if (!compositorPid) {
      std::fprintf(stderr, "xcompmgr did not start (apt-get install xcompmgr)\n");
      return 1;
    }
  }
  ui::SetDpiFactor(1.0);
  LauncherSettings settings;
  tinyxml2::XMLDocument config, theme;
  LanguageList languages;
  std::string error;
  std::string image;
  if (!platform::ReadWholeFile(LAUNCHER_RESOURCE_ARCHIVE, image) ||
      !ResourceArchive::Instance().Open(image.data(), image.size()) ||
      !LoadLauncherConfig(ResourceArchive::Instance(), settings, config, languages, error) ||
      !LoadThemeDocument(ResourceArchive::Instance(), settings, theme, error) ||
      !ui::LoadThemeResources(ResourceArchive::Instance(), settings.themeFolder, theme, error)) {
    std::fprintf(stderr, "theme: %s\n", error.c_str());
    return 1;
  }

  const platform::WindowHandle loopWindow =
      platform::CreateMessageWindow("WindowBench", "bench", [](const platform::Message&) { return int64_t{0}; });
  std::unique_ptr<platform::DisplayWindow> connection = platform::DisplayWindow::Open();
  if (!connection) {
    std::fprintf(stderr, "cannot open the display\n");
    return 1;
  }
  auto backend = std::make_unique<ui::DesktopWindowBackend>(std::move(connection), loopWindow);
  ui::DesktopWindowBackend* desktop = backend.get();
  auto window = std::make_unique<ui::CLayeredWindow>(std::move(backend));
  const auto formsStart = std::chrono::steady_clock::now();
  if (!window->SetForms(ui::LoadForms(theme))) {
    std::fprintf(stderr, "no forms\n");
    return 1;
  }
  const double formsMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - formsStart).count();
  // Window creation: the native window, the first frame rendered, pushed
  // and mapped, then centred; the clock stops when the server shows it.
  // Measured over kCreations windows (each destroyed before the next but
  // the last): the first creation pays for the X server's first requests of
  // this connection, and a loaded machine scatters the figures.
  constexpr int kCreations = 5;
  std::vector<double> creationMs;
  Display* observer = XOpenDisplay(nullptr);
  for (int round = 0; round < kCreations; ++round) {
    if (round > 0) window->Destroy();
    const auto start = std::chrono::steady_clock::now();
    if (!window->Create()) {
      std::fprintf(stderr, "no window\n");
      return 1;
    }
    for (;;) {
      XWindowAttributes attributes{};
      if (observer &&
          XGetWindowAttributes(observer, static_cast<Window>(desktop->Display().NativeId()), &attributes) &&
          attributes.map_state == IsViewable) {
        break;
      }
      if (std::chrono::steady_clock::now() - start > std::chrono::seconds(5)) break;
      desktop->Display().ProcessEvents();
    }
    creationMs.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  if (observer) XCloseDisplay(observer);
  const double firstFrameMs = creationMs.front();
  std::vector<double> sorted = creationMs;
  std::sort(sorted.begin(), sorted.end());
  const double medianFrameMs = sorted[sorted.size() / 2];

  // The single install page with its texts, as an install run shows it.
  ui::CWindowTexts texts(*window, languages);
  texts.stateSource = [] {
    ui::WindowTextState state;
    state.singlePageMode = true;
    state.clientFolder = "/home/player/Games/Skyward Tides";
    return state;
  };
  texts.storeLanguageChoice = [](const LanguageList&) {};
  languages.currentCode = "en";
  texts.InitTextControls();
  window->ShowForm(4, 3);

  // The controller's loop: the repaint timer's ticks go to the window.
  platform::SetTimer(loopWindow, ui::CLayeredWindow::kRepaintTimerId, ui::CLayeredWindow::kRepaintPeriodMs);
  const auto runFor = [&](double wallSeconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(wallSeconds);
    platform::Message message;
    while (std::chrono::steady_clock::now() < end && platform::GetMessage(message)) {
      if (message.message == platform::WM_TIMER) window->OnTimerTick();
    }
  };
  struct Idle {
    double cpu = 0, server = -1, compositor = -1, wall = 0;
    uint64_t frames = 0;
  };
  const auto measureIdle = [&] {
    runFor(1.0);  // settle: the page's first frames, the idle rate
    Idle idle;
    const uint64_t framesBefore = desktop->Display().PresentCount();
    const double cpuBefore = CpuSeconds();
    const double serverBefore = xvfb ? ProcessCpuSeconds(xvfb->Pid()) : -1;
    const double compositorBefore = compositorPid ? ProcessCpuSeconds(compositorPid) : -1;
    const auto wallStart = std::chrono::steady_clock::now();
    runFor(seconds);
    idle.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    idle.cpu = CpuSeconds() - cpuBefore;
    if (xvfb) idle.server = ProcessCpuSeconds(xvfb->Pid()) - serverBefore;
    if (compositorPid) idle.compositor = ProcessCpuSeconds(compositorPid) - compositorBefore;
    idle.frames = desktop->Display().PresentCount() - framesBefore;
    return idle;
  };
  const auto print = [](const char* what, const Idle& idle) {
    std::printf("%s\n  launcher:  %.2f %% of one core over %.1f s (goal < 1)\n", what, 100.0 * idle.cpu / idle.wall,
                idle.wall);
    if (idle.server >= 0) std::printf("  X server:  %.2f %% of one core\n", 100.0 * idle.server / idle.wall);
    if (idle.compositor >= 0) {
      std::printf("  compositor: %.2f %% of one core\n", 100.0 * idle.compositor / idle.wall);
    }
    std::printf("  frames pushed: %llu\n", static_cast<unsigned long long>(idle.frames));
  };
  // The page waiting for input: no progress, no waiting animation.
  for (int id : {ui::ctlSingleInstallSpriterangeWait, ui::ctlSingleInstallProgress}) {
    if (ui::GuiControl* control = window->FindControl(id)) control->visible = false;
  }
  const Idle still = measureIdle();
  // The same page with its waiting bar running (an animation: every tick
  // is a new frame).
  if (ui::GuiControl* wait = window->FindControl(ui::ctlSingleInstallSpriterangeWait)) wait->visible = true;
  const Idle animated = measureIdle();

  std::printf("display:      %s (%s)\n", std::getenv("DISPLAY"),
              desktop->Display().Composited() ? "compositor" : "no compositor, shaped window");
  std::printf("forms built:  %.1f ms (theme, before the window)\n", formsMs);
  std::printf("first frame:  %.1f ms from window creation to the window on screen (goal < 50)\n", firstFrameMs);
  std::printf("              median of %d creations %.1f ms, fastest %.1f ms\n", kCreations, medianFrameMs,
              sorted.front());
  print("install page waiting for input:", still);
  print("install page with the waiting bar running:", animated);
  platform::KillTimer(loopWindow, ui::CLayeredWindow::kRepaintTimerId);
  window.reset();
  platform::DestroyMessageWindow(loopWindow);
  if (compositorPid) {
    ::kill(compositorPid, SIGTERM);
    ::waitpid(compositorPid, nullptr, 0);
  }
  return 0;
}
