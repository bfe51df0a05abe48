// A named mutex shared by the processes of one user: it exists while any
// process holds a handle to it. Handles are RAII objects; the name may hold
// any characters (it is turned into a file name in the runtime folder).
#pragma once

#include <memory>
#include <string>

namespace platform {

class NamedMutex {
 public:
  ~NamedMutex();
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // Creates the mutex, or opens it when it exists; nothing on failure.
  static std::unique_ptr<NamedMutex> Create(const std::string& name);
  // Opens the mutex only when some process holds it; nothing otherwise.
  static std::unique_ptr<NamedMutex> Open(const std::string& name);

 private:
  explicit NamedMutex(int fd) : m_fd(fd) {}
  int m_fd;
};

}  // namespace platform
