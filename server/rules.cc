#include "rules.h"

#include <charconv>
#include <functional>
#include <vector>

namespace product_server {
namespace {

struct Item {
  std::string_view key;
  std::string_view value;
};

bool SplitItems(std::string_view text, std::vector<Item>& items, std::string& error) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.remove_suffix(1);
  while (!text.empty()) {
    size_t comma = text.find(',');
    std::string_view part = text.substr(0, comma);
    size_t equals = part.find('=');
    if (equals == std::string_view::npos || equals == 0) {
      error = "expected key=value, got \"" + std::string(part) + "\"";
      return false;
    }
    items.push_back({part.substr(0, equals), part.substr(equals + 1)});
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return true;
}

template <typename Number>
bool ParseNumber(const Item& item, Number& value, std::string& error) {
  auto [end, result] =
      std::from_chars(item.value.data(), item.value.data() + item.value.size(), value);
  if (item.value.empty() || result != std::errc() ||
      end != item.value.data() + item.value.size()) {
    error = "bad number for " + std::string(item.key) + ": \"" + std::string(item.value) + "\"";
    return false;
  }
  return true;
}

// "N" or "N:M" into two numbers; the second stays unchanged when absent.
template <typename A, typename B>
bool ParsePair(const Item& item, A& first, B& second, std::string& error) {
  size_t colon = item.value.find(':');
  if (!ParseNumber(Item{item.key, item.value.substr(0, colon)}, first, error)) return false;
  if (colon == std::string_view::npos) return true;
  return ParseNumber(Item{item.key, item.value.substr(colon + 1)}, second, error);
}

bool ApplyMatch(const Item& item, PathMatch& match, bool& handled, std::string& error) {
  handled = item.key == "prefix" || item.key == "path";
  if (!handled) return true;
  if (item.value.empty() || item.value.front() != '/') {
    error = std::string(item.key) + " must start with /";
    return false;
  }
  match.text = std::string(item.value);
  match.exact = item.key == "path";
  return true;
}

using ItemHandler = std::function<bool(const Item&, std::string&)>;

bool ParseItems(std::string_view text, PathMatch& match, const ItemHandler& handler,
                std::string& error) {
  std::vector<Item> items;
  if (!SplitItems(text, items, error)) return false;
  for (const Item& item : items) {
    bool handled = false;
    if (!ApplyMatch(item, match, handled, error)) return false;
    if (handled) continue;
    if (!handler(item, error)) {
      if (error.empty()) error = "unknown item \"" + std::string(item.key) + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace

bool PathMatch::Matches(std::string_view path) const {
  if (exact) return path == text;
  return path.substr(0, text.size()) == text;
}

bool ParseRedirectRule(std::string_view text, RedirectRule& rule, std::string& error) {
  rule = RedirectRule();
  bool ok = ParseItems(text, rule.match, [&](const Item& item, std::string& err) {
    if (item.key == "to") {
      rule.to = std::string(item.value);
      return true;
    }
    if (item.key == "status") return ParseNumber(item, rule.status, err);
    return false;
  }, error);
  if (!ok) return false;
  if (rule.to.empty()) error = "redirect needs to=";
  else if (rule.status < 300 || rule.status > 399) error = "redirect status must be 3xx";
  return error.empty();
}

bool ParseMaintenanceRule(std::string_view text, MaintenanceRule& rule, std::string& error) {
  rule = MaintenanceRule();
  bool ok = ParseItems(text, rule.match, [&](const Item& item, std::string& err) {
    if (item.key == "body") {
      rule.bodyPath = std::string(item.value);
      return true;
    }
    if (item.key == "status") return ParseNumber(item, rule.status, err);
    return false;
  }, error);
  if (!ok) return false;
  if (rule.bodyPath.empty()) error = "maintenance needs body=";
  else if (rule.status < 500 || rule.status > 599) error = "maintenance status must be 5xx";
  return error.empty();
}

bool ParseFaultRule(std::string_view text, FaultRule& rule, std::string& error) {
  rule = FaultRule();
  bool ok = ParseItems(text, rule.match, [&](const Item& item, std::string& err) {
    if (item.key == "cut") return ParseNumber(item, rule.cutAfter.emplace(), err);
    if (item.key == "stall") {
      // "stall=N:MS" waits MS milliseconds after N bytes.
      if (item.value.find(':') == std::string_view::npos) {
        err = "stall needs bytes:milliseconds";
        return false;
      }
      return ParsePair(item, rule.stallAfter.emplace(), rule.stallMs, err);
    }
    if (item.key == "corrupt") {
      return ParsePair(item, rule.corruptOffset.emplace(), rule.corruptCount, err);
    }
    if (item.key == "trickle") {
      // "trickle=N:MS" sends N bytes every MS milliseconds.
      if (item.value.find(':') == std::string_view::npos) {
        err = "trickle needs bytes:milliseconds";
        return false;
      }
      return ParsePair(item, rule.trickleBytes.emplace(), rule.trickleMs, err);
    }
    if (item.key == "gzipbomb") return ParseNumber(item, rule.gzipBombSize.emplace(), err);
    if (item.key == "pad") return ParseNumber(item, rule.padBytes, err);
    if (item.key == "status") return ParseNumber(item, rule.status, err);
    if (item.key == "times") return ParseNumber(item, rule.times.emplace(), err);
    return false;
  }, error);
  if (!ok) return false;
  if (!rule.cutAfter && !rule.stallAfter && !rule.corruptOffset && !rule.trickleBytes && !rule.gzipBombSize &&
      rule.padBytes == 0 && rule.status == 0) {
    error = "fault needs cut=, stall=, corrupt=, trickle=, gzipbomb=, pad= or status=";
  } else if (rule.trickleBytes && *rule.trickleBytes == 0) {
    error = "fault trickle must send at least 1 byte";
  } else if (rule.padBytes > kMaxPadBytes) {
    error = "fault pad is at most " + std::to_string(kMaxPadBytes) + " bytes";
  } else if (rule.status != 0 && (rule.status < 100 || rule.status > 599)) {
    error = "fault status must be 100 to 599";
  } else if (rule.times && *rule.times == 0) {
    error = "fault times must be at least 1";
  }
  return error.empty();
}

}  // namespace product_server
