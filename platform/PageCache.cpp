#include "platform/PageCache.h"

#include <fcntl.h>
#include <unistd.h>

namespace vb::platform {

bool DropCachedPages(int fd) {
    // Only clean pages can be dropped, hence the write first.
    if (::fdatasync(fd) != 0) return false;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    return true;
}

}  // namespace vb::platform
