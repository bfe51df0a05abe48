// CBuffer: a growable byte buffer for request and answer bodies and header
// blocks. Owns its bytes; not shared between threads while one writes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class CBuffer {
 public:
  const char* Data() const { return m_bytes.data(); }
  size_t Size() const { return m_bytes.size(); }
  bool Empty() const { return m_bytes.empty(); }
  std::string_view View() const { return m_bytes; }

  void Append(const void* data, size_t size) { m_bytes.append(static_cast<const char*>(data), size); }
  void Append(std::string_view text) { m_bytes.append(text); }
  void Reserve(size_t size) { m_bytes.reserve(size); }
  void Clear() { m_bytes.clear(); }
  // Drops the first `count` bytes (all when there are fewer).
  void EraseFront(size_t count) { m_bytes.erase(0, count); }
  // Clears and gives the memory back.
  void Release() { std::string().swap(m_bytes); }

 private:
  std::string m_bytes;
};
