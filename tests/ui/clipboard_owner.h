// Another client of the X server that owns the desktop clipboard (the
// CLIPBOARD selection) and answers UTF8_STRING requests with a text, as a
// desktop application that copied it would. It serves from a thread of its
// own until it is destroyed.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace window_testing {

class ClipboardOwner {
 public:
  // Takes the clipboard of the current DISPLAY; Owning() says whether it did.
  explicit ClipboardOwner(std::string text);
  ~ClipboardOwner();
  ClipboardOwner(const ClipboardOwner&) = delete;
  ClipboardOwner& operator=(const ClipboardOwner&) = delete;

  bool Owning() const { return m_owning; }

 private:
  void Serve();

  std::string m_text;
  std::atomic<bool> m_stop{false};
  std::atomic<bool> m_owning{false};
  std::atomic<bool> m_ready{false};
  std::thread m_thread;
};

}  // namespace window_testing
