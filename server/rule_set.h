// The rules in force: the ones from the command line plus the ones added
// through the control endpoint. Any thread may call; every call takes the
// set's lock briefly and never blocks otherwise.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules.h"

namespace product_server {

class RuleSet {
 public:
  // `line` is a kind word ("redirect", "maintenance" or "fault") followed by
  // a blank and the rule text (rules.h). False with `error` set when it does
  // not parse; the set is unchanged then.
  bool AddLine(std::string_view line, std::string& error);
  void Add(RedirectRule rule);
  void Add(MaintenanceRule rule);
  void Add(FaultRule rule);
  void Clear();

  // The first rule of the kind, in the order added, that matches `path`.
  std::optional<RedirectRule> FindRedirect(std::string_view path) const;
  std::optional<MaintenanceRule> FindMaintenance(std::string_view path) const;
  // Like the finders, and counts the use: a fault limited by `times` is
  // removed once spent.
  std::optional<FaultRule> TakeFault(std::string_view path);

 private:
  mutable std::mutex m_lock;
  std::vector<RedirectRule> m_redirects;
  std::vector<MaintenanceRule> m_maintenance;
  std::vector<FaultRule> m_faults;
};

}  // namespace product_server
