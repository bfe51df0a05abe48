// Fuzz target for the records the launcher's processes exchange over the
// window bus: the input arrives as one datagram at a window's socket (as a
// post, a send or a copy-data record of another process would) and the
// waiting messages are taken and handled; then it is stored as another
// window's record and the windows are listed.
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/message_loop.h"
#include "platform/runtime_folder.h"
#include "scratch_runtime_folder.h"

namespace {

struct Bus {
  platform::WindowHandle window = 0;
  std::string socketPath;
  int sender = -1;
};

Bus& TheBus() {
  static Bus bus = [] {
    UseScratchRuntimeFolder();
    Bus made;
    made.window = platform::CreateMessageWindow("FuzzClass", "fuzz", [](const platform::Message&) { return 1; });
    if (made.window == 0) abort();
    made.socketPath = platform::RuntimeFolder() + "/win-" + std::to_string(made.window) + ".sock";
    made.sender = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (made.sender < 0) abort();
    return made;
  }();
  return bus;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bus& bus = TheBus();
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (bus.socketPath.size() >= sizeof address.sun_path) abort();
  std::memcpy(address.sun_path, bus.socketPath.c_str(), bus.socketPath.size() + 1);
  ::sendto(bus.sender, data, size, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address), sizeof address);
  platform::Message message;
  for (int i = 0; i < 16 && platform::PeekMessage(message); ++i) platform::DispatchMessage(message);

  const std::string record = platform::RuntimeFolder() + "/win-4242.rec";
  {
    std::ofstream out(record, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  platform::EnumerateWindows();
  platform::IsWindow(4242);
  ::unlink(record.c_str());
  return 0;
}
