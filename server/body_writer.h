// Streams a ResponseBody to the client through the HTTP library, with the
// delivery faults of a fault rule: close the connection after N bytes, or
// pause for a while after N bytes. The provider runs on the server thread
// that writes the answer and blocks only in a stall.
#pragma once

#include <httplib.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "response_body.h"
#include "stop_signal.h"

namespace product_server {

struct DeliveryFaults {
  std::optional<uint64_t> cutAfter;
  std::optional<uint64_t> stallAfter;
  uint32_t stallMs = 0;
  std::optional<uint64_t> trickleBytes;  // at most this many bytes per write ...
  uint32_t trickleMs = 0;                // ... each write followed by this pause
};

// The content provider for `body` (its length is the body's size). `stop`
// must outlive the answer; a stall ends early when it is set.
httplib::ContentProvider MakeBodyProvider(std::shared_ptr<const ResponseBody> body,
                                          DeliveryFaults faults, StopSignal& stop);

}  // namespace product_server
