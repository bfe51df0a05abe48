#include "launcher_screen.h"

#include <cstring>
#include <memory>

#include "config/language_list.h"
#include "config/launcher_config.h"
#include "config/launcher_lang_table.h"
#include "config/launcher_settings.h"
#include "config/resource_archive.h"
#include "support/built_resources.h"
#include "ui/dpi_factor.h"
#include "ui/font_cache.h"
#include "ui/headless_backend.h"
#include "ui/layered_window.h"
#include "ui/theme_profile.h"
#include "ui/theme_setup.h"
#include "ui/theme_texture.h"
#include "xvfb_display.h"

// Xlib's macros (None, Status, ...) go last, after every other header.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace window_testing {

bool ReadFormLayout(int form, int frame, const std::vector<int>& controls, FormLayout& layout, std::string& error,
                    const std::function<void(ui::CLayeredWindow&)>& more) {
  if (!testing_support::OpenBuiltResourceArchive()) {
    error = "no resource archive";
    return false;
  }
  LauncherSettings settings;
  tinyxml2::XMLDocument config, theme;
  LanguageList languages;
  const ResourceArchive& archive = ResourceArchive::Instance();
  ui::SetDpiFactor(1.0);
  bool ok = LoadLauncherConfig(archive, settings, config, languages, error) &&
            LoadThemeDocument(archive, settings, theme, error) &&
            ui::LoadThemeResources(archive, settings.themeFolder, theme, error);
  if (ok) {
    std::unique_ptr<ui::CLayeredWindow> window =
        ui::CreateLauncherWindow(theme, std::make_unique<ui::HeadlessWindowBackend>(), {});
    if (window) window->ShowForm(form, frame);
    ok = window != nullptr && window->CurrentForm() != nullptr;
    if (!ok) error = "form " + std::to_string(form) + " does not show";
    const ui::GuiControl* shown = ok ? window->CurrentForm() : nullptr;
    if (shown) layout.size = window->SurfaceSize();
    for (int id : controls) {
      const ui::GuiControl* control = shown ? window->FindControl(id) : nullptr;
      if (control == nullptr) {
        if (ok) error = "no control " + std::to_string(id) + " on form " + std::to_string(form);
        ok = false;
        continue;
      }
      layout.centres[id] = {control->screenX - shown->screenX + control->screenWidth / 2,
                            control->screenY - shown->screenY + control->screenHeight / 2};
    }
    if (ok && more) more(*window);
  }
  ui::ResetProfiles();
  ui::ThemeTextureCache::Instance().SetSource(nullptr, std::string());
  ui::UnloadPrivateFonts();
  ui::ResetFontCache();
  CLauncherLangTable::Reset();
  return ok;
}

std::vector<TopWindow> TopWindows(int processId) {
  std::vector<TopWindow> found;
  Display* x = XOpenDisplay(nullptr);
  if (x == nullptr) return found;
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  const Atom pidAtom = XInternAtom(x, "_NET_WM_PID", False);
  if (XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count; ++i) {
      Atom type = None;
      int format = 0;
      unsigned long items = 0, after = 0;
      unsigned char* data = nullptr;
      long pid = 0;
      if (XGetWindowProperty(x, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                             &data) == Success &&
          data && items == 1) {
        std::memcpy(&pid, data, sizeof pid);
      }
      if (data) XFree(data);
      if (pid == 0 || (processId != 0 && pid != processId)) continue;
      TopWindow top;
      top.window = children[i];
      top.processId = static_cast<int>(pid);
      XWindowAttributes attributes{};
      if (XGetWindowAttributes(x, children[i], &attributes)) {
        top.size = {attributes.width, attributes.height};
        top.origin = {attributes.x, attributes.y};
        top.viewable = attributes.map_state == IsViewable;
      }
      char* name = nullptr;
      if (XFetchName(x, children[i], &name) && name) {
        top.title = name;
        XFree(name);
      }
      found.push_back(top);
    }
  }
  if (children) XFree(children);
  XCloseDisplay(x);
  return found;
}

bool ClickAt(const TopWindow& window, ui::GuiPoint point) {
  return XdoTool({"mousemove", std::to_string(window.origin.x + point.x), std::to_string(window.origin.y + point.y)}) &&
         XdoTool({"sleep", "0.2", "click", "1"});
}

}  // namespace window_testing
