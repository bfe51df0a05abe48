#include "clipboard_owner.h"

#include <chrono>

// Xlib's macros (None, Status, ...) go last, after every other header.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace window_testing {

ClipboardOwner::ClipboardOwner(std::string text) : m_text(std::move(text)) {
  m_thread = std::thread([this] { Serve(); });
  while (!m_ready) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

ClipboardOwner::~ClipboardOwner() {
  m_stop = true;
  m_thread.join();
}

void ClipboardOwner::Serve() {
  Display* x = XOpenDisplay(nullptr);
  if (!x) {
    m_ready = true;
    return;
  }
  const Window window = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 1, 1, 0, 0, 0);
  const Atom clipboard = XInternAtom(x, "CLIPBOARD", False);
  const Atom utf8 = XInternAtom(x, "UTF8_STRING", False);
  XSetSelectionOwner(x, clipboard, window, CurrentTime);
  XSync(x, False);
  m_owning = XGetSelectionOwner(x, clipboard) == window;
  m_ready = true;
  while (!m_stop) {
    while (XPending(x)) {
      XEvent event;
      XNextEvent(x, &event);
      if (event.type != SelectionRequest) continue;
      XSelectionRequestEvent& request = event.xselectionrequest;
      XSelectionEvent reply{};
      reply.type = SelectionNotify;
      reply.requestor = request.requestor;
      reply.selection = request.selection;
      reply.target = request.target;
      reply.time = request.time;
      reply.property = None;
      if (request.target == utf8) {
        XChangeProperty(x, request.requestor, request.property, utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(m_text.data()), static_cast<int>(m_text.size()));
        reply.property = request.property;
      }
      XSendEvent(x, request.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
      XFlush(x);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  XDestroyWindow(x, window);
  XCloseDisplay(x);
}

}  // namespace window_testing
