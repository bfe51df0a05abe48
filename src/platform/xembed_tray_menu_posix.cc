#include "platform/xembed_tray_menu_posix.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "platform/xembed_paint_posix.h"

namespace platform {

namespace {

constexpr char kFontFace[] = "sans-serif";
constexpr double kFontSize = 14;
constexpr int kItemHeight = 26;
constexpr int kSeparatorHeight = 9;
constexpr int kPadding = 3;       // between the frame and the rows
constexpr int kTextIndent = 14;   // left and right of a label
constexpr int kMinimumWidth = 120;

struct Colour {
  double r, g, b;
};
constexpr Colour kBackground{0.96, 0.96, 0.96};
constexpr Colour kFrame{0.62, 0.62, 0.62};
constexpr Colour kText{0.12, 0.12, 0.12};
constexpr Colour kHighlight{0.22, 0.46, 0.84};
constexpr Colour kHighlightText{1, 1, 1};
constexpr Colour kSeparator{0.78, 0.78, 0.78};

void SetSource(cairo_t* cr, const Colour& colour) { cairo_set_source_rgb(cr, colour.r, colour.g, colour.b); }

void SelectFont(cairo_t* cr) {
  cairo_select_font_face(cr, kFontFace, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, kFontSize);
}

// The widest label in pixels.
int LabelWidth(const std::vector<TrayMenuItem>& items) {
  cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(scratch);
  SelectFont(cr);
  double widest = 0;
  for (const TrayMenuItem& item : items) {
    if (item.command == 0) continue;
    cairo_text_extents_t extents;
    cairo_text_extents(cr, item.label.c_str(), &extents);
    widest = std::max(widest, extents.x_advance);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(scratch);
  return static_cast<int>(std::ceil(widest));
}

// Paints a window of the default visual with `paint`.
template <typename Paint>
void PaintWindow(Display* display, int screen, Window window, int width, int height, const Paint& paint) {
  PaintXWindow(display, window, DefaultVisual(display, screen), DefaultDepth(display, screen), width, height, paint);
}

}  // namespace

XEmbedTrayMenu::XEmbedTrayMenu(Display* display)
    : m_display(display), m_screen(DefaultScreen(display)), m_root(RootWindow(display, DefaultScreen(display))) {
  m_netWmName = XInternAtom(display, "_NET_WM_NAME", False);
  m_utf8String = XInternAtom(display, "UTF8_STRING", False);
  m_windowType = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
  m_popupMenuType = XInternAtom(display, "_NET_WM_WINDOW_TYPE_POPUP_MENU", False);
}

XEmbedTrayMenu::~XEmbedTrayMenu() { Close(); }

void XEmbedTrayMenu::Open(const std::vector<TrayMenuItem>& items, int rootX, int rootY) {
  Close();
  if (items.empty()) return;
  m_openedX = rootX;
  m_openedY = rootY;
  m_width = std::max(kMinimumWidth, LabelWidth(items) + 2 * kTextIndent + 2 * kPadding);
  m_height = 2 * kPadding;
  for (const TrayMenuItem& item : items) {
    Row row;
    row.command = item.command;
    row.label = item.label;
    row.height = item.command == 0 ? kSeparatorHeight : kItemHeight;
    m_height += row.height;
    m_rows.push_back(row);
  }
  // Below and to the right of the pointer, else above or to the left of it
  // (a panel at the screen's bottom or right edge).
  const int screenWidth = DisplayWidth(m_display, m_screen);
  const int screenHeight = DisplayHeight(m_display, m_screen);
  int x = rootX + m_width <= screenWidth ? rootX : rootX - m_width;
  int y = rootY + m_height <= screenHeight ? rootY : rootY - m_height;
  x = std::max(0, std::min(x, screenWidth - m_width));
  y = std::max(0, std::min(y, screenHeight - m_height));

  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.save_under = True;
  attributes.background_pixmap = None;
  attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask;
  m_popup = XCreateWindow(m_display, m_root, x, y, static_cast<unsigned>(m_width), static_cast<unsigned>(m_height), 0,
                          CopyFromParent, InputOutput, CopyFromParent,
                          CWOverrideRedirect | CWSaveUnder | CWBackPixmap | CWEventMask, &attributes);
  XClassHint classHint;
  classHint.res_name = const_cast<char*>("launcher-menu");
  classHint.res_class = const_cast<char*>("Launcher");
  XSetClassHint(m_display, m_popup, &classHint);
  XChangeProperty(m_display, m_popup, m_windowType, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&m_popupMenuType), 1);

  attributes.event_mask = ExposureMask | EnterWindowMask | LeaveWindowMask | ButtonPressMask | ButtonReleaseMask;
  int top = kPadding;
  for (Row& row : m_rows) {
    row.window = XCreateWindow(m_display, m_popup, kPadding, top, static_cast<unsigned>(m_width - 2 * kPadding),
                               static_cast<unsigned>(row.height), 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWBackPixmap | CWEventMask, &attributes);
    top += row.height;
    if (row.command == 0) continue;
    XChangeProperty(m_display, row.window, m_netWmName, m_utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(row.label.data()), static_cast<int>(row.label.size()));
    XTextProperty name{};
    char* list[1] = {const_cast<char*>(row.label.c_str())};
    if (Xutf8TextListToTextProperty(m_display, list, 1, XStdICCTextStyle, &name) >= Success) {
      XSetWMName(m_display, row.window, &name);
      XFree(name.value);
    }
  }
  XMapSubwindows(m_display, m_popup);
  XMapRaised(m_display, m_popup);
  // The grabs bring the clicks outside the menu and the keys here. Without
  // them (another program holds a grab) the menu still works by clicks on it.
  XGrabPointer(m_display, m_popup, True,
               ButtonPressMask | ButtonReleaseMask | EnterWindowMask | LeaveWindowMask | PointerMotionMask,
               GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
  XGrabKeyboard(m_display, m_popup, True, GrabModeAsync, GrabModeAsync, CurrentTime);
  XFlush(m_display);
}

void XEmbedTrayMenu::Update(const std::vector<TrayMenuItem>& items) {
  if (!m_popup) return;
  bool same = items.size() == m_rows.size();
  for (size_t i = 0; same && i < items.size(); ++i) {
    same = items[i].command == m_rows[i].command && items[i].label == m_rows[i].label;
  }
  if (same) return;
  Open(items, m_openedX, m_openedY);
}

void XEmbedTrayMenu::Close() {
  if (!m_popup) return;
  XUngrabPointer(m_display, CurrentTime);
  XUngrabKeyboard(m_display, CurrentTime);
  XDestroyWindow(m_display, m_popup);
  XFlush(m_display);
  m_popup = 0;
  m_rows.clear();
  m_hover = -1;
  m_pressed = -1;
}

int XEmbedTrayMenu::RowAt(Window window) const {
  for (size_t i = 0; i < m_rows.size(); ++i) {
    if (m_rows[i].window == window) return static_cast<int>(i);
  }
  return -1;
}

bool XEmbedTrayMenu::Handle(const XEvent& event, uint32_t& chosen) {
  chosen = 0;
  if (!m_popup) return false;
  const Window window = event.xany.window;
  const int row = RowAt(window);
  if (window != m_popup && row < 0) {
    // Keys go to the grab window; a press anywhere else closes the menu.
    if (event.type == ButtonPress) {
      Close();
      return true;
    }
    return false;
  }
  switch (event.type) {
    case Expose:
      if (event.xexpose.count == 0) row < 0 ? DrawFrame() : DrawRow(row);
      break;
    case EnterNotify:
      if (row >= 0 && m_rows[row].command != 0) SetHover(row);
      break;
    case LeaveNotify:
      if (row >= 0 && row == m_hover) SetHover(-1);
      break;
    case ButtonPress: {
      // With the pointer grabbed, presses on other programs' windows arrive
      // here in the menu's coordinates.
      const XButtonEvent& button = event.xbutton;
      if (row < 0 && (button.x < 0 || button.y < 0 || button.x >= m_width || button.y >= m_height)) {
        Close();
      } else {
        m_pressed = row;
      }
      break;
    }
    case ButtonRelease:
      if (row >= 0 && row == m_pressed) chosen = Choose(row);
      m_pressed = -1;
      break;
    case KeyPress: {
      KeySym key = XLookupKeysym(const_cast<XKeyEvent*>(&event.xkey), 0);
      if (key == XK_Escape) {
        Close();
      } else if (key == XK_Down) {
        MoveHover(1);
      } else if (key == XK_Up) {
        MoveHover(-1);
      } else if ((key == XK_Return || key == XK_KP_Enter) && m_hover >= 0) {
        chosen = Choose(m_hover);
      }
      break;
    }
    default:
      break;
  }
  return true;
}

uint32_t XEmbedTrayMenu::Choose(int index) {
  const uint32_t command = m_rows[static_cast<size_t>(index)].command;
  if (command == 0) return 0;
  Close();
  return command;
}

void XEmbedTrayMenu::SetHover(int index) {
  if (index == m_hover) return;
  const int before = m_hover;
  m_hover = index;
  if (before >= 0) DrawRow(before);
  if (index >= 0) DrawRow(index);
}

// The next item up or down from the highlighted one, past separators,
// round the ends.
void XEmbedTrayMenu::MoveHover(int step) {
  const int count = static_cast<int>(m_rows.size());
  int index = m_hover < 0 ? (step > 0 ? -1 : count) : m_hover;
  for (int tried = 0; tried < count; ++tried) {
    index = (index + step + count) % count;
    if (m_rows[static_cast<size_t>(index)].command != 0) {
      SetHover(index);
      return;
    }
  }
}

void XEmbedTrayMenu::DrawFrame() {
  PaintWindow(m_display, m_screen, m_popup, m_width, m_height, [&](cairo_t* cr) {
    SetSource(cr, kBackground);
    cairo_paint(cr);
    SetSource(cr, kFrame);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, 0.5, 0.5, m_width - 1, m_height - 1);
    cairo_stroke(cr);
  });
}

void XEmbedTrayMenu::DrawRow(int index) {
  const Row& row = m_rows[static_cast<size_t>(index)];
  const int width = m_width - 2 * kPadding;
  const bool lit = index == m_hover;
  PaintWindow(m_display, m_screen, row.window, width, row.height, [&](cairo_t* cr) {
    SetSource(cr, lit ? kHighlight : kBackground);
    cairo_paint(cr);
    if (row.command == 0) {
      SetSource(cr, kSeparator);
      cairo_set_line_width(cr, 1);
      cairo_move_to(cr, 4, row.height / 2 + 0.5);
      cairo_line_to(cr, width - 4, row.height / 2 + 0.5);
      cairo_stroke(cr);
      return;
    }
    SelectFont(cr);
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    SetSource(cr, lit ? kHighlightText : kText);
    cairo_move_to(cr, kTextIndent - kPadding, (row.height - font.height) / 2 + font.ascent);
    cairo_show_text(cr, row.label.c_str());
  });
  XFlush(m_display);
}

}  // namespace platform
