#include "body_writer.h"

#include <algorithm>
#include <vector>

namespace product_server {
namespace {

constexpr uint64_t kChunkSize = 64 * 1024;

struct WriterState {
  std::shared_ptr<const ResponseBody> body;
  DeliveryFaults faults;
  StopSignal* stop = nullptr;
  bool stalled = false;
  std::vector<char> buffer;
};

}  // namespace

httplib::ContentProvider MakeBodyProvider(std::shared_ptr<const ResponseBody> body,
                                          DeliveryFaults faults, StopSignal& stop) {
  auto state = std::make_shared<WriterState>();
  state->body = std::move(body);
  state->faults = faults;
  state->stop = &stop;
  return [state](size_t offset, size_t length, httplib::DataSink& sink) {
    const DeliveryFaults& plan = state->faults;
    uint64_t end = offset + std::min<uint64_t>(length, kChunkSize);
    if (plan.cutAfter) {
      // Returning false makes the library drop the connection.
      if (offset >= *plan.cutAfter) return false;
      end = std::min(end, *plan.cutAfter);
    }
    if (plan.stallAfter && !state->stalled) {
      if (offset >= *plan.stallAfter) {
        state->stalled = true;
        if (!state->stop->WaitFor(plan.stallMs)) return false;
      } else {
        end = std::min(end, *plan.stallAfter);
      }
    }
    if (plan.trickleBytes) {
      end = std::min(end, offset + *plan.trickleBytes);
      if (offset > 0 && !state->stop->WaitFor(plan.trickleMs)) return false;
    }
    size_t count = static_cast<size_t>(end - offset);
    state->buffer.resize(count);
    if (!state->body->Read(offset, state->buffer.data(), count)) return false;
    return sink.write(state->buffer.data(), count);
  };
}

}  // namespace product_server
