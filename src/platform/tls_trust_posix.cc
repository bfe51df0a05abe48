#include "platform/tls_trust.h"

#include <mutex>

namespace platform {
namespace {

std::mutex g_lock;
TlsTrust g_trust;

}  // namespace

TlsTrust GetTlsTrust() {
  std::lock_guard<std::mutex> lock(g_lock);
  return g_trust;
}

void SetTlsTrust(const TlsTrust& trust) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_trust = trust;
}

}  // namespace platform
