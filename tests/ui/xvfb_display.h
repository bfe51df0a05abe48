// A private X server for the window tests: Xvfb on a free display number
// (chosen by the server through -displayfd), 1280 x 1024 x 24, no TCP.
// While it lives DISPLAY names it; the destructor stops the server (by its
// process id) and restores DISPLAY. Available() is false, with the reason,
// where Xvfb is not installed or does not start.
#pragma once

#include <string>
#include <vector>

namespace window_testing {

class XvfbDisplay {
 public:
  explicit XvfbDisplay(const std::vector<std::string>& extraArgs = {});
  ~XvfbDisplay();
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  bool Available() const { return !m_name.empty(); }
  const std::string& Why() const { return m_why; }
  // ":N"
  const std::string& Name() const { return m_name; }
  int Pid() const { return m_pid; }

 private:
  int m_pid = 0;
  std::string m_name;
  std::string m_why;
  std::string m_savedDisplay;
  bool m_hadDisplay = false;
};

// Runs xdotool with `args` against the current DISPLAY; false when it
// fails or is missing.
bool XdoTool(const std::vector<std::string>& args);

}  // namespace window_testing
