// Sets (or with no value removes) one environment variable for a scope and
// puts the old value back at its end. Tests only; not thread-safe.
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

namespace testing_support {

class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::optional<std::string>& value) : m_name(name) {
    if (const char* old = ::getenv(name)) m_old = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ScopedVariable(const char* name, const char* value)
      : ScopedVariable(name, value ? std::optional<std::string>(value) : std::nullopt) {}
  ~ScopedVariable() {
    if (m_old) {
      ::setenv(m_name.c_str(), m_old->c_str(), 1);
    } else {
      ::unsetenv(m_name.c_str());
    }
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  std::string m_name;
  std::optional<std::string> m_old;
};

}  // namespace testing_support
