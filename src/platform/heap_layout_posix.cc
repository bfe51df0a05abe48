#include "platform/heap_layout.h"

#include <malloc.h>

namespace platform {

void KeepHeapCompact() {
  mallopt(M_ARENA_MAX, 1);
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
}

}  // namespace platform
