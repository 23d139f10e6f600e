#include "platform/ByteRangeLock.h"

#include <fcntl.h>

namespace vb::platform {

bool ByteRangeLocked(int fd, off_t start, off_t length) {
    struct flock probe{};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = start;
    probe.l_len = length;
    return ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

}  // namespace vb::platform
