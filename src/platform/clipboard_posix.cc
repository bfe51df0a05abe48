#include "platform/clipboard.h"

#include <mutex>

namespace platform {
namespace {

// Text kept in this process. The lock only guards against a stray call
// from another thread; the window thread is the only intended user.
class InProcessClipboard final : public IClipboard {
 public:
  bool SetText(const std::string& text) override {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_desktop) return m_desktop->SetText(text);
    m_text = text;
    return true;
  }
  std::optional<std::string> GetText() override {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_desktop) return m_desktop->GetText();
    return m_text;
  }
  void SetDesktop(IClipboard* desktop) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_desktop = desktop;
  }

 private:
  std::mutex m_lock;
  std::optional<std::string> m_text;
  IClipboard* m_desktop = nullptr;
};

InProcessClipboard& TheClipboard() {
  static InProcessClipboard clipboard;
  return clipboard;
}

}  // namespace

IClipboard& ProcessClipboard() { return TheClipboard(); }

void SetDesktopClipboard(IClipboard* desktop) { TheClipboard().SetDesktop(desktop); }

}  // namespace platform
