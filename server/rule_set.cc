#include "rule_set.h"

namespace product_server {

bool RuleSet::AddLine(std::string_view line, std::string& error) {
  size_t blank = line.find(' ');
  std::string_view kind = line.substr(0, blank);
  std::string_view text = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
  if (kind == "redirect") {
    RedirectRule rule;
    if (!ParseRedirectRule(text, rule, error)) return false;
    Add(std::move(rule));
  } else if (kind == "maintenance") {
    MaintenanceRule rule;
    if (!ParseMaintenanceRule(text, rule, error)) return false;
    Add(std::move(rule));
  } else if (kind == "fault") {
    FaultRule rule;
    if (!ParseFaultRule(text, rule, error)) return false;
    Add(std::move(rule));
  } else {
    error = "unknown rule kind \"" + std::string(kind) + "\"";
    return false;
  }
  return true;
}

void RuleSet::Add(RedirectRule rule) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_redirects.push_back(std::move(rule));
}

void RuleSet::Add(MaintenanceRule rule) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_maintenance.push_back(std::move(rule));
}

void RuleSet::Add(FaultRule rule) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_faults.push_back(std::move(rule));
}

void RuleSet::Clear() {
  std::lock_guard<std::mutex> guard(m_lock);
  m_redirects.clear();
  m_maintenance.clear();
  m_faults.clear();
}

std::optional<RedirectRule> RuleSet::FindRedirect(std::string_view path) const {
  std::lock_guard<std::mutex> guard(m_lock);
  for (const RedirectRule& rule : m_redirects) {
    if (rule.match.Matches(path)) return rule;
  }
  return std::nullopt;
}

std::optional<MaintenanceRule> RuleSet::FindMaintenance(std::string_view path) const {
  std::lock_guard<std::mutex> guard(m_lock);
  for (const MaintenanceRule& rule : m_maintenance) {
    if (rule.match.Matches(path)) return rule;
  }
  return std::nullopt;
}

std::optional<FaultRule> RuleSet::TakeFault(std::string_view path) {
  std::lock_guard<std::mutex> guard(m_lock);
  for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
    if (!it->match.Matches(path)) continue;
    FaultRule taken = *it;
    if (it->times && --*it->times == 0) m_faults.erase(it);
    return taken;
  }
  return std::nullopt;
}

}  // namespace product_server
