// A fatal start-up failure raised by the controller with a fixed text; the
// entry point shows the text in its error box.
#pragma once

#include <stdexcept>
#include <string>

class StartupError : public std::runtime_error {
 public:
  explicit StartupError(const std::string& text) : std::runtime_error(text) {}
};
