#include "platform/RenameNoReplace.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vb::platform {

bool RenameNoReplace(const std::string& from, const std::string& to) {
    return RenameNoReplaceAt(AT_FDCWD, from, AT_FDCWD, to);
}

bool RenameNoReplaceAt(int fromFolder, const std::string& from, int toFolder, const std::string& to) {
    if (::renameat2(fromFolder, from.c_str(), toFolder, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    // Some file systems (older network and FUSE ones) do not know the flag; only then
    // fall back. A hard link fails on an existing target as well, and is atomic.
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
    if (::linkat(fromFolder, from.c_str(), toFolder, to.c_str(), 0) == 0) {
        if (::unlinkat(fromFolder, from.c_str(), 0) == 0) return true;
        ::unlinkat(toFolder, to.c_str(), 0);  // keep the one name the file had
        return false;
    }
    if (errno == EEXIST || errno == ENOENT) return false;
    // No hard links either (FAT media): test, then rename. The gap between the two
    // is the best such a file system allows.
    struct stat st{};
    if (::fstatat(toFolder, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    if (errno != ENOENT) return false;
    return ::renameat(fromFolder, from.c_str(), toFolder, to.c_str()) == 0;
}

}  // namespace vb::platform
