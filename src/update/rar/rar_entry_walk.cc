#include "update/rar/rar_entry_walk.h"

namespace rar {

bool RarEntryWalk::Find(const std::string& name, std::string& out) {
  out.clear();
  if (!IsOpen()) {
    m_error = "archive not open";
    return false;
  }
  Rewind();
  while (Next()) {
    if (Current().name == name) return Extract(out);
  }
  if (m_error.empty()) m_error = "\"" + name + "\" not found";
  return false;
}

}  // namespace rar
