// The client update data and the choice of server URL.
//
// `CUrlSelector` holds the current face (server and data-update URLs) and
// the run-time record, builds them from the predefined document, the
// embedded server list and "CUD.dat", merges documents downloaded from a
// data-update URL, and saves "CUD.dat" (encrypted unless in debug mode).
//
// Threads: the controller's thread only; no lock. Every call blocks for the
// file work it does. Failures are false results plus a log line through the
// log callback; nothing throws. Server text is logged as data, never used as
// a format.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <tinyxml2.h>

#include "servers/cud_data.h"

// The key text of "CUD.dat" built into the launcher.
inline constexpr const char kCudKeyText[] = "9C3E71A0B58D24F6E07A1D93C6B2485F";
inline constexpr const char kCudFileName[] = "CUD.dat";

// "CUD.dat" in the client folder; the bare name when the folder is empty.
std::string CudFilePath(const std::string& clientFolder);

class CUrlSelector {
 public:
  // Receives every progress message; the line ends only when `lineEnd` is
  // true ("Initializing CUD... " then "OK").
  using LogCallback = std::function<void(const std::string& text, bool lineEnd)>;

  CUrlSelector() = default;
  CUrlSelector(const CUrlSelector&) = delete;
  CUrlSelector& operator=(const CUrlSelector&) = delete;

  // Set before Initialize.
  void SetLogCallback(LogCallback callback) { m_log = std::move(callback); }
  // Hexadecimal key of the file; without one the file is stored as plain
  // text.
  void SetKeyText(std::string keyText) { m_keyText = std::move(keyText); }

  // Builds the data from the predefined `ClientUpdateData` element (or none),
  // the embedded server URL list (replaces the predefined login URLs when not
  // empty) and "CUD.dat" at `filePath` (empty: no file). False when no face
  // or no server URL is predefined.
  bool Initialize(const tinyxml2::XMLElement* predefined, const std::vector<std::string>& serverUrls,
                  const std::string& filePath, bool debugMode);

  // Reads "CUD.dat" at `path` into `face` (only a face with the current face
  // identifier) and/or `runtime`. Either may be null.
  bool LoadFile(const std::string& path, CudFace* face, CudRuntimeData* runtime);

  // Merges a downloaded document. True only when the URL lists changed.
  bool OnIncomingData(std::string_view text);

  // Writes "CUD.dat" (atomically: a temporary file renamed over the old one)
  // when the data changed since the last save. With `merge`, run-time values
  // another writer stored in the file meanwhile are taken over first.
  bool Save(bool merge);

  // The document text of `face` and `runtime`; none when the face has no
  // identifier.
  std::optional<std::string> PrintDocument(const CudFace& face, const CudRuntimeData& runtime) const;
  // The current document to the log between marker lines.
  void DumpDocument(const std::string& title);

  // URL selection (url_selection.cc). All need a successful Initialize and
  // set `modified`; results are booleans plus log lines.
  //
  // One rotation step over `list`: hands out every entry once per cycle,
  // starting with `current` when it is an entry; false (counter 0, current
  // cleared) when the cycle is depleted or the list is empty. Entries that
  // are not http or https URLs are never handed out.
  static bool SelectNextURL(const std::vector<std::string>& list, std::string& current, int& counter);
  // Next server URL into `selectedURL`; refused while a custom URL is pending.
  bool SelectServerURL();
  // Next data-update URL into `updateURL`.
  bool SelectUpdateURL();
  // A server URL typed by the user becomes the selected one, pending until
  // accepted or rejected. Refuses an empty text, a URL that is already a
  // server URL and anything that is not an http or https URL.
  bool SetCustomURL(const std::string& url);
  // A download through the custom URL worked: it joins the server URLs.
  bool AcceptCustomURL();
  // The custom URL failed: it is dropped (and removed from the server URLs).
  void RejectCustomURL();

  // The file cipher with the key text; both fail without a valid key, and
  // encryption also fails in debug mode (the file is then written plain).
  bool EncryptData(std::string_view in, std::string& out) const;
  bool DecryptData(std::string_view in, std::string& out) const;

  // Steps of the above, public for their own tests.
  //
  // The face under `root` (its first `Face`, or with `matchId` the first
  // `Face`-or-later sibling whose id is the current face identifier), and
  // with `byLocation` the first `LoginURLs` whose country and city lists
  // admit the current location.
  bool ParseFace(const tinyxml2::XMLElement* root, CudFace& face, bool matchId, bool byLocation) const;
  static void ReadUrlList(const tinyxml2::XMLElement* element, std::vector<std::string>& list);
  // Upper-cased, blank-trimmed, distinct names of a comma-separated list.
  // False (set untouched) for a value longer than 255 bytes.
  static bool SplitLocationList(std::string_view value, std::set<std::string>& set);
  static void ParseReplaceRules(const tinyxml2::XMLElement* element, std::vector<UrlReplaceRule>& rules);
  // Number of rules that found their URL.
  static int ApplyReplaceRules(CudFace& face, const std::vector<UrlReplaceRule>& rules);
  static bool MergeFace(CudFace& current, const CudFace& other);

  // State, also read and changed by the URL selection.
  const CudFace& Face() const { return m_face; }
  CudFace& Face() { return m_face; }
  const CudRuntimeData& Runtime() const { return m_runtime; }
  CudRuntimeData& Runtime() { return m_runtime; }
  int ServerIndex() const { return m_serverIndex; }
  int UpdateIndex() const { return m_updateIndex; }
  const std::string& FilePath() const { return m_filePath; }
  bool IsInitialized() const { return m_initialized; }
  bool IsDebugDump() const { return m_debugDump; }
  bool IsModified() const { return m_modified; }
  void SetModified() { m_modified = true; }

 private:
  void Log(const std::string& text, bool lineEnd) const;
  // The file's bytes as document text: plain when short or starting with
  // "<Client", else decrypted, else the raw bytes.
  std::string FileText(const std::string& bytes) const;

  CudFace m_face;
  CudRuntimeData m_runtime;
  int m_serverIndex = 0;
  int m_updateIndex = 0;
  std::string m_filePath;
  std::optional<std::string> m_keyText;
  bool m_initialized = false;
  bool m_debugDump = false;
  bool m_modified = false;
  LogCallback m_log;
};
