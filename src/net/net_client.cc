#include "net/net_client.h"

#include "net/net_transport.h"

namespace NetEx {

bool CNetClient::SendRequest(std::unique_ptr<CRequestHttx> request) {
  if (m_transport == nullptr || !request) return false;
  NetCommand command;
  command.message = eNetCommand_SendRequest;
  command.client = this;
  command.contextId = request->contextId;
  command.request = std::move(request);
  return m_transport->Post(std::move(command));
}

bool CNetClient::CreateContext(int32_t id, const std::string& name, const CUrl& url, uint32_t timeoutMs,
                               uint32_t maxReadBlock) {
  if (m_transport == nullptr) return false;
  NetCommand command;
  command.message = eNetCommand_CreateContext;
  command.client = this;
  command.contextId = id;
  command.context = std::make_unique<CContextHttx>(this, id, name, url, timeoutMs, maxReadBlock);
  return m_transport->Post(std::move(command));
}

bool CNetClient::DestroyContext(int32_t id) {
  if (m_transport == nullptr) return false;
  NetCommand command;
  command.message = eNetCommand_DestroyContext;
  command.client = this;
  command.contextId = id;
  return m_transport->Post(std::move(command));
}

bool CNetClient::Unregister(uint32_t timeoutMs) {
  if (m_transport == nullptr) return false;
  NetCommand command;
  command.message = eNetCommand_Unregister;
  command.client = this;
  return m_transport->PostSync(std::move(command), timeoutMs);
}

}  // namespace NetEx
