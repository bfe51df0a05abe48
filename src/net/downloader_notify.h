// IDownloaderNotify: how the downloader's results reach the controller.
// Every call comes on the controller's thread (the thread that handles the
// downloader's window messages), never on the transport thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/unk.h"
#include "net/buffer.h"

// One received part of a package (download kind 5).
struct DownloadPart {
  const CBuffer* body = nullptr;  // the bytes when they were kept in memory, else null
  uint64_t firstByte = 0;         // where the part starts in the package
  uint64_t size = 0;              // bytes of the part, in `body` or written to the sink
  bool inSink = false;            // the bytes went to the request's sink

  std::string_view Bytes() const { return body != nullptr ? body->View() : std::string_view(); }
};

class IDownloaderNotify : public IUnk {
 public:
  // Slot 1: a client update data document arrived (kind 1).
  virtual void cudFileReceived(const CBuffer& body) = 0;
  // Slot 2: system update package progress; also (0, size) after the size
  // probe. `total` is -1 when the size could not be determined.
  virtual void kbFilePartReceived(int64_t received, int64_t total) = 0;
  // Slot 3: the system update package arrived (kind 2).
  virtual void kbFileReceived(const CBuffer& body) = 0;
  // Slot 4: the licence text arrived (kind 3).
  virtual void licenseReceived(const CBuffer& body) = 0;
  // Slot 5: the update manifest archive arrived (kind 4).
  virtual void updateXmlReceived(const CBuffer& body) = 0;
  // Slot 6: a package part (kind 5). `endedEarly` is set when the answer
  // broke off after a 2xx (or no) status; netError follows then.
  virtual void filePartReceived(const DownloadPart& part, bool endedEarly) = 0;
  // Slot 7: a package is complete; called by the controller itself, never
  // by the downloader.
  virtual void fileReceived() {}
  // Slot 8: bytes of a package streaming in since the previous report
  // (`streaming` set by the downloader).
  virtual void updateProgress(uint64_t bytes, bool streaming) = 0;
  // Slot 10: a download failed. `type` is the download kind, `errorCode` the
  // transport's error code (0 for an HTTP failure), `answer` the body of a
  // non-2xx answer (the maintenance page of a 502 or 503).
  virtual void netError(int32_t type, uint32_t errorCode, int32_t httpStatus, const std::string& answer) = 0;
};
