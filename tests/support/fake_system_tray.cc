#include "support/fake_system_tray.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace testing_support {

namespace {

constexpr unsigned long kPanelColour = 0x336699;
constexpr int kPanelWidth = 240;
constexpr int kPanelHeight = 32;
constexpr long kXEmbedEmbeddedNotify = 0;
constexpr long kXEmbedMapped = 1;

// Windows of other clients vanish between two requests here; such errors
// are no failure of the test.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

std::string PropertyText(Display* display, Window window, Atom property, Atom type) {
  Atom actual = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string text;
  if (XGetWindowProperty(display, window, property, 0, 4096, False, type, &actual, &format, &count, &after, &data) ==
          Success &&
      data && format == 8) {
    text.assign(reinterpret_cast<const char*>(data), count);
  }
  if (data) XFree(data);
  return text;
}

}  // namespace

FakeSystemTray::FakeSystemTray(SystemTrayOptions options) : m_options(options) {
  m_display = XOpenDisplay(nullptr);
  m_query = XOpenDisplay(nullptr);
  m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (!m_display || !m_query || m_wakeFd < 0) return;
  XSetErrorHandler(IgnoreXError);
  const int screen = DefaultScreen(m_display);
  const Window root = RootWindow(m_display, screen);
  m_manager = XCreateSimpleWindow(m_display, root, -1, -1, 1, 1, 0, 0, 0);
  XSelectInput(m_display, m_manager, StructureNotifyMask);
  XVisualInfo visual;
  if (m_options.argbVisual && XMatchVisualInfo(m_display, screen, 32, TrueColor, &visual)) {
    const unsigned long id = visual.visualid;
    XChangeProperty(m_display, m_manager, XInternAtom(m_display, "_NET_SYSTEM_TRAY_VISUAL", False), XA_VISUALID, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&id), 1);
  }
  m_panel = XCreateSimpleWindow(m_display, root, DisplayWidth(m_display, screen) - kPanelWidth, 0, kPanelWidth,
                                kPanelHeight, 0, 0, kPanelColour);
  XMapWindow(m_display, m_panel);

  const Atom selection = XInternAtom(m_display, "_NET_SYSTEM_TRAY_S0", False);
  XSetSelectionOwner(m_display, selection, m_manager, CurrentTime);
  if (XGetSelectionOwner(m_display, selection) != m_manager) return;
  XEvent announce{};
  announce.xclient.type = ClientMessage;
  announce.xclient.window = root;
  announce.xclient.message_type = XInternAtom(m_display, "MANAGER", False);
  announce.xclient.format = 32;
  announce.xclient.data.l[0] = CurrentTime;
  announce.xclient.data.l[1] = static_cast<long>(selection);
  announce.xclient.data.l[2] = static_cast<long>(m_manager);
  XSendEvent(m_display, root, False, StructureNotifyMask, &announce);
  XSync(m_display, False);
  m_ready = true;
  m_thread = std::thread([this] { Serve(); });
}

FakeSystemTray::~FakeSystemTray() {
  if (m_thread.joinable()) {
    const uint64_t one = 1;
    (void)!::write(m_wakeFd, &one, sizeof one);
    m_thread.join();
  }
  if (m_display) XCloseDisplay(m_display);
  if (m_query) XCloseDisplay(m_query);
  if (m_wakeFd >= 0) ::close(m_wakeFd);
}

void FakeSystemTray::Serve() {
  const Atom opcode = XInternAtom(m_display, "_NET_SYSTEM_TRAY_OPCODE", False);
  for (;;) {
    while (XPending(m_display) > 0) {
      XEvent event;
      XNextEvent(m_display, &event);
      if (event.type == ClientMessage && event.xclient.window == m_manager && event.xclient.message_type == opcode &&
          event.xclient.data.l[1] == 0) {
        Dock(static_cast<Window>(event.xclient.data.l[2]));
      } else if (event.type == DestroyNotify) {
        std::lock_guard lock(m_mutex);
        std::erase(m_icons, event.xdestroywindow.window);
      }
    }
    pollfd fds[2] = {{ConnectionNumber(m_display), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    ::poll(fds, 2, -1);
    if (fds[1].revents & POLLIN) return;
  }
}

void FakeSystemTray::Dock(XWindowId icon) {
  const int side = m_options.iconSide;
  int slot = 0;
  {
    std::lock_guard lock(m_mutex);
    slot = static_cast<int>(m_icons.size());
  }
  const Window socket = XCreateSimpleWindow(m_display, m_panel, 4 + slot * (side + 4), (kPanelHeight - side) / 2,
                                            static_cast<unsigned>(side), static_cast<unsigned>(side), 0, 0,
                                            kPanelColour);
  XMapWindow(m_display, socket);
  XSelectInput(m_display, icon, StructureNotifyMask);
  XAddToSaveSet(m_display, icon);
  XReparentWindow(m_display, icon, socket, 0, 0);
  XResizeWindow(m_display, icon, static_cast<unsigned>(side), static_cast<unsigned>(side));

  const Atom infoAtom = XInternAtom(m_display, "_XEMBED_INFO", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  long version = 0;
  bool mapped = false;
  if (XGetWindowProperty(m_display, icon, infoAtom, 0, 2, False, infoAtom, &type, &format, &count, &after, &data) ==
          Success &&
      data && format == 32 && count == 2) {
    const long* info = reinterpret_cast<const long*>(data);
    version = info[0];
    mapped = (info[1] & kXEmbedMapped) != 0;
  }
  if (data) XFree(data);
  if (mapped) XMapWindow(m_display, icon);

  XEvent notify{};
  notify.xclient.type = ClientMessage;
  notify.xclient.window = icon;
  notify.xclient.message_type = XInternAtom(m_display, "_XEMBED", False);
  notify.xclient.format = 32;
  notify.xclient.data.l[0] = CurrentTime;
  notify.xclient.data.l[1] = kXEmbedEmbeddedNotify;
  notify.xclient.data.l[3] = static_cast<long>(socket);
  notify.xclient.data.l[4] = version;
  XSendEvent(m_display, icon, False, NoEventMask, &notify);
  XSync(m_display, False);
  XWindowAttributes attributes;
  // Only an icon that lived through its docking counts.
  if (mapped && XGetWindowAttributes(m_display, icon, &attributes) && attributes.map_state == IsViewable) {
    std::lock_guard lock(m_mutex);
    m_icons.push_back(icon);
  }
}

std::vector<XWindowId> FakeSystemTray::Icons() {
  std::lock_guard lock(m_mutex);
  return m_icons;
}

std::string FakeSystemTray::WindowName(XWindowId window) {
  if (!m_query) return std::string();
  std::string name = PropertyText(m_query, window, XInternAtom(m_query, "_NET_WM_NAME", False),
                                  XInternAtom(m_query, "UTF8_STRING", False));
  if (name.empty()) name = PropertyText(m_query, window, XA_WM_NAME, AnyPropertyType);
  return name;
}

FakeSystemTray::Pixels FakeSystemTray::IconPixels(XWindowId icon) {
  Pixels pixels;
  XWindowAttributes attributes;
  if (!m_query || !XGetWindowAttributes(m_query, icon, &attributes)) return pixels;
  pixels.width = attributes.width;
  pixels.height = attributes.height;
  XImage* image = XGetImage(m_query, icon, 0, 0, static_cast<unsigned>(attributes.width),
                            static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  if (!image) return pixels;
  for (int y = 0; y < image->height; ++y) {
    for (int x = 0; x < image->width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      const bool drawn = attributes.depth == 32 ? (pixel >> 24) != 0 : (pixel & 0xFFFFFF) != kPanelColour;
      pixels.drawn += drawn ? 1 : 0;
    }
  }
  XDestroyImage(image);
  return pixels;
}

std::optional<std::vector<std::string>> FakeSystemTray::OpenMenu() {
  if (!m_query) return std::nullopt;
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  Window popup = 0;
  if (XQueryTree(m_query, DefaultRootWindow(m_query), &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && popup == 0; ++i) {
      XWindowAttributes attributes;
      XClassHint hint{};
      if (!XGetWindowAttributes(m_query, children[i], &attributes) || !attributes.override_redirect ||
          attributes.map_state != IsViewable || !XGetClassHint(m_query, children[i], &hint)) {
        continue;
      }
      if (hint.res_name && std::string(hint.res_name) == "launcher-menu") popup = children[i];
      if (hint.res_name) XFree(hint.res_name);
      if (hint.res_class) XFree(hint.res_class);
    }
    if (children) XFree(children);
  }
  if (popup == 0) return std::nullopt;
  std::vector<std::pair<int, std::string>> rows;
  children = nullptr;
  if (XQueryTree(m_query, popup, &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count; ++i) {
      XWindowAttributes attributes;
      if (!XGetWindowAttributes(m_query, children[i], &attributes)) continue;
      const std::string name = WindowName(children[i]);
      rows.emplace_back(attributes.y, name.empty() ? "-" : name);
    }
    if (children) XFree(children);
  }
  std::sort(rows.begin(), rows.end());
  std::vector<std::string> labels;
  for (auto& row : rows) labels.push_back(std::move(row.second));
  return labels;
}

}  // namespace testing_support
