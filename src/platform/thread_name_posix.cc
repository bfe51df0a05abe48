#include "platform/thread_name.h"

#include <pthread.h>

namespace platform {

void SetCurrentThreadName(const std::string& name) {
  pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
}

}  // namespace platform
