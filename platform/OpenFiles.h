#pragma once
// Whether another process uses a file, and holding a file exclusively for a moment.
// Linux has no share modes, so "nobody else may have this file open" is put together
// from what the system shows: the open descriptors and memory mappings of every
// process in /proc (as fuser finds them) and the advisory locks of the file.
#include <sys/types.h>

#include <string>

#include "platform/UniqueFd.h"

namespace vb::platform {

// True when some process has the file (device, inode) open or mapped, leaving out
// the one descriptor `ownFd` of this process (-1: none left out). Processes whose
// descriptors this process may not look at (other users', without privileges) are
// not seen.
bool IsFileInUse(dev_t device, ino_t inode, int ownFd);

// True when another process (or another descriptor of this one) has the regular file
// of `fd` open or mapped; `fd` must be open read-only and be this process's only
// descriptor of the file. Asked of the kernel through a write lease, which it grants
// only while nobody else has the file open and grants root on any file; where no lease
// can be had (another user's file without privileges, a file system without leases)
// the processes in /proc are looked through instead, which sees only those this
// process may look at.
bool IsOpenElsewhere(int fd);

// A regular file opened for reading and held exclusively: an exclusive flock on the
// whole file is taken, no process holds a POSIX or OFD lock on it, and no other
// process (nor another descriptor of this one) has it open. Closing releases it.
class ExclusiveFile {
public:
    // Opens and holds `path`; throws vb::Error with a German reason when the file
    // cannot be opened, is no regular file, or is in use. Never blocks.
    explicit ExclusiveFile(const std::string& path);

    int Fd() const { return FFd.Get(); }

private:
    UniqueFd FFd;  // closing the descriptor drops the flock
};

}  // namespace vb::platform
