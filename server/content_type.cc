#include "content_type.h"

#include <cctype>

namespace product_server {

std::string ContentTypeForPath(std::string_view path) {
  struct Entry {
    std::string_view extension;
    std::string_view type;
  };
  static constexpr Entry kTypes[] = {
      {"xml", "application/xml"},          {"html", "text/html; charset=utf-8"},
      {"htm", "text/html; charset=utf-8"}, {"xhtml", "application/xhtml+xml"},
      {"txt", "text/plain; charset=utf-8"}, {"json", "application/json"},
      {"png", "image/png"},                {"zip", "application/zip"},
      {"rar", "application/vnd.rar"},
  };
  size_t slash = path.rfind('/');
  size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
    return "application/octet-stream";
  }
  std::string extension;
  for (char c : path.substr(dot + 1)) {
    extension += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  for (const Entry& entry : kTypes) {
    if (entry.extension == extension) return std::string(entry.type);
  }
  return "application/octet-stream";
}

}  // namespace product_server
