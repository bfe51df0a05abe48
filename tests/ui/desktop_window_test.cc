// The launcher window on a real X server (a private Xvfb): the window the
// desktop back-end maps, its pixels, and the input that comes back from the
// server (xdotool drives the pointer and the keyboard).
#include <gtest/gtest.h>
#include <tinyxml2.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "config/language_list.h"
#include "config/launcher_config.h"
#include "config/launcher_lang_table.h"
#include "config/launcher_settings.h"
#include "config/resource_archive.h"
#include "platform/message_loop.h"
#include "support/built_resources.h"
#include "support/platform_sandbox.h"
#include "ui/control_name_table.h"
#include "ui/desktop_window_backend.h"
#include "ui/dpi_factor.h"
#include "ui/font_cache.h"
#include "ui/gui_combo_box_ctrl.h"
#include "ui/gui_edit_ctrl.h"
#include "ui/layered_window.h"
#include "ui/theme_profile.h"
#include "ui/theme_setup.h"
#include "ui/theme_texture.h"
#include "ui/window_texts.h"
#include "clipboard_owner.h"
#include "xvfb_display.h"

// Xlib's macros (None, Status, ...) go last, after every other header.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>

namespace ui {
namespace {

using window_testing::XdoTool;

// The first control of `root`'s tree that `match` accepts.
GuiControl* FindIn(GuiControl& root, const std::function<bool(GuiControl&)>& match) {
  if (match(root)) return &root;
  for (auto& child : root.children) {
    if (GuiControl* found = FindIn(*child, match)) return found;
  }
  return nullptr;
}

class DesktopWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_xvfb = std::make_unique<window_testing::XvfbDisplay>();
    if (!m_xvfb->Available()) GTEST_SKIP() << "no X server for the window tests: " << m_xvfb->Why();
    SetDpiFactor(1.0);
    ASSERT_TRUE(testing_support::OpenBuiltResourceArchive()) << "the build's resources.rar is missing";
    const ResourceArchive& archive = ResourceArchive::Instance();
    ASSERT_TRUE(LoadLauncherConfig(archive, m_settings, m_config, m_languages, m_error)) << m_error;
    ASSERT_TRUE(LoadThemeDocument(archive, m_settings, m_theme, m_error)) << m_error;
    ASSERT_TRUE(LoadThemeResources(archive, m_settings.themeFolder, m_theme, m_error)) << m_error;
    std::unique_ptr<platform::DisplayWindow> display = platform::DisplayWindow::Open();
    ASSERT_NE(display, nullptr);
    auto backend = std::make_unique<DesktopWindowBackend>(std::move(display), 0);
    m_backend = backend.get();
    LayeredWindowHooks hooks;
    hooks.command = [this](int id) {
      m_commands.push_back(id);
      // The controller's answer to a language chosen from the list.
      if (id == ctlLanguage && m_texts) m_texts->SelectLanguage(m_window->LanguageBox()->SelectedIndex(), false);
    };
    m_window = CreateLauncherWindow(m_theme, std::move(backend), std::move(hooks));
    ASSERT_NE(m_window, nullptr);
    m_texts = std::make_unique<CWindowTexts>(*m_window, m_languages);
    m_texts->stateSource = [] {
      WindowTextState state;
      state.singlePageMode = true;
      state.clientFolder = "/home/player/Games/Skyward Tides";
      return state;
    };
    m_texts->storeLanguageChoice = [](const LanguageList&) {};
    m_languages.currentCode = "en";
    ASSERT_TRUE(m_texts->InitTextControls());
    m_window->ShowForm(4, 3);  // the single install page, waiting for input:
    // no progress and no waiting animation
    for (int id : {ctlSingleInstallSpriterangeWait, ctlSingleInstallProgress}) {
      if (GuiControl* control = m_window->FindControl(id)) control->visible = false;
    }
    m_x = XOpenDisplay(nullptr);
    ASSERT_NE(m_x, nullptr);
    ASSERT_TRUE(Pump([this] { return Mapped(); })) << "the window was never mapped";
  }

  void TearDown() override {
    if (m_x) XCloseDisplay(m_x);
    m_texts.reset();
    m_window.reset();
    ResetProfiles();
    ThemeTextureCache::Instance().SetSource(nullptr, std::string());
    UnloadPrivateFonts();
    ResetFontCache();
    CLauncherLangTable::Reset();
    SetDpiFactor(1.0);
    m_xvfb.reset();
  }

  // Runs the window as the message loop would (events, 10 ms ticks) until
  // `done` holds; false after two seconds.
  bool Pump(const std::function<bool()>& done, int ms = 2000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      m_backend->Display().ProcessEvents();
      m_window->OnTimerTick();
      if (done()) return true;
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  void PumpFor(int ms) {
    Pump([] { return false; }, ms);
  }

  Window NativeWindow() const { return static_cast<Window>(m_backend->Display().NativeId()); }

  bool Mapped() {
    XWindowAttributes attributes;
    return XGetWindowAttributes(m_x, NativeWindow(), &attributes) && attributes.map_state == IsViewable;
  }

  // Where the server shows the window (root coordinates) and its size.
  XWindowAttributes Geometry() {
    XWindowAttributes attributes{};
    XGetWindowAttributes(m_x, NativeWindow(), &attributes);
    return attributes;
  }

  std::string StringProperty(const char* name, const char* type) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty(m_x, NativeWindow(), XInternAtom(m_x, name, False), 0, 1 << 20, False,
                           XInternAtom(m_x, type, False), &actual, &format, &count, &after, &data) == Success &&
        data) {
      // Format-32 items arrive as longs.
      value.assign(reinterpret_cast<const char*>(data), count * (format == 32 ? sizeof(long) : format / 8));
      XFree(data);
    }
    return value;
  }

  // Puts each key symbol on a key code that has none.
  bool MapSpareKeys(const std::vector<KeySym>& symbols) {
    int first = 0, last = 0, perCode = 0;
    XDisplayKeycodes(m_x, &first, &last);
    KeySym* map = XGetKeyboardMapping(m_x, static_cast<KeyCode>(first), last - first + 1, &perCode);
    if (!map) return false;
    size_t next = 0;
    for (int code = last; code >= first && next < symbols.size(); --code) {
      bool spare = true;
      for (int k = 0; k < perCode; ++k) spare = spare && map[(code - first) * perCode + k] == NoSymbol;
      if (!spare) continue;
      KeySym both[2] = {symbols[next], symbols[next]};
      XChangeKeyboardMapping(m_x, code, 2, both, 1);
      ++next;
    }
    XFree(map);
    XSync(m_x, False);
    return next == symbols.size();
  }

  // Screen point of a client point.
  void MovePointer(GuiPoint client) {
    const GuiPoint shown = m_window->ShownPosition();
    ASSERT_TRUE(XdoTool({"mousemove", std::to_string(shown.x + client.x), std::to_string(shown.y + client.y)}));
  }

  // A point of the form's own background (no control on it), fully opaque.
  GuiPoint BackgroundPoint() {
    CGuiBitmapBorderStepCtrl* form = m_window->CurrentForm();
    cairo_surface_t* surface = m_window->Surface();
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const GuiSize size = m_window->SurfaceSize();
    for (int y = 20; y < size.height; y += 7) {
      for (int x = 20; x < size.width; x += 7) {
        std::uint32_t pixel;
        std::memcpy(&pixel, data + static_cast<size_t>(y) * stride + x * 4, 4);
        if ((pixel >> 24) == 255 && form->ControlAt({x, y}) == form) return {x, y};
      }
    }
    return {-1, -1};
  }

  static GuiPoint Centre(const GuiControl& control, const GuiControl& form) {
    return {control.screenX - form.screenX + control.screenWidth / 2,
            control.screenY - form.screenY + control.screenHeight / 2};
  }

  std::unique_ptr<window_testing::XvfbDisplay> m_xvfb;
  testing_support::PlatformSandbox m_sandbox;
  LauncherSettings m_settings;
  tinyxml2::XMLDocument m_config;
  tinyxml2::XMLDocument m_theme;
  LanguageList m_languages;
  std::string m_error;
  DesktopWindowBackend* m_backend = nullptr;
  std::unique_ptr<CLayeredWindow> m_window;
  std::unique_ptr<CWindowTexts> m_texts;
  std::vector<int> m_commands;
  Display* m_x = nullptr;
};

TEST_F(DesktopWindowTest, MapsOneNamedCentredWindowThatShowsTheFrame) {
  PumpFor(100);
  const XWindowAttributes geometry = Geometry();
  const GuiSize size = m_window->SurfaceSize();
  EXPECT_EQ(geometry.width, size.width);
  EXPECT_EQ(geometry.height, size.height);
  EXPECT_EQ(geometry.x, m_window->ShownPosition().x);
  EXPECT_EQ(geometry.y, m_window->ShownPosition().y);
  EXPECT_EQ(StringProperty("_NET_WM_NAME", "UTF8_STRING"), CLayeredWindow::kWindowTitle);
  m_backend->SetTitle("Skyward Tides");
  EXPECT_TRUE(Pump([this] { return StringProperty("_NET_WM_NAME", "UTF8_STRING") == "Skyward Tides"; }));
  XClassHint hint{};
  ASSERT_TRUE(XGetClassHint(m_x, NativeWindow(), &hint));
  EXPECT_STREQ(hint.res_class, "Launcher");
  XFree(hint.res_name);
  XFree(hint.res_class);
  const std::string pid = StringProperty("_NET_WM_PID", "CARDINAL");
  ASSERT_EQ(pid.size(), sizeof(long));
  long pidValue = 0;
  std::memcpy(&pidValue, pid.data(), sizeof pidValue);
  EXPECT_EQ(pidValue, ::getpid());
  // The icon: width, height, then the pixels (longs in Xlib's interface).
  const std::string icon = StringProperty("_NET_WM_ICON", "CARDINAL");
  ASSERT_GE(icon.size(), 2 * sizeof(long));
  long side[2];
  std::memcpy(side, icon.data(), sizeof side);
  EXPECT_EQ(icon.size(), (2 + static_cast<size_t>(side[0] * side[1])) * sizeof(long));
  EXPECT_GT(side[0], 0);

  // The screen shows the off-screen frame: every opaque pixel within a
  // small tolerance, and the fully transparent ones cut away by the shape
  // (Xvfb runs no compositor).
  XImage* shot = XGetImage(m_x, DefaultRootWindow(m_x), geometry.x, geometry.y, static_cast<unsigned>(size.width),
                           static_cast<unsigned>(size.height), AllPlanes, ZPixmap);
  ASSERT_NE(shot, nullptr);
  cairo_surface_t* frame = m_window->Surface();
  const unsigned char* data = cairo_image_surface_get_data(frame);
  const int stride = cairo_image_surface_get_stride(frame);
  int opaque = 0, differing = 0, transparent = 0;
  for (int y = 0; y < size.height; ++y) {
    for (int x = 0; x < size.width; ++x) {
      std::uint32_t pixel;
      std::memcpy(&pixel, data + static_cast<size_t>(y) * stride + x * 4, 4);
      if ((pixel >> 24) == 0) ++transparent;
      if ((pixel >> 24) != 255) continue;
      ++opaque;
      const unsigned long shown = XGetPixel(shot, x, y);
      for (int shift : {0, 8, 16}) {
        if (std::abs(static_cast<int>((shown >> shift) & 0xFF) - static_cast<int>((pixel >> shift) & 0xFF)) > 2) {
          ++differing;
          break;
        }
      }
    }
  }
  XDestroyImage(shot);
  ASSERT_GT(opaque, size.width * size.height / 2);
  EXPECT_LE(differing, opaque / 200) << differing << " of " << opaque << " opaque pixels differ";
  int bShaped = 0, cShaped = 0, xb, yb, xc, yc;
  unsigned wb, hb, wc, hc;
  ASSERT_TRUE(XShapeQueryExtents(m_x, NativeWindow(), &bShaped, &xb, &yb, &wb, &hb, &cShaped, &xc, &yc, &wc, &hc));
  EXPECT_EQ(bShaped != 0, transparent > 0);
}

// Two monitors side by side on the one Xvfb screen (RandR 1.5 monitors)
// and a panel along the top of the desktop: the window opens centred on the
// work area of the monitor under the pointer, whichever is the primary, and
// its language list keeps to that monitor.
TEST_F(DesktopWindowTest, OpensCentredOnTheWorkAreaOfThePointersMonitor) {
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (!XRRQueryExtension(m_x, &eventBase, &errorBase) || !XRRQueryVersion(m_x, &major, &minor) ||
      (major == 1 && minor < 5)) {
    GTEST_SKIP() << "the X server lists no monitors (RandR " << major << "." << minor << ")";
  }
  const Window root = DefaultRootWindow(m_x);
  const int screenWidth = DisplayWidth(m_x, DefaultScreen(m_x));
  const int screenHeight = DisplayHeight(m_x, DefaultScreen(m_x));
  const int half = screenWidth / 2;
  // The left monitor takes the screen's one output (its automatic monitor
  // gives way); the right one is a monitor without an output.
  XRRScreenResources* resources = XRRGetScreenResources(m_x, root);
  ASSERT_NE(resources, nullptr);
  ASSERT_GE(resources->noutput, 1);
  const RROutput output = resources->outputs[0];
  XRRFreeScreenResources(resources);
  const auto addMonitor = [&](const char* name, int x, bool primary, bool withOutput) {
    XRRMonitorInfo* monitor = XRRAllocateMonitor(m_x, withOutput ? 1 : 0);
    if (withOutput) monitor->outputs[0] = output;
    monitor->name = XInternAtom(m_x, name, False);
    monitor->primary = primary;
    monitor->x = x;
    monitor->y = 0;
    monitor->width = half;
    monitor->height = screenHeight;
    monitor->mwidth = half / 4;
    monitor->mheight = screenHeight / 4;
    XRRSetMonitor(m_x, root, monitor);
    XRRFreeMonitors(monitor);
  };
  addMonitor("LEFT", 0, false, true);
  addMonitor("RIGHT", half, true, false);
  const long panel = 40;
  const long workArea[4] = {0, panel, screenWidth, screenHeight - panel};
  XChangeProperty(m_x, root, XInternAtom(m_x, "_NET_WORKAREA", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(workArea), 4);
  XSync(m_x, False);
  int listed = 0;
  XRRMonitorInfo* check = XRRGetMonitors(m_x, root, True, &listed);
  if (check) XRRFreeMonitors(check);
  ASSERT_EQ(listed, 2) << "the monitors were not set";

  struct Case {
    const char* where;
    int pointerX;
    int monitorX;
  } cases[] = {{"pointer on the left monitor", half / 2, 0},
               {"pointer on the right monitor", half + half / 2, half}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    m_window->Destroy();
    ASSERT_TRUE(XdoTool({"mousemove", std::to_string(c.pointerX), std::to_string(screenHeight / 2)}));
    ASSERT_TRUE(m_window->Create());
    ASSERT_TRUE(Pump([this] { return Mapped(); }));
    const GuiSize size = m_window->SurfaceSize();
    const XWindowAttributes geometry = Geometry();
    EXPECT_EQ(geometry.x, c.monitorX + (half - size.width) / 2);
    EXPECT_EQ(geometry.y, static_cast<int>(panel) + (screenHeight - static_cast<int>(panel) - size.height) / 2);
    // The language list places itself on the window's monitor, wherever
    // the pointer has gone since.
    ASSERT_TRUE(XdoTool({"mousemove", std::to_string(screenWidth - 1 - c.pointerX), std::to_string(screenHeight / 2)}));
    const GuiRect monitor = m_backend->MonitorRect();
    EXPECT_EQ(monitor.x, c.monitorX);
    EXPECT_EQ(monitor.width, half);
    EXPECT_EQ(monitor.height, screenHeight);
  }
}

TEST_F(DesktopWindowTest, PushesFramesOnlyWhenThePixelsChange) {
  PumpFor(100);
  const std::uint64_t settled = m_backend->Display().PresentCount();
  PumpFor(300);  // about thirty repaint ticks, nothing changes
  EXPECT_EQ(m_backend->Display().PresentCount(), settled);

  // Hovering the Install button changes its look: a new frame goes out.
  CGuiBitmapBorderStepCtrl* form = m_window->CurrentForm();
  GuiControl* install = m_window->FindControl(ctlSingleInstallButtonInstall);
  ASSERT_NE(install, nullptr);
  MovePointer(Centre(*install, *form));
  ASSERT_TRUE(Pump([&] { return m_window->HotControl() == install; }));
  PumpFor(50);
  const std::uint64_t hovered = m_backend->Display().PresentCount();
  EXPECT_GT(hovered, settled);

  // A change the window hears nothing of (the controller hides a control)
  // still shows within the idle frame period once the window has settled.
  ASSERT_TRUE(XdoTool({"mousemove", "0", "0"}));
  PumpFor(300);
  const std::uint64_t left = m_backend->Display().PresentCount();
  PumpFor(200);
  ASSERT_EQ(m_backend->Display().PresentCount(), left);
  install->visible = false;
  int ticks = 0;
  while (m_backend->Display().PresentCount() == left && ticks < 2 * CLayeredWindow::kIdleFrameTicks) {
    m_window->OnTimerTick();
    ++ticks;
  }
  EXPECT_LE(ticks, CLayeredWindow::kIdleFrameTicks);
}

// The pixels the server shows of a client rectangle.
std::vector<unsigned long> ShownPixels(Display* x, GuiPoint shown, GuiRect r) {
  std::vector<unsigned long> pixels;
  XImage* shot = XGetImage(x, DefaultRootWindow(x), shown.x + r.x, shown.y + r.y, static_cast<unsigned>(r.width),
                           static_cast<unsigned>(r.height), AllPlanes, ZPixmap);
  if (!shot) return pixels;
  for (int row = 0; row < r.height; ++row) {
    for (int column = 0; column < r.width; ++column) pixels.push_back(XGetPixel(shot, column, row));
  }
  XDestroyImage(shot);
  return pixels;
}

// While the waiting bar runs, frames between whole ones redraw only the
// bar; a change the controller notes shows in the very next frame, and one
// nobody noted still shows with the next whole frame.
TEST_F(DesktopWindowTest, TheWaitingBarsFramesStillShowEveryChange) {
  GuiControl* wait = m_window->FindControl(ctlSingleInstallSpriterangeWait);
  GuiControl* install = m_window->FindControl(ctlSingleInstallButtonInstall);
  GuiControl* browse = m_window->FindControl(ctlSingleInstallButtonBrowse);
  ASSERT_TRUE(wait && install && browse);
  wait->visible = true;
  PumpFor(300);
  const std::uint64_t before = m_backend->Display().PresentCount();
  PumpFor(300);
  EXPECT_GE(m_backend->Display().PresentCount(), before + 5) << "the bar does not move";

  struct Case {
    const char* what;
    GuiControl* control;
    bool noted;
  } cases[] = {{"noted", install, true}, {"not noted", browse, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const GuiRect area = c.control->ScreenRect();
    const std::vector<unsigned long> shown = ShownPixels(m_x, m_window->ShownPosition(), area);
    ASSERT_FALSE(shown.empty());
    c.control->visible = false;
    if (c.noted) {
      m_window->NoteStateChange();
      const std::uint64_t count = m_backend->Display().PresentCount();
      ASSERT_TRUE(Pump([&] { return m_backend->Display().PresentCount() > count; }));
      XSync(m_x, False);
      EXPECT_NE(ShownPixels(m_x, m_window->ShownPosition(), area), shown) << "the next frame missed the change";
    } else {
      EXPECT_TRUE(Pump([&] { return ShownPixels(m_x, m_window->ShownPosition(), area) != shown; }))
          << "the change never showed";
    }
  }
}

// Hide (the tray's) takes the window off the screen and it draws nothing
// there, not even its waiting bar; Show puts it back with what changed
// meanwhile.
TEST_F(DesktopWindowTest, HiddenTheWindowLeavesTheScreenAndDrawsNothingUntilShown) {
  GuiControl* wait = m_window->FindControl(ctlSingleInstallSpriterangeWait);
  GuiControl* install = m_window->FindControl(ctlSingleInstallButtonInstall);
  ASSERT_TRUE(wait && install);
  wait->visible = true;
  PumpFor(100);
  const GuiRect area = install->ScreenRect();
  const std::vector<unsigned long> before = ShownPixels(m_x, m_window->ShownPosition(), area);

  m_backend->Show(false);
  ASSERT_TRUE(Pump([this] { return !Mapped(); })) << "the window stayed on the screen";
  const std::uint64_t hidden = m_backend->Display().PresentCount();
  install->visible = false;
  PumpFor(300);
  EXPECT_EQ(m_backend->Display().PresentCount(), hidden) << "frames went out while hidden";

  m_backend->Show(true);
  ASSERT_TRUE(Pump([this] { return Mapped(); })) << "the window did not come back";
  EXPECT_TRUE(Pump([&] { return ShownPixels(m_x, m_window->ShownPosition(), area) != before; }))
      << "the change made while hidden does not show";
}

TEST_F(DesktopWindowTest, DraggingTheBackgroundMovesTheWindowAndAButtonDoesNot) {
  CGuiBitmapBorderStepCtrl* form = m_window->CurrentForm();
  const GuiPoint background = BackgroundPoint();
  ASSERT_GE(background.x, 0) << "the page has no bare background";
  const GuiPoint before = m_window->ShownPosition();
  MovePointer(background);
  ASSERT_TRUE(Pump([&] { return m_window->HotControl() == form; }));
  ASSERT_TRUE(XdoTool({"mousedown", "1"}));
  ASSERT_TRUE(Pump([&] { return m_window->Dragging(); }));
  ASSERT_TRUE(XdoTool({"mousemove_relative", "--", "37", "-23"}));
  PumpFor(60);
  ASSERT_TRUE(XdoTool({"mouseup", "1"}));
  ASSERT_TRUE(Pump([&] { return !m_window->Dragging(); }));
  PumpFor(60);
  const GuiPoint after = m_window->ShownPosition();
  EXPECT_EQ(after.x - before.x, 37);
  EXPECT_EQ(after.y - before.y, -23);
  const XWindowAttributes moved = Geometry();
  EXPECT_EQ(moved.x, after.x);
  EXPECT_EQ(moved.y, after.y);

  // A press on a button that drags the pointer away moves nothing.
  GuiControl* install = m_window->FindControl(ctlSingleInstallButtonInstall);
  ASSERT_NE(install, nullptr);
  MovePointer(Centre(*install, *form));
  ASSERT_TRUE(Pump([&] { return m_window->HotControl() == install; }));
  ASSERT_TRUE(XdoTool({"mousedown", "1"}));
  PumpFor(30);
  ASSERT_TRUE(XdoTool({"mousemove_relative", "--", "50", "40"}));
  PumpFor(30);
  ASSERT_TRUE(XdoTool({"mouseup", "1"}));
  PumpFor(60);
  EXPECT_FALSE(m_window->Dragging());
  EXPECT_EQ(m_window->ShownPosition().x, after.x);
  EXPECT_EQ(m_window->ShownPosition().y, after.y);
}

TEST_F(DesktopWindowTest, ClickingAButtonGivesItsCommand) {
  CGuiBitmapBorderStepCtrl* form = m_window->CurrentForm();
  GuiControl* install = m_window->FindControl(ctlSingleInstallButtonInstall);
  ASSERT_NE(install, nullptr);
  MovePointer(Centre(*install, *form));
  ASSERT_TRUE(Pump([&] { return m_window->HotControl() == install; }));
  ASSERT_TRUE(XdoTool({"click", "1"}));
  ASSERT_TRUE(Pump([&] { return !m_commands.empty(); }));
  EXPECT_EQ(m_commands, std::vector<int>{ctlSingleInstallButtonInstall});
}

// Text typed on the keyboard, Latin and Cyrillic (xdotool maps the
// Cyrillic key symbols onto spare key codes; the input method turns them
// into text), and text pasted from another program's clipboard.
TEST_F(DesktopWindowTest, AnEditFieldTakesTypedAndPastedText) {
  CGuiEditCtrl* edit = nullptr;
  int formNumber = 0;
  for (std::size_t i = 0; i < m_window->FormCount() && !edit; ++i) {
    GuiControl* found = FindIn(*m_window->Form(i), [](GuiControl& c) { return dynamic_cast<CGuiEditCtrl*>(&c); });
    if (found) {
      edit = static_cast<CGuiEditCtrl*>(found);
      formNumber = static_cast<int>(i) + 1;
    }
  }
  ASSERT_NE(edit, nullptr) << "the theme has no edit field";
  m_window->ShowForm(formNumber);
  edit->visible = true;
  edit->enabled = true;
  edit->SetContent("");
  PumpFor(50);
  CGuiBitmapBorderStepCtrl* form = m_window->CurrentForm();
  MovePointer(Centre(*edit, *form));
  ASSERT_TRUE(XdoTool({"click", "1"}));
  ASSERT_TRUE(Pump([&] { return m_window->FocusControl() == edit; }));
  // xdotool binds a key symbol missing from the keyboard map only for the
  // moment of its key press; the Cyrillic letters get keys of their own
  // first, as a Cyrillic layout would give them.
  ASSERT_TRUE(MapSpareKeys({XStringToKeysym("Cyrillic_zhe"), XStringToKeysym("Cyrillic_u"),
                            XStringToKeysym("Cyrillic_ka")}));
  ASSERT_TRUE(XdoTool({"type", "--delay", "30", "Ab1 "}));
  ASSERT_TRUE(XdoTool({"key", "--delay", "30", "Cyrillic_zhe", "Cyrillic_u", "Cyrillic_ka"}));
  EXPECT_TRUE(Pump([&] { return edit->Content() == "Ab1 жук"; })) << edit->Content();

  {
    // Another client owns the clipboard and answers for it.
    window_testing::ClipboardOwner owner("→ pasted");
    ASSERT_TRUE(owner.Owning());
    ASSERT_TRUE(XdoTool({"key", "ctrl+v"}));
    EXPECT_TRUE(Pump([&] { return edit->Content() == "Ab1 жук→ pasted"; })) << edit->Content();
  }

  // Copied text is offered to the desktop: the clipboard now belongs to the
  // launcher's window.
  ASSERT_TRUE(XdoTool({"key", "ctrl+a", "ctrl+c"}));
  const Atom clipboard = XInternAtom(m_x, "CLIPBOARD", False);
  EXPECT_TRUE(Pump([&] { return XGetSelectionOwner(m_x, clipboard) == NativeWindow(); }));
  EXPECT_EQ(platform::ProcessClipboard().GetText().value_or(""), "Ab1 жук→ pasted");
}

// The language list near the bottom of the screen: with no room below the
// window the list opens above the box, the window grows upwards by the
// part of the list above the page (the page stays where it was on the
// screen), and a click on a language re-texts the window.
TEST_F(DesktopWindowTest, TheLanguageListGrowsTheWindowUpwardsAndReTextsIt) {
  CGuiComboBoxCtrl* box = m_window->LanguageBox();
  ASSERT_NE(box, nullptr) << "the install page has no language box";
  // Drag the window down to the bottom of the screen by its background.
  const GuiPoint background = BackgroundPoint();
  ASSERT_GE(background.x, 0);
  MovePointer(background);
  ASSERT_TRUE(Pump([&] { return m_window->HotControl() == m_window->CurrentForm(); }));
  ASSERT_TRUE(XdoTool({"mousedown", "1"}));
  ASSERT_TRUE(Pump([&] { return m_window->Dragging(); }));
  ASSERT_TRUE(XdoTool({"mousemove_relative", "--", "0", std::to_string(DisplayHeight(m_x, DefaultScreen(m_x)) - 4 - m_window->SurfaceSize().height -
                                                                m_window->ShownPosition().y)}));
  PumpFor(60);
  ASSERT_TRUE(XdoTool({"mouseup", "1"}));
  ASSERT_TRUE(Pump([&] { return !m_window->Dragging(); }));
  PumpFor(60);
  const GuiPoint top = m_window->ShownPosition();
  const GuiSize closedSize = m_window->SurfaceSize();
  ASSERT_GE(top.y + closedSize.height, DisplayHeight(m_x, DefaultScreen(m_x)) - 10);
  const std::string englishInstall = m_window->FindControl(ctlSingleInstallButtonInstall)->text;

  MovePointer(Centre(*box, *m_window->CurrentForm()));
  ASSERT_TRUE(XdoTool({"sleep", "0.1", "click", "1"}));
  ASSERT_TRUE(Pump([&] { return box->IsOpen(); }));
  PumpFor(60);
  const int shift = m_window->ListShift();
  EXPECT_LT(box->ListOffsetY(), 0) << "the list did not open upwards";
  EXPECT_GT(shift, 0) << "the list stays inside the page";
  EXPECT_EQ(shift, std::max(0, -(box->screenY - m_window->CurrentForm()->screenY + box->ListOffsetY())));
  EXPECT_EQ(m_window->ShownPosition().y, top.y - shift);
  EXPECT_GE(m_window->SurfaceSize().height, closedSize.height);
  EXPECT_EQ(Geometry().y, m_window->ShownPosition().y);
  EXPECT_EQ(Geometry().height, m_window->SurfaceSize().height);

  const int russian = static_cast<int>(m_languages.index.at("ru"));
  ASSERT_EQ(box->KeyAt(russian), ctlButtonLang1 + russian);
  const GuiRect item = box->ItemRect(russian);
  MovePointer({item.x + item.width / 2, item.y + item.height / 2});
  ASSERT_TRUE(XdoTool({"sleep", "0.1", "click", "1"}));
  ASSERT_TRUE(Pump([&] { return !box->IsOpen(); }));
  PumpFor(60);
  EXPECT_EQ(m_languages.currentCode, "ru");
  EXPECT_EQ(box->text, m_languages.entries[russian].longName);
  EXPECT_NE(m_window->FindControl(ctlSingleInstallButtonInstall)->text, englishInstall);
  // Closed, the window is the page again, where it was.
  EXPECT_EQ(m_window->ListShift(), 0);
  EXPECT_EQ(m_window->ShownPosition().y, top.y);
  EXPECT_EQ(Geometry().height, closedSize.height);
}

TEST_F(DesktopWindowTest, TheWindowManagersCloseEndsTheMessageLoop) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = NativeWindow();
  event.xclient.message_type = XInternAtom(m_x, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_x, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(m_x, NativeWindow(), False, NoEventMask, &event);
  XFlush(m_x);
  platform::Message message;
  EXPECT_TRUE(Pump([&] { return platform::PeekMessage(message) && message.message == platform::WM_QUIT; }));
}

TEST_F(DesktopWindowTest, AChangeOfXftDpiRelaysTheWindowOut) {
  const GuiSize before = m_window->SurfaceSize();
  const std::string resources = "Xft.dpi:\t144\n";
  XChangeProperty(m_x, DefaultRootWindow(m_x), XInternAtom(m_x, "RESOURCE_MANAGER", False), XA_STRING, 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(resources.data()),
                  static_cast<int>(resources.size()));
  XFlush(m_x);
  ASSERT_TRUE(Pump([] { return DpiFactor() == 1.5; }));
  EXPECT_EQ(m_backend->Dpi(), 144);
  const GuiSize after = m_window->SurfaceSize();
  EXPECT_NEAR(after.width, before.width * 1.5, 2);
  PumpFor(50);
  EXPECT_EQ(Geometry().width, after.width);
}

TEST(DpiStepTest, RoundsToQuarterSteps) {
  const std::pair<int, int> cases[] = {{0, 96}, {72, 96}, {96, 96}, {107, 96}, {108, 120}, {120, 120},
                                       {140, 144}, {192, 192}, {600, 384}};
  for (const auto& [dpi, step] : cases) EXPECT_EQ(RoundDpiToThemeStep(dpi), step) << dpi;
}

}  // namespace
}  // namespace ui
