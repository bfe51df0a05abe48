// Locks and events with the semantics the workers rely on: a recursive
// critical section, and events that are manual- or auto-reset and can be
// waited on with a time-out in milliseconds.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

constexpr uint32_t kInfinite = 0xFFFFFFFF;

// A lock the owning thread may take again (as a critical section).
class CriticalSection {
 public:
  void Enter() { m_mutex.lock(); }
  void Leave() { m_mutex.unlock(); }
  bool TryEnter() { return m_mutex.try_lock(); }
  // For std::lock_guard / std::unique_lock.
  void lock() { Enter(); }
  void unlock() { Leave(); }

 private:
  std::recursive_mutex m_mutex;
};

class ScopedLock {
 public:
  explicit ScopedLock(CriticalSection& section) : m_section(section) { m_section.Enter(); }
  ~ScopedLock() { m_section.Leave(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  CriticalSection& m_section;
};

enum class EventReset { kManual, kAuto };

class Event {
 public:
  explicit Event(EventReset reset = EventReset::kManual, bool initiallySet = false)
      : m_auto(reset == EventReset::kAuto), m_set(initiallySet) {}

  void Set() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_set = true;
    }
    if (m_auto) {
      m_cv.notify_one();
    } else {
      m_cv.notify_all();
    }
  }
  void Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = false;
  }
  bool IsSet() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_set;
  }
  // True when the event was set within `timeoutMs` (kInfinite: no limit);
  // an auto-reset event is cleared by the wait that sees it.
  bool Wait(uint32_t timeoutMs = kInfinite) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto ready = [this] { return m_set; };
    if (timeoutMs == kInfinite) {
      m_cv.wait(lock, ready);
    } else if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
      return false;
    }
    if (m_auto) m_set = false;
    return true;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  const bool m_auto;
  bool m_set;
};

}  // namespace platform
