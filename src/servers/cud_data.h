// The client update data: where the launcher's servers are ("CUD" in the
// log). Plain values; `CUrlSelector` owns one face and one run-time record.
#pragma once

#include <string>
#include <vector>

// One face of the document: the server URLs of one product identity.
struct CudFace {
  std::string faceId;
  // When every URL has failed, the user may be asked for a server URL.
  bool askLoginURL = false;
  // Candidate server base URLs, in document order; duplicates kept, never
  // empty entries.
  std::vector<std::string> loginURLs;
  // URLs from which a fresh document can be downloaded.
  std::vector<std::string> dataUpdateURLs;
};

// A rewrite of a stored URL, from the predefined document only.
struct UrlReplaceRule {
  std::string from;  // never empty
  std::string to;    // empty: remove the URL
};

// Values that live between runs, and the current choices ("RTD" in the log).
struct CudRuntimeData {
  std::vector<UrlReplaceRule> replaceRules;  // predefined document only, never stored
  std::string selectedURL;                   // server URL in use; stored
  std::string updateURL;                     // data-update URL in use; not stored
  std::string lastKnownGoodURL;              // stored and written back unchanged
  std::string customURL;                     // typed by the user, not yet accepted; not stored
  std::string country = "N/A";               // the client's location; stored
  std::string city = "N/A";
};
