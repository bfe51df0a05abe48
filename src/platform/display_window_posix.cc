#include "platform/display_window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/error_box.h"
#include "platform/local_time.h"
#include "platform/message_loop.h"

namespace platform {
namespace {

// Protocol errors (a window gone, a refused grab, a shared-memory segment
// the server cannot attach) are results here, never the end of the process.
int g_lastXError = 0;
int RecordXError(Display*, XErrorEvent* event) {
  g_lastXError = event->error_code;
  return 0;
}

constexpr const char* kAtomNames[] = {
    "WM_PROTOCOLS",   "WM_DELETE_WINDOW",   "_NET_WM_PING",          "_NET_WM_NAME",
    "UTF8_STRING",    "_NET_WM_PID",        "_NET_WM_ICON",          "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_NORMAL",           "_MOTIF_WM_HINTS",       "_NET_WORKAREA",
    "_NET_CURRENT_DESKTOP",                 "CLIPBOARD",             "TARGETS",
    "TEXT",           "LAUNCHER_SELECTION", "INCR",                  "RESOURCE_MANAGER",
};
enum AtomIndex {
  aWmProtocols,
  aWmDeleteWindow,
  aNetWmPing,
  aNetWmName,
  aUtf8String,
  aNetWmPid,
  aNetWmIcon,
  aNetWmWindowType,
  aNetWmWindowTypeNormal,
  aMotifWmHints,
  aNetWorkarea,
  aNetCurrentDesktop,
  aClipboard,
  aTargets,
  aText,
  aLauncherSelection,
  aIncr,
  aResourceManager,
  aCount
};

std::string Latin1ToUtf8(const std::string& latin1) {
  std::string out;
  for (unsigned char c : latin1) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Characters above U+00FF become '?'.
std::string Utf8ToLatin1(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    if (length == 2 && i + 1 < utf8.size()) {
      const unsigned code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
      out += code <= 0xFF ? static_cast<char>(code) : '?';
    } else {
      out += '?';
    }
    i += length;
  }
  return out;
}

class X11DisplayWindow;

class SelectionClipboard final : public IClipboard {
 public:
  explicit SelectionClipboard(X11DisplayWindow& owner) : m_owner(owner) {}
  bool SetText(const std::string& text) override;
  std::optional<std::string> GetText() override;

 private:
  X11DisplayWindow& m_owner;
};

class X11DisplayWindow final : public DisplayWindow {
 public:
  explicit X11DisplayWindow(Display* display) : m_display(display), m_clipboard(*this) {
    m_screen = DefaultScreen(display);
    m_root = RootWindow(display, m_screen);
    XInternAtoms(display, const_cast<char**>(kAtomNames), aCount, False, m_atoms);
    XVisualInfo info;
    if (XMatchVisualInfo(display, m_screen, 32, TrueColor, &info)) {
      m_visual = info.visual;
      m_depth = 32;
      m_argb = true;
    } else {
      m_visual = DefaultVisual(display, m_screen);
      m_depth = DefaultDepth(display, m_screen);
    }
    int eventBase = 0, errorBase = 0;
    m_shapeAvailable = XShapeQueryExtension(display, &eventBase, &errorBase);
    m_shmAvailable = XShmQueryExtension(display);
    // Monitors as objects of their own came with RandR 1.5.
    int randrMajor = 0, randrMinor = 0;
    m_monitorsAvailable = XRRQueryExtension(display, &eventBase, &errorBase) &&
                          XRRQueryVersion(display, &randrMajor, &randrMinor) &&
                          (randrMajor > 1 || (randrMajor == 1 && randrMinor >= 5));
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_dpi = ReadDpi();
  }

  ~X11DisplayWindow() override {
    Destroy();
    if (m_im) XCloseIM(m_im);
    XCloseDisplay(m_display);
    if (m_wakeFd >= 0) ::close(m_wakeFd);
  }

  bool Create(const std::string& title) override {
    if (m_window) return true;
    XSetWindowAttributes attributes{};
    unsigned long mask = CWBackPixmap | CWBorderPixel | CWEventMask;
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    attributes.event_mask = ExposureMask | StructureNotifyMask | PointerMotionMask | ButtonPressMask |
                            ButtonReleaseMask | LeaveWindowMask | EnterWindowMask | KeyPressMask | FocusChangeMask;
    if (m_argb) {
      m_colormap = XCreateColormap(m_display, m_root, m_visual, AllocNone);
      attributes.colormap = m_colormap;
      mask |= CWColormap;
    }
    g_lastXError = 0;
    m_window = XCreateWindow(m_display, m_root, 0, 0, 1, 1, 0, m_depth, InputOutput, m_visual, mask, &attributes);
    XSync(m_display, False);
    if (!m_window || g_lastXError != 0) {
      m_window = 0;
      return false;
    }
    m_width = m_height = 1;
    m_gc = XCreateGC(m_display, m_window, 0, nullptr);
    XSelectInput(m_display, m_root, PropertyChangeMask);

    XClassHint classHint;
    classHint.res_name = const_cast<char*>("launcher");
    classHint.res_class = const_cast<char*>("Launcher");
    XWMHints wmHints{};
    wmHints.flags = InputHint | StateHint;
    wmHints.input = True;
    wmHints.initial_state = NormalState;
    XSizeHints sizeHints{};
    sizeHints.flags = USPosition | PPosition;
    Xutf8SetWMProperties(m_display, m_window, title.c_str(), title.c_str(), nullptr, 0, &sizeHints, &wmHints,
                         &classHint);
    SetTitle(title);
    const long pid = ::getpid();
    XChangeProperty(m_display, m_window, m_atoms[aNetWmPid], XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    // A normal window (taskbar, window switching) without the desktop's
    // decorations: the theme draws its own frame.
    const Atom type = m_atoms[aNetWmWindowTypeNormal];
    XChangeProperty(m_display, m_window, m_atoms[aNetWmWindowType], XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&type), 1);
    const long motifHints[5] = {2 /* decorations given */, 0, 0 /* none */, 0, 0};
    XChangeProperty(m_display, m_window, m_atoms[aMotifWmHints], m_atoms[aMotifWmHints], 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(motifHints), 5);
    Atom protocols[2] = {m_atoms[aWmDeleteWindow], m_atoms[aNetWmPing]};
    XSetWMProtocols(m_display, m_window, protocols, 2);

    // The input method opens with the first focus or key, not here: loading
    // it takes longer than showing the first frame.
    ::platform::SetErrorBoxOwner(static_cast<uint64_t>(m_window));
    WatchDescriptor(ConnectionNumber(m_display), [this] { ProcessEvents(); });
    if (m_wakeFd >= 0) {
      WatchDescriptor(m_wakeFd, [this] {
        uint64_t value;
        while (::read(m_wakeFd, &value, sizeof value) > 0) {
        }
        ProcessEvents();
      });
    }
    m_watching = true;
    XFlush(m_display);
    return true;
  }

  void Destroy() override {
    if (m_watching) {
      UnwatchDescriptor(ConnectionNumber(m_display));
      if (m_wakeFd >= 0) UnwatchDescriptor(m_wakeFd);
      m_watching = false;
    }
    if (!m_window) return;
    ::platform::SetErrorBoxOwner(0);
    if (m_grabbed) XUngrabPointer(m_display, CurrentTime);
    m_grabbed = false;
    if (m_ic) XDestroyIC(m_ic);
    m_ic = nullptr;
    m_imTried = false;
    FreeImage();
    if (m_gc) XFreeGC(m_display, m_gc);
    m_gc = nullptr;
    XDestroyWindow(m_display, m_window);
    if (m_colormap) XFreeColormap(m_display, m_colormap);
    m_colormap = 0;
    m_window = 0;
    m_mapped = false;
    m_hidden = false;
    m_shape.clear();
    m_ownsClipboard = false;
    XSync(m_display, False);
  }

  void SetTitle(const std::string& title) override {
    if (!m_window) return;
    XChangeProperty(m_display, m_window, m_atoms[aNetWmName], m_atoms[aUtf8String], 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
    XTextProperty property{};
    char* list[1] = {const_cast<char*>(title.c_str())};
    if (Xutf8TextListToTextProperty(m_display, list, 1, XStdICCTextStyle, &property) >= Success) {
      XSetWMName(m_display, m_window, &property);
      XSetWMIconName(m_display, m_window, &property);
      XFree(property.value);
    }
    XFlush(m_display);
  }

  void SetIcon(int width, int height, const uint32_t* argb) override {
    if (!m_window || width <= 0 || height <= 0 || !argb) return;
    // Format-32 properties travel as longs in Xlib's interface.
    std::vector<unsigned long> data;
    data.reserve(2 + static_cast<size_t>(width) * height);
    data.push_back(static_cast<unsigned long>(width));
    data.push_back(static_cast<unsigned long>(height));
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) data.push_back(argb[i]);
    XChangeProperty(m_display, m_window, m_atoms[aNetWmIcon], XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
    XFlush(m_display);
  }

  bool Present(const uint8_t* pixels, int stride, int width, int height, int x, int y) override {
    return PresentRows(pixels, stride, width, height, x, y, 0, height);
  }

  bool PresentRows(const uint8_t* pixels, int stride, int width, int height, int x, int y, int top,
                   int bottom) override {
    if (!m_window || !pixels || width <= 0 || height <= 0 || stride < width * 4) return false;
    const bool sameSize = m_image && m_image->width == width && m_image->height == height;
    // Only the band of rows that changed travels to the server (a waiting
    // bar's frame is a few rows of the window).
    top = std::clamp(top, 0, height);
    bottom = std::clamp(bottom, top, height);
    if (sameSize && (m_mapped || m_hidden)) {
      ChangedRows(pixels, stride, top, bottom);
      if (top == bottom && x == m_x && y == m_y) return true;
    } else {
      // A new image or a first frame: all of it goes.
      top = 0;
      bottom = height;
      if (!sameSize && !MakeImage(width, height)) return false;
    }
    for (int row = top; row < bottom; ++row) {
      std::memcpy(m_image->data + static_cast<size_t>(row) * m_image->bytes_per_line,
                  pixels + static_cast<size_t>(row) * stride, static_cast<size_t>(width) * 4);
    }
    if (width != m_width || height != m_height || x != m_x || y != m_y) {
      XMoveResizeWindow(m_display, m_window, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
      m_x = x;
      m_y = y;
      m_width = width;
      m_height = height;
    }
    UpdateShape(top, bottom);
    if (!m_mapped && !m_hidden) {
      XMapRaised(m_display, m_window);
      m_mapped = true;
    }
    if (top < bottom && m_mapped) PutImage(top, bottom);
    ++m_presentCount;
    WakeIfQueued();
    return true;
  }

  uint64_t PresentCount() const override { return m_presentCount; }

  ScreenRect ScreenArea() override {
    return {0, 0, DisplayWidth(m_display, m_screen), DisplayHeight(m_display, m_screen)};
  }

  ScreenRect MonitorArea() override {
    const ScreenRect monitor = WindowMonitor();
    WakeIfQueued();
    return monitor;
  }

  // The desktop's work area (_NET_WORKAREA of the current desktop, else the
  // screen) on the monitor the window opens on; the whole monitor when the
  // two do not overlap.
  ScreenRect WorkArea() override {
    ScreenRect area = ScreenArea();
    long desktop = 0;
    std::vector<long> current = ReadCardinals(m_root, m_atoms[aNetCurrentDesktop]);
    if (!current.empty()) desktop = current[0];
    const std::vector<long> areas = ReadCardinals(m_root, m_atoms[aNetWorkarea]);
    const size_t first = static_cast<size_t>(desktop) * 4;
    if (desktop >= 0 && areas.size() >= first + 4 && areas[first + 2] > 0 && areas[first + 3] > 0) {
      area = {static_cast<int>(areas[first]), static_cast<int>(areas[first + 1]), static_cast<int>(areas[first + 2]),
              static_cast<int>(areas[first + 3])};
    }
    const ScreenRect monitor = OpeningMonitor();
    const int left = std::max(area.x, monitor.x);
    const int top = std::max(area.y, monitor.y);
    const int right = std::min(area.x + area.width, monitor.x + monitor.width);
    const int bottom = std::min(area.y + area.height, monitor.y + monitor.height);
    WakeIfQueued();
    if (right <= left || bottom <= top) return monitor;
    return {left, top, right - left, bottom - top};
  }

  int Dpi() override { return m_dpi; }

  // Asked of the server at most once a second: a compositing manager
  // comes and goes rarely, and every frame asks.
  bool Composited() override {
    const uint64_t now = TickCountMs();
    if (m_compositedCheckedMs != 0 && now - m_compositedCheckedMs < 1000) return m_composited;
    const std::string name = "_NET_WM_CM_S" + std::to_string(m_screen);
    const Atom selection = XInternAtom(m_display, name.c_str(), False);
    m_composited = XGetSelectionOwner(m_display, selection) != None;
    m_compositedCheckedMs = now == 0 ? 1 : now;
    WakeIfQueued();
    return m_composited;
  }

  void SetCapture(bool capture) override {
    if (!m_window || capture == m_grabbed) return;
    if (capture) {
      m_grabbed = XGrabPointer(m_display, m_window, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                               GrabModeAsync, GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
    } else {
      XUngrabPointer(m_display, CurrentTime);
      m_grabbed = false;
    }
    XFlush(m_display);
  }

  void TakeFocus() override {
    if (!m_window || !m_mapped || m_focused) return;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(m_display, m_window, &attributes) || attributes.map_state != IsViewable) return;
    XSetInputFocus(m_display, m_window, RevertToParent, CurrentTime);
    XFlush(m_display);
    WakeIfQueued();
  }

  void SetVisible(bool visible) override {
    if (visible == !m_hidden) return;
    m_hidden = !visible;
    if (!m_window) return;
    if (m_hidden && m_mapped) {
      XUnmapWindow(m_display, m_window);
      m_mapped = false;
      m_focused = false;
    } else if (!m_hidden && !m_mapped && m_image) {
      // The last frame goes out with the Expose that follows the map.
      XMapRaised(m_display, m_window);
      m_mapped = true;
    }
    XFlush(m_display);
  }

  bool Visible() const override { return !m_hidden; }

  void SetEventHandler(EventHandler handler) override { m_handler = std::move(handler); }

  void ProcessEvents() override {
    while (m_window && XPending(m_display) > 0) {
      XEvent event;
      XNextEvent(m_display, &event);
      if (XFilterEvent(&event, None)) continue;
      Handle(event);
    }
  }

  uint64_t NativeId() const override { return m_window; }
  IClipboard& Clipboard() override { return m_clipboard; }

  // --- The CLIPBOARD selection ----------------------------------------------------

  bool OwnClipboard(const std::string& text) {
    if (!m_window) return false;
    m_clipboardText = text;
    XSetSelectionOwner(m_display, m_atoms[aClipboard], m_window, m_lastTime);
    m_ownsClipboard = XGetSelectionOwner(m_display, m_atoms[aClipboard]) == m_window;
    WakeIfQueued();
    return m_ownsClipboard;
  }

  std::optional<std::string> ReadClipboard() {
    if (!m_window) return std::nullopt;
    const Window owner = XGetSelectionOwner(m_display, m_atoms[aClipboard]);
    if (owner == None) return std::nullopt;
    if (owner == m_window) return m_clipboardText;
    std::optional<std::string> text = Convert(m_atoms[aUtf8String]);
    if (!text) text = Convert(XA_STRING);
    WakeIfQueued();
    return text;
  }

 private:
  struct Monitors {
    std::vector<ScreenRect> rects;
    int primary = -1;
  };

  // The monitors the server lists (RandR 1.5), with the primary one; none
  // when it lists none.
  Monitors ListMonitors() {
    Monitors list;
    if (!m_monitorsAvailable) return list;
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(m_display, m_root, True, &count);
    for (int i = 0; monitors && i < count; ++i) {
      const XRRMonitorInfo& m = monitors[i];
      if (m.width <= 0 || m.height <= 0) continue;
      if (m.primary && list.primary < 0) list.primary = static_cast<int>(list.rects.size());
      list.rects.push_back({m.x, m.y, m.width, m.height});
    }
    if (monitors) XRRFreeMonitors(monitors);
    return list;
  }

  // The monitor a new window opens on, as window managers place it: the
  // one under the pointer, else the primary one, else the first; the
  // whole screen when the server lists no monitors.
  ScreenRect OpeningMonitor() {
    const Monitors monitors = ListMonitors();
    if (monitors.rects.empty()) return ScreenArea();
    Window rootReturn = 0, child = 0;
    int pointerX = 0, pointerY = 0, windowX = 0, windowY = 0;
    unsigned int buttons = 0;
    if (XQueryPointer(m_display, m_root, &rootReturn, &child, &pointerX, &pointerY, &windowX, &windowY, &buttons)) {
      for (const ScreenRect& m : monitors.rects) {
        if (pointerX >= m.x && pointerX < m.x + m.width && pointerY >= m.y && pointerY < m.y + m.height) return m;
      }
    }
    return monitors.rects[monitors.primary >= 0 ? monitors.primary : 0];
  }

  // The monitor that shows most of the window, else the one nearest to it;
  // the opening monitor before the window is shown.
  ScreenRect WindowMonitor() {
    if (!m_mapped || m_width <= 0 || m_height <= 0) return OpeningMonitor();
    const Monitors monitors = ListMonitors();
    if (monitors.rects.empty()) return ScreenArea();
    const ScreenRect* best = nullptr;
    long long bestOverlap = 0;
    long long bestDistance = 0;
    for (const ScreenRect& m : monitors.rects) {
      const long long overlapX = std::min(m_x + m_width, m.x + m.width) - std::max(m_x, m.x);
      const long long overlapY = std::min(m_y + m_height, m.y + m.height) - std::max(m_y, m.y);
      const long long overlap = overlapX > 0 && overlapY > 0 ? overlapX * overlapY : 0;
      // Off every monitor: the distance between the centres decides.
      const long long dx = (2LL * m_x + m_width) - (2LL * m.x + m.width);
      const long long dy = (2LL * m_y + m_height) - (2LL * m.y + m.height);
      const long long distance = dx * dx + dy * dy;
      if (!best || overlap > bestOverlap || (overlap == bestOverlap && overlap == 0 && distance < bestDistance)) {
        best = &m;
        bestOverlap = overlap;
        bestDistance = distance;
      }
    }
    return *best;
  }

  // Opens the input method and the window's input context once.
  void OpenInputMethod() {
    if (m_imTried || !m_window) return;
    m_imTried = true;
    // The input method is opened in a UTF-8 character type so that it can
    // hand over every script; the process's own locale is left as it was.
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    const std::string saved = current ? current : "C";
    std::setlocale(LC_CTYPE, "C.UTF-8");
    if (!XSupportsLocale()) std::setlocale(LC_CTYPE, saved.c_str());
    if (!m_im) {
      XSetLocaleModifiers("");
      m_im = XOpenIM(m_display, nullptr, nullptr, nullptr);
      if (!m_im) {
        XSetLocaleModifiers("@im=none");
        m_im = XOpenIM(m_display, nullptr, nullptr, nullptr);
      }
    }
    if (m_im) {
      m_ic = XCreateIC(m_im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, m_window,
                       XNFocusWindow, m_window, nullptr);
      if (m_ic) {
        long filterMask = 0;
        XGetICValues(m_ic, XNFilterEvents, &filterMask, nullptr);
        XSelectInput(m_display, m_window,
                     ExposureMask | StructureNotifyMask | PointerMotionMask | ButtonPressMask | ButtonReleaseMask |
                         LeaveWindowMask | EnterWindowMask | KeyPressMask | KeyReleaseMask | FocusChangeMask |
                         filterMask);
      }
    }
    std::setlocale(LC_CTYPE, saved.c_str());
  }

  void Emit(const DisplayEvent& event) {
    if (m_handler) m_handler(event);
  }

  static uint32_t Modifiers(unsigned state) {
    uint32_t modifiers = 0;
    if (state & ShiftMask) modifiers |= kDisplayModShift;
    if (state & ControlMask) modifiers |= kDisplayModCtrl;
    if (state & Mod1Mask) modifiers |= kDisplayModAlt;
    return modifiers;
  }

  void Handle(XEvent& event) {
    if (event.xany.window == m_root) {
      if (event.type == PropertyNotify && event.xproperty.atom == m_atoms[aResourceManager]) {
        const int dpi = ReadDpi();
        if (dpi != m_dpi) {
          m_dpi = dpi;
          DisplayEvent out;
          out.kind = DisplayEvent::kDpiChanged;
          out.dpi = dpi;
          Emit(out);
        }
      }
      return;
    }
    DisplayEvent out;
    switch (event.type) {
      case MotionNotify: {
        // Only the latest position of a burst matters.
        while (XCheckTypedWindowEvent(m_display, m_window, MotionNotify, &event)) {
        }
        m_lastTime = event.xmotion.time;
        out.kind = DisplayEvent::kMouseMove;
        out.rootX = event.xmotion.x_root;
        out.rootY = event.xmotion.y_root;
        out.modifiers = Modifiers(event.xmotion.state);
        out.timeMs = event.xmotion.time;
        Emit(out);
        break;
      }
      case ButtonPress:
      case ButtonRelease: {
        m_lastTime = event.xbutton.time;
        const unsigned button = event.xbutton.button;
        out.rootX = event.xbutton.x_root;
        out.rootY = event.xbutton.y_root;
        out.modifiers = Modifiers(event.xbutton.state);
        out.timeMs = event.xbutton.time;
        if (button == Button4 || button == Button5) {
          if (event.type == ButtonRelease) break;
          out.kind = DisplayEvent::kWheel;
          out.wheelDelta = button == Button4 ? 120 : -120;
        } else if (button <= Button3) {
          out.kind = event.type == ButtonPress ? DisplayEvent::kButtonDown : DisplayEvent::kButtonUp;
          out.button = static_cast<int>(button);
        } else {
          break;
        }
        Emit(out);
        break;
      }
      case LeaveNotify:
        m_lastTime = event.xcrossing.time;
        out.rootX = event.xcrossing.x_root;
        out.rootY = event.xcrossing.y_root;
        if (event.xcrossing.mode == NotifyNormal) {
          out.kind = DisplayEvent::kMouseLeave;
          Emit(out);
        } else if (event.xcrossing.mode == NotifyGrab && !m_grabbed) {
          out.kind = DisplayEvent::kCaptureLost;
          Emit(out);
        }
        break;
      case KeyPress:
        OpenInputMethod();
        HandleKey(event.xkey);
        break;
      case FocusIn:
        m_focused = true;
        OpenInputMethod();
        if (m_ic) XSetICFocus(m_ic);
        break;
      case FocusOut:
        m_focused = false;
        if (m_ic) XUnsetICFocus(m_ic);
        break;
      case Expose:
        if (event.xexpose.count == 0 && m_image && m_mapped) PutImage(0, m_image->height);
        break;
      case MappingNotify:
        if (event.xmapping.request != MappingPointer) XRefreshKeyboardMapping(&event.xmapping);
        break;
      case ClientMessage:
        if (event.xclient.message_type == m_atoms[aWmProtocols]) {
          const Atom protocol = static_cast<Atom>(event.xclient.data.l[0]);
          if (protocol == m_atoms[aWmDeleteWindow]) {
            out.kind = DisplayEvent::kCloseRequest;
            Emit(out);
          } else if (protocol == m_atoms[aNetWmPing]) {
            event.xclient.window = m_root;
            XSendEvent(m_display, m_root, False, SubstructureNotifyMask | SubstructureRedirectMask, &event);
            XFlush(m_display);
          }
        }
        break;
      case SelectionRequest:
        AnswerSelection(event.xselectionrequest);
        break;
      case SelectionClear:
        if (event.xselectionclear.selection == m_atoms[aClipboard]) m_ownsClipboard = false;
        break;
      default:
        break;
    }
  }

  void HandleKey(XKeyEvent& key) {
    m_lastTime = key.time;
    DisplayEvent out;
    out.kind = DisplayEvent::kKeyDown;
    out.modifiers = Modifiers(key.state);
    out.rootX = key.x_root;
    out.rootY = key.y_root;
    out.timeMs = key.time;
    KeySym keySym = NoSymbol;
    std::vector<char> buffer(64);
    if (m_ic) {
      Status status = 0;
      int length = Xutf8LookupString(m_ic, &key, buffer.data(), static_cast<int>(buffer.size()), &keySym, &status);
      if (status == XBufferOverflow) {
        buffer.resize(static_cast<size_t>(length) + 1);
        length = Xutf8LookupString(m_ic, &key, buffer.data(), static_cast<int>(buffer.size()), &keySym, &status);
      }
      if (status == XLookupChars || status == XLookupBoth) out.text.assign(buffer.data(), static_cast<size_t>(length));
      if (status != XLookupKeySym && status != XLookupBoth) keySym = NoSymbol;
    } else {
      const int length = XLookupString(&key, buffer.data(), static_cast<int>(buffer.size()), &keySym, nullptr);
      out.text = Latin1ToUtf8(std::string(buffer.data(), static_cast<size_t>(std::max(length, 0))));
    }
    out.keySym = static_cast<uint32_t>(keySym);
    if (out.keySym == 0 && out.text.empty()) return;
    Emit(out);
  }

  void AnswerSelection(const XSelectionRequestEvent& request) {
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = m_display;
    reply.requestor = request.requestor;
    reply.selection = request.selection;
    reply.target = request.target;
    reply.time = request.time;
    reply.property = None;
    const Atom property = request.property != None ? request.property : request.target;
    if (request.selection == m_atoms[aClipboard] && m_ownsClipboard) {
      if (request.target == m_atoms[aTargets]) {
        const Atom targets[4] = {m_atoms[aTargets], m_atoms[aUtf8String], XA_STRING, m_atoms[aText]};
        XChangeProperty(m_display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(targets), 4);
        reply.property = property;
      } else if (request.target == m_atoms[aUtf8String] || request.target == m_atoms[aText]) {
        XChangeProperty(m_display, request.requestor, property, m_atoms[aUtf8String], 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(m_clipboardText.data()),
                        static_cast<int>(m_clipboardText.size()));
        reply.property = property;
      } else if (request.target == XA_STRING) {
        const std::string latin1 = Utf8ToLatin1(m_clipboardText);
        XChangeProperty(m_display, request.requestor, property, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(latin1.data()), static_cast<int>(latin1.size()));
        reply.property = property;
      }
    }
    XSendEvent(m_display, request.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
    XFlush(m_display);
  }

  // Asks the clipboard's owner for its text as `target` and waits at most a
  // second for the answer. Large transfers (INCR) are not taken.
  std::optional<std::string> Convert(Atom target) {
    const Atom property = m_atoms[aLauncherSelection];
    XDeleteProperty(m_display, m_window, property);
    XConvertSelection(m_display, m_atoms[aClipboard], target, property, m_window, m_lastTime);
    XFlush(m_display);
    const uint64_t deadline = TickCountMs() + 1000;
    XEvent event;
    for (;;) {
      if (XCheckTypedWindowEvent(m_display, m_window, SelectionNotify, &event)) break;
      const uint64_t now = TickCountMs();
      if (now >= deadline) return std::nullopt;
      pollfd pfd{ConnectionNumber(m_display), POLLIN, 0};
      ::poll(&pfd, 1, static_cast<int>(deadline - now));
    }
    if (event.xselection.property == None) return std::nullopt;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(m_display, m_window, property, 0, 1 << 22, True, AnyPropertyType, &type, &format, &count,
                           &after, &data) != Success) {
      return std::nullopt;
    }
    std::optional<std::string> text;
    if (data && format == 8 && type != m_atoms[aIncr]) {
      const std::string bytes(reinterpret_cast<const char*>(data), count);
      text = type == XA_STRING ? Latin1ToUtf8(bytes) : bytes;
    }
    if (data) XFree(data);
    return text;
  }

  std::vector<long> ReadCardinals(Window window, Atom property) {
    std::vector<long> values;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(m_display, window, property, 0, 1024, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        data && format == 32) {
      const long* longs = reinterpret_cast<const long*>(data);
      values.assign(longs, longs + count);
    }
    if (data) XFree(data);
    return values;
  }

  // Xft.dpi from the root window's resources (read afresh: the copy Xlib
  // keeps from the connection's start does not follow changes), else the
  // screen's physical width.
  int ReadDpi() {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    int dpi = 0;
    if (XGetWindowProperty(m_display, m_root, m_atoms[aResourceManager], 0, 1 << 20, False, XA_STRING, &type, &format,
                           &count, &after, &data) == Success &&
        data && format == 8) {
      const std::string resources(reinterpret_cast<const char*>(data), count);
      size_t pos = 0;
      while (pos < resources.size()) {
        size_t end = resources.find('\n', pos);
        if (end == std::string::npos) end = resources.size();
        const std::string line = resources.substr(pos, end - pos);
        if (line.rfind("Xft.dpi:", 0) == 0) {
          const double value = std::strtod(line.c_str() + 8, nullptr);
          if (value > 0 && value < 10000) dpi = static_cast<int>(value + 0.5);
        }
        pos = end + 1;
      }
    }
    if (data) XFree(data);
    if (dpi == 0) {
      const int millimetres = DisplayWidthMM(m_display, m_screen);
      if (millimetres > 0) dpi = static_cast<int>(DisplayWidth(m_display, m_screen) * 25.4 / millimetres + 0.5);
    }
    return dpi > 0 ? dpi : 96;
  }

  // The rows [top, bottom) of `pixels` that differ from the frame shown;
  // top == bottom when none does.
  // Narrows [top, bottom) to the rows that differ from the last frame.
  void ChangedRows(const uint8_t* pixels, int stride, int& top, int& bottom) const {
    const auto differs = [&](int row) {
      return std::memcmp(m_image->data + static_cast<size_t>(row) * m_image->bytes_per_line,
                         pixels + static_cast<size_t>(row) * stride, static_cast<size_t>(m_image->width) * 4) != 0;
    };
    while (top < bottom && !differs(top)) ++top;
    while (bottom > top && !differs(bottom - 1)) --bottom;
  }

  bool MakeImage(int width, int height) {
    FreeImage();
    if (m_shmAvailable) {
      m_image = XShmCreateImage(m_display, m_visual, static_cast<unsigned>(m_depth), ZPixmap, nullptr, &m_shm,
                                static_cast<unsigned>(width), static_cast<unsigned>(height));
      if (m_image && m_image->bits_per_pixel == 32) {
        m_shm.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(m_image->bytes_per_line) * height, IPC_CREAT | 0600);
        void* address = m_shm.shmid >= 0 ? shmat(m_shm.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
        if (address != reinterpret_cast<void*>(-1)) {
          m_shm.shmaddr = m_image->data = static_cast<char*>(address);
          m_shm.readOnly = False;
          g_lastXError = 0;
          XShmAttach(m_display, &m_shm);
          XSync(m_display, False);
          shmctl(m_shm.shmid, IPC_RMID, nullptr);
          if (g_lastXError == 0) {
            m_usingShm = true;
            return true;
          }
          shmdt(address);
        } else if (m_shm.shmid >= 0) {
          shmctl(m_shm.shmid, IPC_RMID, nullptr);
        }
        m_image->data = nullptr;
      }
      if (m_image) XDestroyImage(m_image);
      m_image = nullptr;
      // The server cannot share memory with us (a remote display): plain
      // images from now on.
      m_shmAvailable = false;
    }
    const size_t bytes = static_cast<size_t>(width) * height * 4;
    char* data = static_cast<char*>(std::malloc(bytes));
    if (!data) return false;
    m_image = XCreateImage(m_display, m_visual, static_cast<unsigned>(m_depth), ZPixmap, 0, data,
                           static_cast<unsigned>(width), static_cast<unsigned>(height), 32, width * 4);
    if (!m_image || m_image->bits_per_pixel != 32) {
      if (m_image) {
        XDestroyImage(m_image);
      } else {
        std::free(data);
      }
      m_image = nullptr;
      return false;
    }
    // The pixels are written as native 32-bit words.
    const uint32_t probe = 1;
    unsigned char first = 0;
    std::memcpy(&first, &probe, 1);
    m_image->byte_order = first == 1 ? LSBFirst : MSBFirst;
    return true;
  }

  void FreeImage() {
    if (!m_image) return;
    if (m_usingShm) {
      XShmDetach(m_display, &m_shm);
      XSync(m_display, False);
      shmdt(m_shm.shmaddr);
      m_image->data = nullptr;
      m_usingShm = false;
    }
    XDestroyImage(m_image);
    m_image = nullptr;
    m_shape.clear();
  }

  void PutImage(int top, int bottom) {
    const unsigned width = static_cast<unsigned>(m_image->width);
    const unsigned rows = static_cast<unsigned>(bottom - top);
    if (m_usingShm) {
      XShmPutImage(m_display, m_window, m_gc, m_image, 0, top, 0, top, width, rows, False);
    } else {
      XPutImage(m_display, m_window, m_gc, m_image, 0, top, 0, top, width, rows);
    }
    // The next frame is written into the same memory: the server must be
    // done with this one first.
    XSync(m_display, False);
  }

  // Without a compositor (or a 32-bit visual) the desktop cannot show
  // through: fully transparent pixels are cut away from the window instead.
  // Rows [top, bottom) changed since the shape was last set.
  void UpdateShape(int top, int bottom) {
    if (!m_shapeAvailable) return;
    if (m_argb && Composited()) {
      if (!m_shape.empty()) {
        XShapeCombineMask(m_display, m_window, ShapeBounding, 0, 0, None, ShapeSet);
        m_shape.clear();
      }
      return;
    }
    const int width = m_image->width;
    const int height = m_image->height;
    const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
    // The band's rows are worked out again in place; the server is told
    // only when a bit changed.
    bool changed = m_shape.size() != rowBytes * height;
    if (changed) {
      m_shape.assign(rowBytes * height, 0);
      top = 0;
      bottom = height;
    }
    std::vector<char> bits(rowBytes);
    for (int row = top; row < bottom; ++row) {
      const auto* line = reinterpret_cast<const uint32_t*>(m_image->data + static_cast<size_t>(row) * m_image->bytes_per_line);
      std::fill(bits.begin(), bits.end(), 0);
      for (int column = 0; column < width; ++column) {
        if (line[column] >> 24) bits[column / 8] = static_cast<char>(bits[column / 8] | (1 << (column % 8)));
      }
      char* shown = m_shape.data() + row * rowBytes;
      if (std::memcmp(shown, bits.data(), rowBytes) != 0) {
        std::memcpy(shown, bits.data(), rowBytes);
        changed = true;
      }
    }
    if (!changed) return;
    const Pixmap bitmap = XCreateBitmapFromData(m_display, m_window, m_shape.data(), static_cast<unsigned>(width),
                                                static_cast<unsigned>(height));
    XShapeCombineMask(m_display, m_window, ShapeBounding, 0, 0, bitmap, ShapeSet);
    XFreePixmap(m_display, bitmap);
  }

  // Round trips may have read events into Xlib's queue, where the message
  // loop's poll cannot see them: wake the loop so that they are handled.
  void WakeIfQueued() {
    if (m_wakeFd >= 0 && XEventsQueued(m_display, QueuedAlready) > 0) {
      const uint64_t one = 1;
      (void)!::write(m_wakeFd, &one, sizeof one);
    }
  }

  friend class SelectionClipboard;

  Display* m_display = nullptr;
  int m_screen = 0;
  Window m_root = 0;
  Window m_window = 0;
  Atom m_atoms[aCount] = {};
  Visual* m_visual = nullptr;
  int m_depth = 24;
  bool m_argb = false;
  Colormap m_colormap = 0;
  GC m_gc = nullptr;
  bool m_shapeAvailable = false;
  bool m_shmAvailable = false;
  bool m_monitorsAvailable = false;
  bool m_composited = false;
  uint64_t m_compositedCheckedMs = 0;
  bool m_usingShm = false;
  XShmSegmentInfo m_shm{};
  XImage* m_image = nullptr;
  std::vector<char> m_shape;
  bool m_mapped = false;
  // Taken off the screen by SetVisible(false): frames are kept, not sent.
  bool m_hidden = false;
  int m_x = 0, m_y = 0, m_width = 0, m_height = 0;
  uint64_t m_presentCount = 0;
  XIM m_im = nullptr;
  XIC m_ic = nullptr;
  bool m_imTried = false;
  bool m_focused = false;
  bool m_grabbed = false;
  Time m_lastTime = CurrentTime;
  int m_dpi = 96;
  int m_wakeFd = -1;
  bool m_watching = false;
  EventHandler m_handler;
  SelectionClipboard m_clipboard;
  std::string m_clipboardText;
  bool m_ownsClipboard = false;
};

bool SelectionClipboard::SetText(const std::string& text) { return m_owner.OwnClipboard(text); }
std::optional<std::string> SelectionClipboard::GetText() { return m_owner.ReadClipboard(); }

}  // namespace

std::unique_ptr<DisplayWindow> DisplayWindow::Open() {
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) return nullptr;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  XSetErrorHandler(RecordXError);
  return std::make_unique<X11DisplayWindow>(display);
}

}  // namespace platform
