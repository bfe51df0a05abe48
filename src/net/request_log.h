// The per-context HTTP request log: one plain-text file per transport
// context, "<folder><process id>.<context log name>.log", UTF-8 with a
// byte-order mark, made of titled entries (a title, a row of '=' and a
// timestamp) followed by "Label: value" fields.
//
// `CLog` belongs to one context and is written on the transport thread
// only. A log that cannot be opened is simply absent; write errors are
// ignored (the calls report them as false, nobody needs to look).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/append_file.h"

namespace NetEx {

// The session's log settings (command 0x405).
struct LogSettings {
  int32_t kind = 0;          // 0 no log, 1 plain text, 2 the same through CCypherLog
  std::string folder;        // ends with the path separator
  uint32_t maxWrite = 4096;  // longest single write; longer texts are cut
};

class CLog {
 public:
  static constexpr int kLineWidth = 90;
  static constexpr std::string_view kTooLarge = " ...block is too large...";

  CLog() = default;
  virtual ~CLog() = default;
  CLog(const CLog&) = delete;
  CLog& operator=(const CLog&) = delete;

  // Opens (creating) `fileName` for appending; a new, empty file gets the
  // UTF-8 byte-order mark.
  bool Open(const std::string& fileName, uint32_t maxWrite = 4096);
  void Close() { m_file.Close(); }
  bool IsOpen() const { return m_file.IsOpen(); }

  // Writes `text`, cut to the maximum write followed by " ...block is too
  // large..." when longer.
  bool Write(std::string_view text);
  // The title, N characters of " =====..." (N = max(3, 90 - timestamp
  // length - title length)), the timestamp and a line end.
  void Entry(std::string_view title);
  void Field(std::string_view label, std::string_view value);
  void Field(std::string_view label, int64_t value);
  // A label on its own line, then the bytes (cut as Write does) and a line
  // end: header blocks and bodies.
  void Block(std::string_view label, std::string_view bytes);
  // The error text of a code (net_errors.h) as a line.
  void ErrorLine(int64_t code);
  void Flush() { m_file.Flush(); }

  // "[dd.mm.yyyy hh:mm:ss.mmm]", rebuilt only when the clock moved.
  const std::string& Timestamp();

  // "<folder><pid>.<name>.log" with every character of `name` below 31, of
  // 128 or more, and each of " / : < > \ | replaced by "-".
  static std::string FileName(const std::string& folder, uint32_t processId, std::string_view name);

 private:
  platform::AppendFile m_file;
  uint32_t m_maxWrite = 4096;
  std::string m_timestamp;
  uint64_t m_timestampKey = UINT64_MAX;
};

// The same log under the name of the encrypted variant; this system always
// writes plain text.
class CCypherLog : public CLog {};

}  // namespace NetEx
