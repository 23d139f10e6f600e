#pragma once
// File status, attributes and time stamps as the archive layer needs them, and the
// listing of a folder in the order the file system gives.
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vb::platform {

enum class FileKind { Regular, Directory, Symlink, Other };

struct FileStatus {
    FileKind Kind = FileKind::Other;
    std::uint64_t Size = 0;
    std::time_t ModifiedTime = 0;
    long ModifiedNanoseconds = 0;
    std::uint32_t Mode = 0;  // st_mode
    dev_t Device = 0;
    ino_t Inode = 0;
    uid_t Owner = 0;
    gid_t Group = 0;  // st_gid
};

// Status of `path`; with `followLinks` false a symbolic link is reported as such.
// Nullopt when the path does not exist or cannot be examined, with the errno value of
// the failure in `error` when given.
std::optional<FileStatus> StatPath(const std::string& path, bool followLinks, int* error = nullptr);

// The file a path names in the end: a symbolic link in the last part is followed
// (relative targets from the link's folder) until a name that is no link, or one that
// does not exist. The folders on the way stay as given. `path` itself when it is no link.
std::string FollowLinks(const std::string& path);

// The absolute path without links, "." or ".." parts; nullopt when it does not exist.
std::optional<std::string> ResolvedPath(const std::string& path);

// Gives the open file `to` the owner, group and permission bits of `from`, as far
// as this process may: the group alone when the owner cannot be given, neither when
// the group cannot either.
void CopyOwnerAndMode(int from, int to);

// Status of an open file.
std::optional<FileStatus> StatFd(int fd);
// Status of `name` (one part) in the open folder `folder` (O_PATH will do), without
// opening it; with `followLinks` false a link is reported as such. Nullopt when it
// does not exist or cannot be examined.
std::optional<FileStatus> StatAt(int folder, const std::string& name, bool followLinks);

// Windows attribute bits for a file: read-only (0x01) when the owner cannot write,
// hidden (0x02) for names that begin with a dot, folder (0x10) for directories,
// archive (0x20) for every other file.
std::uint32_t WindowsAttributes(const FileStatus& status, std::string_view name);

// Sets the last-write (and access) time of an open file; false on failure.
bool SetModifiedTime(int fd, std::time_t time);

struct FolderItem {
    std::string Name;
    std::optional<FileStatus> Status;  // a link as such; nullopt when it cannot be examined
};

// The names in a folder, without "." and "..", in the order the file system lists
// them, each with its status (taken relative to the open folder, which spares a
// walk along the whole path per name). Nullopt when the folder cannot be opened,
// with the errno value of the failure in `error` when given.
std::optional<std::vector<FolderItem>> ListFolder(const std::string& path, int* error = nullptr);
// The same for an open folder (O_PATH will do).
std::optional<std::vector<FolderItem>> ListFolder(int folder, int* error = nullptr);

}  // namespace vb::platform
