// CNetClient: the base of every client of the transport (the downloader).
//
// The helpers post commands to the transport and return at once, except
// Unregister, which waits for the transport to drop every context and
// request of the client. The callbacks run on the transport thread, in
// this order of slots (0 is the destructor); a client that keeps state
// hands results to its own thread.
//
// After Unregister the client posts nothing more; the transport never
// calls it again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/context_httx.h"
#include "net/request_httx.h"
#include "platform/sync.h"

namespace NetEx {

class CNetTransport;

// Why a command failed (callback slot 7).
enum eCommandError : uint32_t {
  eCommandError_SessionNotOpen = 1,
  eCommandError_ContextCreation = 2,
  eCommandError_ContextNotFound = 3,
};

struct ErrorRecord {
  uint32_t reason = 0;
  uint32_t errorCode = 0;  // for a failed context creation
  uint32_t reserved = 0;
  int32_t contextId = 0;  // the context concerned
  std::unique_ptr<CRequestHttx> request;  // the request concerned, handed back
  uint32_t marker = 0x80000000;
};

class CNetClient {
 public:
  explicit CNetClient(CNetTransport* transport = nullptr) : m_transport(transport) {}
  virtual ~CNetClient() = default;  // slot 0
  CNetClient(const CNetClient&) = delete;
  CNetClient& operator=(const CNetClient&) = delete;

  // Slots 2, 4, 5, 6, 7 (1, 3 and 8 deliver records this system never
  // sends).
  virtual void OnContextCreated(const IContextHttx& /*context*/) {}
  virtual void OnContextDestroyed(int32_t /*contextId*/) {}
  // A read block has arrived; `request.bytesReceived` counts it.
  virtual void OnRequestProgress(const CRequestHttx& /*request*/) {}
  // The request is back with the client, finished or failed.
  virtual void OnRequestFinished(std::unique_ptr<CRequestHttx> /*request*/) {}
  virtual void OnCommandError(std::unique_ptr<ErrorRecord> /*record*/) {}

  void SetTransport(CNetTransport* transport) { m_transport = transport; }
  CNetTransport* Transport() const { return m_transport; }

  std::unique_ptr<CRequestHttx> CreateRequest() const { return std::make_unique<CRequestHttx>(); }
  std::unique_ptr<CRequestHttx> CreateRequest(const CRequestHttx& copyOf) const { return CRequestHttx::CopyOf(copyOf); }
  // Posts the request (0x409); false (the request is gone) when it could
  // not be posted.
  bool SendRequest(std::unique_ptr<CRequestHttx> request);
  // Posts a context for `url` (0x406) / its removal (0x408).
  bool CreateContext(int32_t id, const std::string& name, const CUrl& url, uint32_t timeoutMs, uint32_t maxReadBlock);
  bool DestroyContext(int32_t id);
  // Removes every context and request of the client (0x402) and waits up
  // to `timeoutMs`. False when not done in time (the transport may then
  // still call the client) or there is no transport. Never call it from a
  // transport callback.
  bool Unregister(uint32_t timeoutMs = platform::kInfinite);

 protected:
  CNetTransport* m_transport;
};

}  // namespace NetEx
