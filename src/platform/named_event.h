// A named manual-reset event shared by the processes of one user: the
// launcher waits on it, the client it started sets it.
//
// The event is a flag file in the runtime folder: set while the file
// exists. Unlike a kernel object it outlives the processes that used it, so
// a waiter that must not take an earlier signal resets the event before it
// starts whatever will set it. The name may hold any characters (it is
// turned into a file name).
//
// Set, Reset and IsSet touch the file at once. Wait blocks the calling
// thread (inotify on the runtime folder, with a time-out); Interrupt may be
// called from any thread. Failures are results; nothing throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class NamedEvent {
 public:
  enum class WaitResult {
    kSet,          // the event was set, or became set, within the time
    kTimedOut,
    kInterrupted,  // Interrupt() was called
  };

  ~NamedEvent();
  NamedEvent(const NamedEvent&) = delete;
  NamedEvent& operator=(const NamedEvent&) = delete;

  // Creates the event, or opens it when it exists; its state is left as it
  // is (a new event is not set). Nothing when the runtime folder is unusable.
  static std::unique_ptr<NamedEvent> Create(const std::string& name);

  // Sets the event (creates the flag file); true when it is set.
  bool Set();
  // Clears the event; true when it is no longer set.
  bool Reset();
  bool IsSet() const;

  // Waits up to `timeoutMs` (kInfinite from sync.h: no limit) for the event
  // to be set. A set seen while waiting counts even when someone resets the
  // event right after. When the folder cannot be watched, the flag file is
  // polled instead.
  WaitResult Wait(uint32_t timeoutMs);
  // Makes the current Wait, and every later one, end with kInterrupted.
  void Interrupt();

  // The flag file (for diagnostics and tests).
  const std::string& FlagPath() const { return m_flagPath; }

 private:
  NamedEvent(std::string folder, std::string fileName, int interruptFd);
  WaitResult PollFlag(uint64_t deadline, bool infinite);

  std::string m_folder;
  std::string m_fileName;
  std::string m_flagPath;
  int m_interruptFd;  // eventfd; readable once interrupted
};

}  // namespace platform
