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
  // Client update data: its document arrived (kind 1).
  virtual void cudFileReceived(const CBuffer& body) = 0;
  // System update package progress, also (0, size) after the size
  // probe. `total` is -1 when the size could not be determined.
  virtual void kbFilePartReceived(int64_t received, int64_t total) = 0;
  // System update package: the whole file arrived (kind 2).
  virtual void kbFileReceived(const CBuffer& body) = 0;
  // Licence: the licence text arrived (kind 3).
  virtual void licenseReceived(const CBuffer& body) = 0;
  // Manifest: the "update.rxml" archive arrived (kind 4).
  virtual void updateXmlReceived(const CBuffer& body) = 0;
  // Package part: one part of a package arrived (kind 5). `endedEarly` is set when the answer
  // broke off after a 2xx (or no) status; netError follows then.
  virtual void filePartReceived(const DownloadPart& part, bool endedEarly) = 0;
  // Package complete: all parts are in; called by the controller itself, never
  // by the downloader.
  virtual void fileReceived() {}
  // Progress: bytes of a package streaming in since the previous report
  // (`streaming` set by the downloader).
  virtual void updateProgress(uint64_t bytes, bool streaming) = 0;
  // Failure: a download of any kind failed. `type` is the download kind, `errorCode` the
  // transport's error code (0 for an HTTP failure), `answer` the body of a
  // non-2xx answer (the maintenance page of a 502 or 503).
  virtual void netError(int32_t type, uint32_t errorCode, int32_t httpStatus, const std::string& answer) = 0;
};
