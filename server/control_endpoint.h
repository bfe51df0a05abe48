// The control endpoint through which a test changes the rules of a running
// server (POST only):
//   /_control/rules   body: one rule per line, "fault ...", "redirect ..."
//                     or "maintenance ..." (rules.h); all or none are added
//   /_control/reset   removes every rule, the command line's included
// Answers 200 "ok", 400 with the reason for a bad rule, 404 otherwise.
// Called on the server's worker threads.
#pragma once

#include <httplib.h>

#include <string_view>

#include "rule_set.h"

namespace product_server {

inline constexpr std::string_view kControlPrefix = "/_control/";

// Fills `res` and returns its status.
int AnswerControl(const httplib::Request& req, RuleSet& rules, httplib::Response& res);

}  // namespace product_server
