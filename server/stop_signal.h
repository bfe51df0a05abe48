// Set once when the server shuts down; waits in the body writers end early
// when it is set. Any thread may call.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace product_server {

class StopSignal {
 public:
  void Set() {
    {
      std::lock_guard<std::mutex> guard(m_lock);
      m_set = true;
    }
    m_changed.notify_all();
  }
  bool IsSet() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_set;
  }
  // Blocks up to `ms` milliseconds; true when the time ran out, false when
  // the signal was set.
  bool WaitFor(unsigned ms) {
    std::unique_lock<std::mutex> lock(m_lock);
    return !m_changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_set; });
  }

 private:
  mutable std::mutex m_lock;
  std::condition_variable m_changed;
  bool m_set = false;
};

}  // namespace product_server
