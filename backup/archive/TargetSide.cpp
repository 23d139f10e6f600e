#include "backup/archive/TargetSide.h"

#include <sys/stat.h>
#include <unistd.h>

namespace vb::zip {

FolderOnTheWay ExamineFolderOnTheWay(const std::string& path) {
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) return FolderOnTheWay::Missing;
    if (S_ISDIR(st.st_mode)) return FolderOnTheWay::Present;
    if (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return FolderOnTheWay::Present;
    return FolderOnTheWay::Blocked;
}

void TakeOverOwnership(int fd, const std::string& target, const std::string& directory, mode_t umask,
                       bool readOnly) {
    const auto withAttribute = [readOnly](mode_t mode) {
        return readOnly ? mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH) : mode | S_IWUSR;
    };
    struct stat st{};
    if (::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        // The owner first: changing it clears set-id bits that the mode then restores.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
            // Without the right to hand it over, the file stays with this user.
        }
        ::fchmod(fd, withAttribute(st.st_mode & 07777));
        return;
    }
    struct stat folder{};
    if (::stat(directory.c_str(), &folder) == 0 && ::fchown(fd, static_cast<uid_t>(-1), folder.st_gid) != 0) {
        // Not a member of the folder's group: the file keeps this user's group.
    }
    ::fchmod(fd, withAttribute(0666 & ~umask));
}

}  // namespace vb::zip
