// IDownloadSink: where the body of a package answer goes instead of a
// buffer, so that memory does not grow with the package (the update
// engine's temporary package file).
//
// Called on the transport thread, in order, never concurrently; the
// downloader holds the sink (shared) until the request is back. The bytes
// always continue the package at the first byte asked for: when a server
// answers a range request with the whole file (200) the bytes before it
// are skipped, never written at that place.
#pragma once

#include <cstddef>
#include <cstdint>

class IDownloadSink {
 public:
  virtual ~IDownloadSink() = default;
  // Before the first byte: the bytes that follow belong at `offset` of the
  // package. False refuses the answer (the request fails).
  virtual bool Begin(uint64_t offset) = 0;
  // The next bytes. False stops the transfer (the request fails with a
  // write fault).
  virtual bool Write(const char* data, size_t size) = 0;
};
