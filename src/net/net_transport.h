// The HTTP transport: one thread ("CNetTransport thread") with a hidden
// window ("NetTransportWndClass") that owns the session, the connection
// contexts and the requests in flight, and runs every transfer on the HTTP
// library's multi interface.
//
// Commands come from any thread as posted window messages; their payloads
// wait in the transport's command queue in the order posted (so nothing
// posted is ever lost or leaked, even when the thread ends first). The
// synchronous commands (open session 0x403, unregister 0x402) block the
// caller on the transport's event until the thread has handled them.
//
// Results reach the clients through their callbacks (net_client.h) on the
// transport thread. Redirects are never followed here: a 3xx answer ends
// the request with its status and Location. A transfer that receives
// nothing for the request's time-out ends with 12002, and so does one that
// moves fewer than the session's low-speed bytes per second for its
// low-speed time (a trickle). An answer is decoded only when its request
// asked for an encoding; one that outgrows the request's maxAnswer ends
// with 12152. Server certificates are verified against the trust of
// platform/tls_trust.h.
//
// Lifecycle (owner's thread): Start(5000) → OpenSession → clients work →
// Shutdown() → stop(5000) → destroy.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/net_client.h"
#include "net/request_log.h"
#include "net/window_thread.h"
#include "platform/sync.h"

namespace NetEx {

// Command messages of the transport window.
enum eNetCommand : uint32_t {
  eNetCommand_Unregister = 0x402,
  eNetCommand_OpenSession = 0x403,
  eNetCommand_LogSettings = 0x405,
  eNetCommand_CreateContext = 0x406,
  eNetCommand_DestroyContext = 0x408,
  eNetCommand_SendRequest = 0x409,
};

// How the session reaches servers.
enum eAccessType : uint32_t {
  eAccessType_Preconfig = 0,  // the system's proxy settings (the environment here)
  eAccessType_Direct = 1,
  eAccessType_Proxy = 3,
};

struct SessionSettings {
  std::string agent;
  eAccessType accessType = eAccessType_Preconfig;
  std::string proxyList;   // first entry used
  std::string bypassList;  // hosts reached directly
  // Slower than this for this long fails the transfer (0: never).
  uint32_t lowSpeedBytesPerSecond = 1024;
  uint32_t lowSpeedSeconds = 30;
};

// Completion of a synchronous command: set by the handler on every path.
struct SyncState {
  platform::Event done{platform::EventReset::kManual};
  bool result = false;
};

// One queued command and its payload.
struct NetCommand {
  uint32_t message = 0;
  uint64_t serial = 0;  // order of posting
  std::shared_ptr<SyncState> sync;  // synchronous commands only
  CNetClient* client = nullptr;
  int32_t contextId = 0;
  std::unique_ptr<CContextHttx> context;
  std::unique_ptr<CRequestHttx> request;
  SessionSettings session;
  LogSettings log;
};

// Signals a synchronous command's event when it goes: releases the caller
// on every path of a handler, also when the command is dropped unhandled.
class CEventRiser {
 public:
  explicit CEventRiser(std::shared_ptr<SyncState> state) : m_state(std::move(state)) {}
  ~CEventRiser() {
    if (m_state) m_state->done.Set();
  }
  CEventRiser(const CEventRiser&) = delete;
  CEventRiser& operator=(const CEventRiser&) = delete;

 private:
  std::shared_ptr<SyncState> m_state;
};

// The thread, its window and the command queue.
class CNetTransportBase : public CWindowThread {
 public:
  CNetTransportBase();
  ~CNetTransportBase() override;

  // Queues `command` and posts its message; false when the transport
  // thread has no window (not started or ended).
  bool Post(NetCommand command);
  // Posts and waits up to `timeoutMs` for the handler; its result.
  bool PostSync(NetCommand command, uint32_t timeoutMs);
  // Asks the thread to end; the owner then calls stop().
  void Shutdown() { PostQuit(); }

 protected:
  // Transport thread: one command; `result` answers a synchronous one.
  virtual void HandleCommand(NetCommand& command, bool& result) = 0;
  int64_t OnMessage(const platform::Message& message) override;
  // Transport thread, as it ends: commands still queued are dropped and
  // later posts refused.
  void DropQueuedCommands();
  bool OnTransportThread() const;

  // Transport thread, as it starts: posts are taken again.
  void OpenQueue();

  std::mutex m_queueLock;  // guards m_queue, m_serial and m_closed
  std::deque<NetCommand> m_queue;
  uint64_t m_serial = 0;
  bool m_closed = true;  // no thread serves the queue
};

struct Transfer;

// The session, the contexts and the transfers.
class CHttxTransport : public CNetTransportBase {
 public:
  CHttxTransport();
  ~CHttxTransport() override;

  // Synchronous: opens the session (0x403); false when already open or the
  // transport does not run.
  bool OpenSession(const SessionSettings& settings, uint32_t timeoutMs = platform::kInfinite);
  // Asynchronous: the request log settings for contexts created later.
  bool SetLogSettings(const LogSettings& settings);

 protected:
  bool OnThreadStart() override;
  void OnThreadEnd() override;
  void MessageLoop() override;
  void Wake() override;
  void HandleCommand(NetCommand& command, bool& result) override;

 private:
  void OpenSessionOnThread(const SessionSettings& settings, bool& result);
  void CreateContextOnThread(NetCommand& command);
  void DestroyContextOnThread(NetCommand& command);
  void SendRequestOnThread(NetCommand& command);
  void UnregisterOnThread(CNetClient* client);
  CContextHttx* FindContext(CNetClient* client, int32_t id);
  void ReportError(CNetClient* client, uint32_t reason, uint32_t code, int32_t contextId,
                   std::unique_ptr<CRequestHttx> request);

  bool StartTransfer(CContextHttx& context, std::unique_ptr<CRequestHttx> request, bool insecureResend);
  // Runs the transfers; the milliseconds the loop may wait next.
  int Perform();
  // Ends the transfer of `easy` with the library's result code.
  void CompleteTransfer(void* easy, int libraryCode);
  // Logs the answer and hands the request back to its client; `owner` (the
  // transfer itself) is gone before the client is called.
  void FinishRequest(Transfer& transfer, std::unique_ptr<Transfer> owner);
  // Removes (and deletes, without callbacks) the transfers of a context.
  void CancelTransfers(const CContextHttx* context);

  void* m_multi = nullptr;  // the library's multi handle
  bool m_sessionOpen = false;
  SessionSettings m_session;
  LogSettings m_logSettings;
  std::vector<std::unique_ptr<CContextHttx>> m_contexts;
  std::map<void*, std::unique_ptr<Transfer>> m_transfers;  // by easy handle

  friend struct Transfer;
  friend struct TransferCallbacks;
};

// The transport object the controller creates.
class CNetTransport : public CHttxTransport {};

}  // namespace NetEx
