#pragma once
// Whether some process holds an advisory lock on a byte range of a file.
#include <sys/types.h>

namespace vb::platform {

// True when a POSIX or open-file-description lock of any process (this one included)
// covers a byte of [start, start + length) of the open file `fd`, so that a write
// lock there would be refused. Reads nothing and takes no lock. False when the file
// system cannot tell (the probe fails).
bool ByteRangeLocked(int fd, off_t start, off_t length);

}  // namespace vb::platform
