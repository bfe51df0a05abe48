#include "control_endpoint.h"

#include <string>
#include <vector>

namespace product_server {

int AnswerControl(const httplib::Request& req, RuleSet& rules, httplib::Response& res) {
  const char* kText = "text/plain; charset=utf-8";
  if (req.path == "/_control/reset") {
    rules.Clear();
    res.status = 200;
    res.set_content("ok\n", kText);
    return res.status;
  }
  if (req.path != "/_control/rules") {
    res.status = 404;
    res.set_content("unknown control path\n", kText);
    return res.status;
  }
  // Check every line first, so a bad one adds nothing.
  std::vector<std::string> lines;
  std::string_view body = req.body;
  while (!body.empty()) {
    size_t end = body.find('\n');
    std::string line(body.substr(0, end));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
    if (end == std::string_view::npos) break;
    body.remove_prefix(end + 1);
  }
  RuleSet check;
  for (const std::string& line : lines) {
    std::string error;
    if (!check.AddLine(line, error)) {
      res.status = 400;
      res.set_content(error + "\n", kText);
      return res.status;
    }
  }
  for (const std::string& line : lines) {
    std::string error;
    rules.AddLine(line, error);
  }
  res.status = 200;
  res.set_content("ok\n", kText);
  return res.status;
}

}  // namespace product_server
