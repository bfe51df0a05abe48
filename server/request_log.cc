#include "request_log.h"

namespace product_server {

void RequestLog::Request(std::string_view method, std::string_view target,
                         std::string_view range, int status,
                         const std::vector<std::string>& headerValues) {
  std::string line;
  line.append(method).append(" ").append(target).append(" ");
  std::string compactRange;
  for (char c : range) {
    if (c != ' ' && c != '\t') compactRange += c;
  }
  line.append(compactRange.empty() ? "-" : compactRange);
  line.append(" ").append(std::to_string(status));
  for (size_t i = 0; i < m_headerNames.size(); ++i) {
    const std::string value = i < headerValues.size() ? headerValues[i] : std::string();
    line.append(" | ").append(m_headerNames[i]).append(": ").append(value.empty() ? "-" : value);
  }
  Line(line);
}

void RequestLog::Line(std::string_view text) {
  std::lock_guard<std::mutex> guard(m_lock);
  std::fwrite(text.data(), 1, text.size(), m_out);
  std::fputc('\n', m_out);
  std::fflush(m_out);
}

}  // namespace product_server
