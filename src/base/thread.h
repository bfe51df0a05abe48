// CThread: the base of every worker thread. A name (given to the debugger),
// a start routine and its argument, and the running thread.
//
// start() and stop() are called by the owner (the main thread). A thread
// cannot be ended safely from outside on this system: when stop() runs out
// of time the thread is left running, detached, and the object is marked
// abandoned. An abandoned object must stay alive (its owner leaks it on
// purpose) because the thread may still use it; the process then ends
// without waiting for it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "platform/sync.h"

class CThread {
 public:
  using Routine = void (*)(void*);

  explicit CThread(std::string name, Routine routine = nullptr, void* argument = nullptr);
  // Waits without limit for a running thread (never for an abandoned one).
  virtual ~CThread();
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;

  // The thread body: calls the routine with its argument. Workers override it.
  virtual void run();
  // Starts the thread when none runs; false when one runs or nothing is set.
  virtual bool start();
  // Waits up to `timeoutMs` (platform::kInfinite: no limit). True when the
  // thread ended by itself (or none ran); false when it was abandoned.
  virtual bool stop(uint32_t timeoutMs);

  bool IsRunning() const { return m_thread.joinable(); }
  bool IsAbandoned() const { return m_abandoned; }
  const std::string& Name() const { return m_name; }

  // Threads abandoned by stop() in this process so far.
  static int AbandonedCount();

 protected:
  void SetRoutine(Routine routine, void* argument) {
    m_routine = routine;
    m_argument = argument;
  }

 private:
  static void Trampoline(void* self);

  std::string m_name;
  Routine m_routine;
  void* m_argument;
  std::thread m_thread;
  std::shared_ptr<platform::Event> m_finished;
  bool m_abandoned = false;
};

// A worker the controller stops with its own protocol: RequestStop() sets
// the worker's stop flags under its lock and wakes it; the controller then
// calls stop() with the worker's time-out.
class CWorkerThread : public CThread {
 public:
  explicit CWorkerThread(std::string name) : CThread(std::move(name)) { SetRoutine(&CWorkerThread::Body, this); }
  virtual void RequestStop() = 0;

 private:
  static void Body(void* self) { static_cast<CWorkerThread*>(self)->Work(); }

 protected:
  // The worker's body.
  virtual void Work() = 0;
};
