#include "platform/xembed_tray_icon_posix.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "platform/message_loop.h"
#include "platform/xembed_paint_posix.h"
#include "platform/xembed_tray_menu_posix.h"

namespace platform {

namespace {

// The system tray protocol's opcode and the XEmbed flag it reads.
constexpr long kRequestDock = 0;
constexpr long kXEmbedVersion = 0;
constexpr long kXEmbedMapped = 1;
// Until the tray gives the window its size.
constexpr int kInitialSide = 24;

// X protocol errors on the icon's connection (a tray window gone between
// two requests) are expected and ignored; those of other connections go to
// the handler that was there before.
std::mutex g_displaysLock;
std::set<Display*> g_iconDisplays;
XErrorHandler g_otherHandler = nullptr;

int OnXError(Display* display, XErrorEvent* event) {
  {
    std::lock_guard<std::mutex> lock(g_displaysLock);
    if (g_iconDisplays.count(display) != 0) return 0;
  }
  return g_otherHandler ? g_otherHandler(display, event) : 0;
}

void WatchErrors(Display* display) {
  static std::once_flag installed;
  std::call_once(installed, [] { g_otherHandler = XSetErrorHandler(OnXError); });
  std::lock_guard<std::mutex> lock(g_displaysLock);
  g_iconDisplays.insert(display);
}

void UnwatchErrors(Display* display) {
  std::lock_guard<std::mutex> lock(g_displaysLock);
  g_iconDisplays.erase(display);
}

// The request's straight ARGB pixels as a premultiplied cairo image; null
// without an icon.
cairo_surface_t* IconImage(const TrayIconRequest& request) {
  const int side = request.iconSide;
  if (side <= 0 || request.icon.size() != static_cast<size_t>(side) * static_cast<size_t>(side)) return nullptr;
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, side, side);
  if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(image);
    return nullptr;
  }
  cairo_surface_flush(image);
  unsigned char* data = cairo_image_surface_get_data(image);
  const int stride = cairo_image_surface_get_stride(image);
  for (int y = 0; y < side; ++y) {
    auto* line = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * static_cast<size_t>(stride));
    for (int x = 0; x < side; ++x) {
      const uint32_t argb = request.icon[static_cast<size_t>(y) * static_cast<size_t>(side) + static_cast<size_t>(x)];
      const uint32_t a = argb >> 24;
      const auto times = [a](uint32_t c) { return (c * a + 127) / 255; };
      line[x] = (a << 24) | (times((argb >> 16) & 0xFF) << 16) | (times((argb >> 8) & 0xFF) << 8) | times(argb & 0xFF);
    }
  }
  cairo_surface_mark_dirty(image);
  return image;
}

class XEmbedTrayIcon final : public TrayIcon {
 public:
  XEmbedTrayIcon(const TrayIconRequest& request, Display* display) : m_request(request), m_display(display) {
    m_screen = DefaultScreen(display);
    m_root = RootWindow(display, m_screen);
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(m_screen);
    m_selection = XInternAtom(display, selection.c_str(), False);
    m_manager = XInternAtom(display, "MANAGER", False);
    m_opcode = XInternAtom(display, "_NET_SYSTEM_TRAY_OPCODE", False);
    m_trayVisual = XInternAtom(display, "_NET_SYSTEM_TRAY_VISUAL", False);
    m_xembedInfo = XInternAtom(display, "_XEMBED_INFO", False);
    m_netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    m_utf8String = XInternAtom(display, "UTF8_STRING", False);
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_image = IconImage(request);
  }

  ~XEmbedTrayIcon() override {
    if (m_thread.joinable()) {
      m_stop = true;
      Wake();
      m_thread.join();
    }
    if (m_image) cairo_surface_destroy(m_image);
    XCloseDisplay(m_display);
    UnwatchErrors(m_display);
    if (m_wakeFd >= 0) ::close(m_wakeFd);
  }

  // False when no tray owns the selection.
  bool Start() {
    if (m_wakeFd < 0) return false;
    // Told of a tray that starts (MANAGER on the root window) from here on.
    XSelectInput(m_display, m_root, StructureNotifyMask);
    const Window tray = XGetSelectionOwner(m_display, m_selection);
    if (tray == None) return false;
    m_thread = std::thread([this, tray] { Run(tray); });
    return true;
  }

  void SetToolTip(const std::string& text) override {
    {
      std::lock_guard<std::mutex> lock(m_lock);
      if (m_request.toolTip == text) return;
      m_request.toolTip = text;
      m_toolTipChanged = true;
    }
    Wake();
  }

  void SetMenu(const std::vector<TrayMenuItem>& menu) override {
    {
      std::lock_guard<std::mutex> lock(m_lock);
      m_request.menu = menu;
      m_menuChanged = true;
    }
    Wake();
  }

  // Not on the bus.
  std::string BusName() const override { return std::string(); }

 private:
  void Wake() {
    const uint64_t one = 1;
    (void)!::write(m_wakeFd, &one, sizeof one);
  }

  void Run(Window tray) {
    XEmbedTrayMenu menu(m_display);
    m_menu = &menu;
    Dock(tray);
    while (!m_stop) {
      while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        Handle(event);
      }
      TakeChanges();
      XFlush(m_display);
      if (XEventsQueued(m_display, QueuedAlready) > 0) continue;
      pollfd fds[2] = {{ConnectionNumber(m_display), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
      ::poll(fds, 2, -1);
      uint64_t value;
      while (::read(m_wakeFd, &value, sizeof value) > 0) {
      }
    }
    // The tray drops an icon whose window is destroyed.
    menu.Close();
    m_menu = nullptr;
    Undock();
    XSync(m_display, False);
  }

  void TakeChanges() {
    bool toolTip = false, menu = false;
    std::vector<TrayMenuItem> items;
    {
      std::lock_guard<std::mutex> lock(m_lock);
      std::swap(toolTip, m_toolTipChanged);
      std::swap(menu, m_menuChanged);
      if (menu) items = m_request.menu;
    }
    if (toolTip) NameIcon();
    if (menu) m_menu->Update(items);
  }

  // A new icon window for `tray`, sent to it with SYSTEM_TRAY_REQUEST_DOCK;
  // the tray reparents and maps it.
  void Dock(Window tray) {
    Undock();
    m_tray = tray;
    XSelectInput(m_display, m_tray, StructureNotifyMask);
    XSetWindowAttributes attributes{};
    unsigned long mask = CWEventMask | CWBorderPixel;
    attributes.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask;
    attributes.border_pixel = 0;
    XVisualInfo visual{};
    if (TrayVisual(visual)) {
      // The tray composites its icons: our pixels carry their alpha.
      m_colormap = XCreateColormap(m_display, m_root, visual.visual, AllocNone);
      attributes.colormap = m_colormap;
      attributes.background_pixel = 0;
      mask |= CWColormap | CWBackPixel;
      m_visual = visual.visual;
      m_depth = visual.depth;
      m_icon = XCreateWindow(m_display, m_root, 0, 0, kInitialSide, kInitialSide, 0, visual.depth, InputOutput,
                             visual.visual, mask, &attributes);
    } else {
      // The tray's background shows through where the icon is transparent.
      attributes.background_pixmap = ParentRelative;
      mask |= CWBackPixmap;
      m_visual = DefaultVisual(m_display, m_screen);
      m_depth = DefaultDepth(m_display, m_screen);
      m_icon = XCreateWindow(m_display, m_root, 0, 0, kInitialSide, kInitialSide, 0, CopyFromParent, InputOutput,
                             CopyFromParent, mask, &attributes);
    }
    m_width = m_height = kInitialSide;
    XClassHint classHint;
    classHint.res_name = const_cast<char*>("launcher-tray");
    classHint.res_class = const_cast<char*>("Launcher");
    XSetClassHint(m_display, m_icon, &classHint);
    NameIcon();
    const long info[2] = {kXEmbedVersion, kXEmbedMapped};
    XChangeProperty(m_display, m_icon, m_xembedInfo, m_xembedInfo, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(info), 2);
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = m_tray;
    request.xclient.message_type = m_opcode;
    request.xclient.format = 32;
    request.xclient.data.l[0] = CurrentTime;
    request.xclient.data.l[1] = kRequestDock;
    request.xclient.data.l[2] = static_cast<long>(m_icon);
    XSendEvent(m_display, m_tray, False, NoEventMask, &request);
    XFlush(m_display);
  }

  void Undock() {
    if (m_menu) m_menu->Close();
    if (m_icon) XDestroyWindow(m_display, m_icon);
    if (m_colormap) XFreeColormap(m_display, m_colormap);
    m_icon = 0;
    m_colormap = 0;
    m_tray = 0;
  }

  // The visual the tray asks its icons to use (_NET_SYSTEM_TRAY_VISUAL);
  // false when it names none (the parent's then).
  bool TrayVisual(XVisualInfo& info) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(m_display, m_tray, m_trayVisual, 0, 1, False, XA_VISUALID, &type, &format, &count, &after,
                           &data) == Success &&
        data && format == 32 && count == 1) {
      XVisualInfo wanted{};
      wanted.visualid = static_cast<VisualID>(*reinterpret_cast<const unsigned long*>(data));
      wanted.screen = m_screen;
      int matches = 0;
      if (XVisualInfo* list = XGetVisualInfo(m_display, VisualIDMask | VisualScreenMask, &wanted, &matches)) {
        if (matches > 0) {
          info = list[0];
          found = true;
        }
        XFree(list);
      }
    }
    if (data) XFree(data);
    return found;
  }

  // The tool tip is the icon window's name, which trays show on hover.
  void NameIcon() {
    if (!m_icon) return;
    std::string text;
    {
      std::lock_guard<std::mutex> lock(m_lock);
      text = m_request.toolTip.empty() ? m_request.title : m_request.toolTip;
    }
    XChangeProperty(m_display, m_icon, m_netWmName, m_utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    XTextProperty name{};
    char* list[1] = {const_cast<char*>(text.c_str())};
    if (Xutf8TextListToTextProperty(m_display, list, 1, XStdICCTextStyle, &name) >= Success) {
      XSetWMName(m_display, m_icon, &name);
      XFree(name.value);
    }
  }

  // The theme's icon scaled into the size the tray gave the window, centred,
  // over the window's background.
  void DrawIcon() {
    if (!m_icon) return;
    XClearWindow(m_display, m_icon);
    if (!m_image) return;
    PaintXWindow(m_display, m_icon, m_visual, m_depth, m_width, m_height, [this](cairo_t* cr) {
      const double side = m_request.iconSide;
      const double scale = std::min(m_width, m_height) / side;
      cairo_translate(cr, (m_width - side * scale) / 2, (m_height - side * scale) / 2);
      cairo_scale(cr, scale, scale);
      cairo_set_source_surface(cr, m_image, 0, 0);
      cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
      cairo_paint(cr);
    });
  }

  void Post(uint32_t message, uint64_t wParam, int64_t lParam) { PostMessage(m_request.window, message, wParam, lParam); }

  void Handle(XEvent& event) {
    uint32_t chosen = 0;
    if (m_menu->Handle(event, chosen)) {
      if (chosen != 0) Post(WM_COMMAND, chosen, 0);
      return;
    }
    const Window window = event.xany.window;
    switch (event.type) {
      case ClientMessage:
        // A tray started (again): dock there, once.
        if (window == m_root && event.xclient.message_type == m_manager &&
            static_cast<Atom>(event.xclient.data.l[1]) == m_selection &&
            (m_icon == 0 || static_cast<Window>(event.xclient.data.l[2]) != m_tray)) {
          Dock(static_cast<Window>(event.xclient.data.l[2]));
        }
        break;
      case DestroyNotify:
        // The tray ended: our window would stay behind on the root window.
        if (m_tray != 0 && event.xdestroywindow.window == m_tray) Undock();
        break;
      case ConfigureNotify:
        if (m_icon != 0 && window == m_icon &&
            (event.xconfigure.width != m_width || event.xconfigure.height != m_height)) {
          m_width = event.xconfigure.width;
          m_height = event.xconfigure.height;
          DrawIcon();
        }
        break;
      case Expose:
        if (m_icon != 0 && window == m_icon && event.xexpose.count == 0) DrawIcon();
        break;
      case ButtonPress:
        if (m_icon == 0 || window != m_icon) break;
        if (event.xbutton.button == Button1) {
          Post(m_request.callbackMessage, 1, kTrayLeftButtonDown);
        } else if (event.xbutton.button == Button3) {
          Post(m_request.callbackMessage, 1, kTrayRightButtonDown);
          std::vector<TrayMenuItem> items;
          {
            std::lock_guard<std::mutex> lock(m_lock);
            items = m_request.menu;
            m_menuChanged = false;
          }
          m_menu->Open(items, event.xbutton.x_root, event.xbutton.y_root);
        }
        break;
      default:
        break;
    }
  }

  TrayIconRequest m_request;  // tool tip and menu guarded by m_lock
  std::mutex m_lock;
  bool m_toolTipChanged = false;
  bool m_menuChanged = false;
  std::atomic<bool> m_stop{false};
  int m_wakeFd = -1;
  std::thread m_thread;

  // The icon's thread's from Start on.
  Display* m_display;
  int m_screen = 0;
  Window m_root = 0;
  Atom m_selection = None, m_manager = None, m_opcode = None, m_trayVisual = None, m_xembedInfo = None;
  Atom m_netWmName = None, m_utf8String = None;
  Window m_tray = 0;
  Window m_icon = 0;
  Visual* m_visual = nullptr;
  int m_depth = 0;
  Colormap m_colormap = 0;
  int m_width = 0, m_height = 0;
  cairo_surface_t* m_image = nullptr;
  XEmbedTrayMenu* m_menu = nullptr;
};

}  // namespace

std::unique_ptr<TrayIcon> CreateXEmbedTrayIcon(const TrayIconRequest& request) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  WatchErrors(display);
  auto icon = std::make_unique<XEmbedTrayIcon>(request, display);
  if (!icon->Start()) return nullptr;
  return icon;
}

}  // namespace platform
