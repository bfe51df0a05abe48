#include "platform/error_box.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <stdlib.h>

#include <cstdio>
#include <vector>

namespace platform {
namespace {

uint64_t g_owner = 0;

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return lines;
}

// A plain X11 dialog: the text, an OK button; Enter, Escape, a click on
// OK or closing the window ends it. False when there is no display.
bool ShowX11Box(const std::string& caption, const std::string& text) {
  const char* display_name = ::getenv("DISPLAY");
  if (!display_name || !*display_name) return false;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  const int screen = DefaultScreen(display);
  XFontStruct* font = XLoadQueryFont(display, "fixed");
  const int lineHeight = font ? font->ascent + font->descent + 4 : 16;
  const std::vector<std::string> lines = SplitLines(text);
  int width = 240;
  for (const std::string& line : lines) {
    const int w = font ? XTextWidth(font, line.c_str(), static_cast<int>(line.size())) : static_cast<int>(line.size()) * 7;
    if (w + 40 > width) width = w + 40;
  }
  const int buttonW = 80, buttonH = 26;
  const int height = 30 + static_cast<int>(lines.size()) * lineHeight + 20 + buttonH + 16;
  const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 200, 200, width, height, 1,
                                            BlackPixel(display, screen), WhitePixel(display, screen));
  XStoreName(display, window, caption.c_str());
  if (g_owner != 0) {
    // A modal dialog of the launcher's window, centred over it.
    XSetTransientForHint(display, window, static_cast<Window>(g_owner));
    const Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
    const Atom dialog = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    XChangeProperty(display, window, type, XA_ATOM, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&dialog),
                    1);
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom modal = XInternAtom(display, "_NET_WM_STATE_MODAL", False);
    XChangeProperty(display, window, state, XA_ATOM, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&modal),
                    1);
    XWindowAttributes owner;
    Window child = 0;
    int ownerX = 0, ownerY = 0;
    if (XGetWindowAttributes(display, static_cast<Window>(g_owner), &owner) &&
        XTranslateCoordinates(display, static_cast<Window>(g_owner), RootWindow(display, screen), 0, 0, &ownerX,
                              &ownerY, &child)) {
      XMoveWindow(display, window, ownerX + (owner.width - width) / 2, ownerY + (owner.height - height) / 2);
    }
  }
  Atom deleteAtom = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window, &deleteAtom, 1);
  XSelectInput(display, window, ExposureMask | KeyPressMask | ButtonPressMask);
  XMapRaised(display, window);
  GC gc = XCreateGC(display, window, 0, nullptr);
  if (font) XSetFont(display, gc, font->fid);
  const int buttonX = (width - buttonW) / 2, buttonY = height - buttonH - 16;
  bool done = false;
  while (!done) {
    XEvent event;
    XNextEvent(display, &event);
    switch (event.type) {
      case Expose: {
        int y = 30;
        for (const std::string& line : lines) {
          XDrawString(display, window, gc, 20, y, line.c_str(), static_cast<int>(line.size()));
          y += lineHeight;
        }
        XDrawRectangle(display, window, gc, buttonX, buttonY, buttonW, buttonH);
        XDrawString(display, window, gc, buttonX + buttonW / 2 - 7, buttonY + buttonH / 2 + 4, "OK", 2);
        break;
      }
      case KeyPress: {
        const KeySym key = XLookupKeysym(&event.xkey, 0);
        done = key == XK_Return || key == XK_Escape || key == XK_KP_Enter || key == XK_space;
        break;
      }
      case ButtonPress:
        done = event.xbutton.x >= buttonX && event.xbutton.x < buttonX + buttonW && event.xbutton.y >= buttonY &&
               event.xbutton.y < buttonY + buttonH;
        break;
      case ClientMessage:
        done = static_cast<Atom>(event.xclient.data.l[0]) == deleteAtom;
        break;
      default:
        break;
    }
  }
  XFreeGC(display, gc);
  if (font) XFreeFont(display, font);
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  return true;
}

}  // namespace

void SetErrorBoxOwner(uint64_t nativeWindow) { g_owner = nativeWindow; }

void ShowErrorBox(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
  ShowX11Box(caption, text);
}

}  // namespace platform
