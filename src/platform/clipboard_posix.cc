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
    m_text = text;
    return true;
  }
  std::optional<std::string> GetText() override {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_text;
  }

 private:
  std::mutex m_lock;
  std::optional<std::string> m_text;
};

}  // namespace

IClipboard& ProcessClipboard() {
  static InProcessClipboard clipboard;
  return clipboard;
}

}  // namespace platform
