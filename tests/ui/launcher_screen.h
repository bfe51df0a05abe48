// What the window tests need to drive the real launcher on a private X
// server: where the embedded theme puts a form's controls (laid out
// off-screen at 96 DPI) and the launcher's top-level windows, their places
// and clicks on them.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "ui/gui_types.h"

namespace ui {
class CLayeredWindow;
}

namespace window_testing {

// Polls `condition` every 50 ms until it holds; false after `seconds`.
template <typename Condition>
bool WaitUntil(Condition condition, int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return condition();
}

struct FormLayout {
  ui::GuiSize size;
  std::map<int, ui::GuiPoint> centres;  // by control id, window pixels
};

// Lays out form `form` with frame `frame` of the embedded theme (the user's
// stored theme choice applies) and finds the centres of `controls`; false
// (with the reason) when the theme does not load or a control is missing.
// `more`, when given, runs on the laid-out window before it goes, for
// places the centres do not tell (the rows of a list).
bool ReadFormLayout(int form, int frame, const std::vector<int>& controls, FormLayout& layout, std::string& error,
                    const std::function<void(ui::CLayeredWindow&)>& more = {});

// The top-level windows of the current DISPLAY that carry _NET_WM_PID, with
// that process id; `processId` 0 takes every process.
struct TopWindow {
  unsigned long window = 0;
  int processId = 0;
  ui::GuiSize size;
  ui::GuiPoint origin;
  bool viewable = false;
  std::string title;
};
std::vector<TopWindow> TopWindows(int processId = 0);

// A left click at `point` of the window (window pixels).
bool ClickAt(const TopWindow& window, ui::GuiPoint point);

}  // namespace window_testing
