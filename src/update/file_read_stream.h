// CFileReadStream: the read-stream interface over a file on disk, read at
// positions as asked, so that an archive of any size is indexed without
// being loaded. Same contract as CSimpleMemReadStream (a short read succeeds
// with zero bytes after the data).
//
// One user at a time; blocks on the file; failures are false results.
#pragma once

#include <string>

#include "platform/file_io.h"
#include "base/simple_mem_read_stream.h"

class CFileReadStream : public ISimpleReadStream {
 public:
  CFileReadStream() = default;
  ~CFileReadStream() override = default;

  bool Open(const std::string& path) { return m_file.Open(path) && Seek(0, kSeekBegin); }
  int LastError() const { return m_file.LastError(); }
  platform::InputFile& File() { return m_file; }

  bool Seek(int64_t offset, int origin) override;
  bool Read(void* buffer, int64_t length) override;
  int64_t Size() override { return static_cast<int64_t>(m_file.Size()); }
  bool Close() override {
    m_file.Close();
    m_position = 0;
    return true;
  }
  int64_t Position() override { return m_position; }

 private:
  platform::InputFile m_file;
  int64_t m_position = 0;
};
