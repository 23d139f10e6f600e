#include "platform/HeapRelease.h"

#include <malloc.h>

namespace vb::platform {

void ReturnLargeBlocksToSystem() {
    // Setting either value fixes both: glibc stops adjusting them at run time.
    mallopt(M_MMAP_THRESHOLD, 512 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024);
}

void ReturnFreedMemory() { malloc_trim(0); }

}  // namespace vb::platform
