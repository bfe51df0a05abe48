// The URL selection operations of CUrlSelector: the server cycle, the
// data-update cycle and the user's custom server URL.
#include <algorithm>
#include <string>
#include <vector>

#include "net/url.h"
#include "servers/url_selector.h"

namespace {

const std::string kSeparator(80, '-');

bool Contains(const std::vector<std::string>& list, const std::string& url) {
  return std::find(list.begin(), list.end(), url) != list.end();
}

}  // namespace

bool CUrlSelector::SelectNextURL(const std::vector<std::string>& list, std::string& current, int& counter) {
  // Only http and https entries take part in a cycle.
  std::vector<const std::string*> entries;
  for (const std::string& url : list) {
    if (NetEx::IsHttpUrl(url)) entries.push_back(&url);
  }
  if (entries.empty()) {
    counter = 0;
    current.clear();
    return false;
  }
  const auto found = std::find_if(entries.begin(), entries.end(), [&](const std::string* e) { return *e == current; });
  size_t chosen = 0;
  if (current.empty() || found == entries.end()) {
    chosen = 0;
  } else if (counter == 0) {
    chosen = static_cast<size_t>(found - entries.begin());
  } else {
    chosen = (static_cast<size_t>(found - entries.begin()) + 1) % entries.size();
  }
  current = *entries[chosen];
  ++counter;
  if (counter < 0 || static_cast<size_t>(counter) > entries.size()) {
    counter = 0;
    current.clear();
    return false;
  }
  return true;
}

bool CUrlSelector::SelectServerURL() {
  if (!m_initialized) return false;
  Log(kSeparator, true);
  Log("Selecting server URL: ", false);
  if (!m_runtime.customURL.empty()) {
    Log("cannot select while custom URL is set", true);
    return false;
  }
  const bool selected = SelectNextURL(m_face.loginURLs, m_runtime.selectedURL, m_serverIndex);
  Log(!selected ? std::string("list depleted") : m_debugDump ? m_runtime.selectedURL : std::string("OK"), true);
  Log(kSeparator, true);
  m_modified = true;
  return selected;
}

bool CUrlSelector::SelectUpdateURL() {
  if (!m_initialized) return false;
  Log(kSeparator, true);
  Log("Selecting update URL: ", false);
  const bool selected = SelectNextURL(m_face.dataUpdateURLs, m_runtime.updateURL, m_updateIndex);
  Log(!selected ? std::string("list depleted") : m_debugDump ? m_runtime.updateURL : std::string("OK"), true);
  Log(kSeparator, true);
  m_modified = true;
  return selected;
}

bool CUrlSelector::SetCustomURL(const std::string& url) {
  if (!m_initialized) return false;
  Log(kSeparator, true);
  Log("Setting custom URL: ", false);
  if (url.empty()) {
    Log("URL is empty", true);
    return false;
  }
  if (Contains(m_face.loginURLs, url)) {
    Log("URL already exist", true);
    return false;
  }
  if (!NetEx::IsHttpUrl(url)) {
    Log("URL is not an http or https URL", true);
    return false;
  }
  m_runtime.selectedURL = url;
  m_runtime.customURL = url;
  m_serverIndex = 0;
  m_modified = true;
  Log(m_debugDump ? url : std::string("OK"), true);
  Log(kSeparator, true);
  return true;
}

bool CUrlSelector::AcceptCustomURL() {
  if (!m_initialized || m_runtime.customURL.empty()) return false;
  Log(kSeparator, true);
  Log("Accepting custom server URL... ", false);
  if (Contains(m_face.loginURLs, m_runtime.customURL)) {
    m_runtime.customURL.clear();
    Log("URL already exist", true);
    return false;
  }
  m_face.loginURLs.push_back(m_runtime.customURL);
  m_runtime.selectedURL = m_runtime.customURL;
  m_serverIndex = 1;
  m_runtime.customURL.clear();
  m_modified = true;
  Log("OK", true);
  Log(kSeparator, true);
  if (m_debugDump) DumpDocument("current CUD data");
  return true;
}

void CUrlSelector::RejectCustomURL() {
  if (!m_initialized || m_runtime.customURL.empty()) return;
  const auto it = std::find(m_face.loginURLs.begin(), m_face.loginURLs.end(), m_runtime.customURL);
  if (it != m_face.loginURLs.end()) {
    m_face.loginURLs.erase(it);
    if (m_serverIndex > 0) --m_serverIndex;
    m_modified = true;
  }
  if (m_runtime.selectedURL == m_runtime.customURL) {
    m_runtime.selectedURL.clear();
    m_serverIndex = 0;
    m_modified = true;
  }
  m_runtime.customURL.clear();
}
