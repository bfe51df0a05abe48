#include "request_path.h"

namespace product_server {

std::optional<std::string> NormalizeRequestPath(std::string_view path) {
  if (path.empty() || path.front() != '/') return std::nullopt;
  if (path.find('\0') != std::string_view::npos || path.find('\\') != std::string_view::npos) {
    return std::nullopt;
  }
  std::string result;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view segment = path.substr(start, end - start);
    if (segment == "..") return std::nullopt;
    if (!segment.empty() && segment != ".") result.append("/").append(segment);
    start = end + 1;
  }
  // Keep a trailing slash: "/dir/" names a folder, not the file "/dir".
  if (result.empty() || path.back() == '/') result += '/';
  return result;
}

}  // namespace product_server
