// An exclusive lock, by name, between the processes of one user: a lock
// file in the runtime folder (platform/runtime_folder.h) under an exclusive
// advisory lock. It is held while the object lives and goes with its
// process, however the process ends.
//
// Any thread; TryAcquire never waits.
#pragma once

#include <memory>
#include <string>

namespace platform {

class ExclusiveLock {
 public:
  enum class Outcome {
    kAcquired,
    kHeldElsewhere,  // another holder (this process included) has it
    kUnavailable,    // no runtime folder or lock file: nothing can be coordinated
  };

  ~ExclusiveLock();
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;

  // The lock `name` (any characters), when nobody holds it.
  static std::unique_ptr<ExclusiveLock> TryAcquire(const std::string& name, Outcome& outcome);

 private:
  explicit ExclusiveLock(int fd) : m_fd(fd) {}
  int m_fd;
};

}  // namespace platform
