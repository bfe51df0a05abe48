// A connection context of the transport: one per client and context id,
// bound to one server (scheme, host, port, user name and password of its
// URL), with the default time-out and the largest read block of its
// requests, and its request log.
//
// Created by a client, owned by the transport from the create command on;
// read and changed on the transport thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/request_log.h"
#include "net/url.h"

namespace NetEx {

class CNetClient;

class IContextBase {
 public:
  virtual ~IContextBase() = default;
  virtual int32_t Id() const = 0;
  virtual const std::string& Name() const = 0;
};

class IContextHttx : public IContextBase {
 public:
  virtual const CUrl& Url() const = 0;
  virtual uint32_t TimeoutMs() const = 0;
  virtual uint32_t MaxReadBlock() const = 0;
};

class CContextBase : public IContextHttx {
 public:
  CContextBase(CNetClient* ownerClient, int32_t contextId, std::string contextName)
      : owner(ownerClient), id(contextId), name(std::move(contextName)) {}
  int32_t Id() const override { return id; }
  const std::string& Name() const override { return name; }
  // "Httx.<name>", or "Httx.Context<id>" for a context without a name.
  std::string LogName() const { return name.empty() ? "Httx.Context" + std::to_string(id) : "Httx." + name; }

  CNetClient* owner;
  int32_t id;
  std::string name;
  std::unique_ptr<CLog> log;  // none when the request log is off or could not be opened
};

class CContextHttx : public CContextBase {
 public:
  CContextHttx(CNetClient* ownerClient, int32_t contextId, std::string contextName, CUrl serverUrl,
               uint32_t defaultTimeoutMs, uint32_t maxBlock)
      : CContextBase(ownerClient, contextId, std::move(contextName)),
        url(std::move(serverUrl)),
        timeoutMs(defaultTimeoutMs),
        maxReadBlock(maxBlock) {}
  const CUrl& Url() const override { return url; }
  uint32_t TimeoutMs() const override { return timeoutMs; }
  uint32_t MaxReadBlock() const override { return maxReadBlock; }

  CUrl url;
  uint32_t timeoutMs;
  uint32_t maxReadBlock;
};

}  // namespace NetEx
