// Helpers of the update engine's tests: a message window that records what
// the workers post, and small builders for trees, manifests and packages.
#pragma once

#include <libdeflate.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/local_time.h"
#include "platform/message_loop.h"
#include "support/temp_dir.h"

namespace update_test {

inline uint32_t Crc(const std::string& bytes) {
  return static_cast<uint32_t>(libdeflate_crc32(0, bytes.data(), bytes.size()));
}

// A window of the test thread that keeps every message it gets.
class Inbox {
 public:
  Inbox() {
    m_window = platform::CreateMessageWindow("UpdateTestInbox", "", [this](const platform::Message& m) {
      messages.push_back(m);
      return 0;
    });
  }
  ~Inbox() { platform::DestroyMessageWindow(m_window); }
  platform::WindowHandle window() const { return m_window; }

  // Pumps until a message `id` arrives (true) or the time runs out.
  bool WaitFor(uint32_t id, uint32_t limitMs = 20000) { return PumpUntil([&] { return Has(id); }, limitMs); }
  bool PumpUntil(const std::function<bool()>& done, uint32_t limitMs) {
    const uint64_t deadline = platform::TickCountMs() + limitMs;
    platform::Message m;
    while (!done()) {
      if (platform::TickCountMs() > deadline) return false;
      if (platform::PeekMessage(m)) {
        platform::DispatchMessage(m);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    return true;
  }
  // Drains what is queued now, for `ms` milliseconds.
  void Pump(uint32_t ms) {
    PumpUntil([] { return false; }, ms);
  }
  bool Has(uint32_t id) const { return Count(id) > 0; }
  size_t Count(uint32_t id) const {
    size_t n = 0;
    for (const platform::Message& m : messages) n += m.message == id;
    return n;
  }
  const platform::Message* Last(uint32_t id) const {
    for (auto it = messages.rbegin(); it != messages.rend(); ++it)
      if (it->message == id) return &*it;
    return nullptr;
  }

  std::vector<platform::Message> messages;

 private:
  platform::WindowHandle m_window = 0;
};

// Files of a tree: relative path ("/" separators) -> bytes.
using Tree = std::map<std::string, std::string>;

inline void WriteTree(const std::filesystem::path& root, const Tree& tree) {
  for (const auto& [path, bytes] : tree) testing_support::WriteFileBytes(root / path, bytes);
}

// Every regular file below `root` (links left out), relative with "/".
inline Tree ReadTree(const std::filesystem::path& root) {
  Tree tree;
  for (auto it = std::filesystem::recursive_directory_iterator(root); it != std::filesystem::recursive_directory_iterator();
       ++it) {
    std::error_code error;
    if (!it->is_symlink(error) && it->is_regular_file(error))
      tree[std::filesystem::relative(it->path(), root).generic_string()] = testing_support::ReadFileBytes(it->path());
  }
  return tree;
}

// <FILE file=... crc=... size=.../> for `bytes`.
inline std::string FileElement(const std::string& path, const std::string& bytes) {
  return "<FILE file=\"" + path + "\" crc=\"" + std::to_string(Crc(bytes)) + "\" size=\"" +
         std::to_string(bytes.size()) + "\"/>";
}

}  // namespace update_test
