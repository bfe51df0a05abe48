#include "platform/shell_open.h"

#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "platform/process.h"

namespace platform {

namespace {

// The first executable `name` along $PATH.
std::string FindInPath(const std::string& name) {
  const char* path = ::getenv("PATH");
  std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    const size_t end = folders.find(':', start);
    const std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!folder.empty()) {
      const std::string candidate = folder + "/" + name;
      if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return std::string();
}

}  // namespace

bool OpenInBrowser(const std::string& url) {
  if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) return false;
  const std::string opener = FindInPath("xdg-open");
  if (opener.empty()) return false;
  return StartProcess({opener, url}) != 0;
}

}  // namespace platform
