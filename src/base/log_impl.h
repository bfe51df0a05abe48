// CLogImplW: the plain-text log of one launcher run.
//
// Texts are given as UTF-8 and handled as wide (UTF-16) texts, as the log
// format is defined over them: in UTF-8 mode they land in the file as UTF-8,
// otherwise as UTF-16 code units (little-endian). Lines end in CR LF.
//
// No lock: each call issues its own writes, so texts from several threads
// interleave only between whole writes. Callers hold the log by pointer and
// test it for null before each write.
#pragma once

#include <cstddef>
#include <string>

#include "base/file.h"

class CLogImplW {
 public:
  CLogImplW() = default;
  virtual ~CLogImplW();
  CLogImplW(const CLogImplW&) = delete;
  CLogImplW& operator=(const CLogImplW&) = delete;

  // Fails for a null name or when a file is open; creates the file when
  // missing and empties it.
  virtual bool Open(const char* fileName);
  // As Open, but only a file that does not exist yet (two launchers never
  // share one log).
  virtual bool OpenNew(const char* fileName);
  virtual bool Close();
  virtual bool IsOpen() const;
  virtual bool Truncate();
  // A line of 80 '=' with the text centred in it.
  virtual bool WriteBanner(const char* text, bool lineEnd);
  virtual bool WriteSeparator();
  virtual bool WriteText(const char* text, bool lineEnd);
  // "d/m/yyyy -- hh:mm:ss  :" without line end.
  virtual bool WriteTimestamp();
  virtual bool WriteDateBanner();
  // 1 to 10 line ends; other counts write nothing and fail.
  virtual bool WriteEmptyLines(int count);
  // True when the value changed.
  virtual bool SetSuppressed(bool suppressed);
  virtual bool IsSuppressed() const;
  virtual void SetAutoFlush(bool autoFlush);
  virtual void SetUtf8(bool utf8);
  // The primitive every write goes through. In UTF-8 mode `data` is taken
  // as a NUL-terminated UTF-16 text and `byteCount` is not used.
  virtual bool WriteRaw(size_t byteCount, const void* data);

  bool WriteText(const std::string& text, bool lineEnd = true) { return WriteText(text.c_str(), lineEnd); }
  bool WriteBanner(const std::string& text, bool lineEnd = true) { return WriteBanner(text.c_str(), lineEnd); }
  const std::string& FilePath() const { return m_file.Path(); }

  // The banner line for `text`, without line end.
  static std::u16string MakeBanner(const std::u16string& text);

 private:
  bool WriteWide(const std::u16string& text, bool lineEnd);

  CFile m_file;
  bool m_suppressed = false;
  bool m_autoFlush = true;
  bool m_utf8 = false;
};

