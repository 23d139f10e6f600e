#include "platform/FileStat.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

namespace vb::platform {
namespace {

FileStatus FromStat(const struct stat& st) {
    FileStatus s;
    if (S_ISREG(st.st_mode)) s.Kind = FileKind::Regular;
    else if (S_ISDIR(st.st_mode)) s.Kind = FileKind::Directory;
    else if (S_ISLNK(st.st_mode)) s.Kind = FileKind::Symlink;
    else s.Kind = FileKind::Other;
    s.Size = static_cast<std::uint64_t>(st.st_size);
    s.ModifiedTime = st.st_mtim.tv_sec;
    s.ModifiedNanoseconds = st.st_mtim.tv_nsec;
    s.Owner = st.st_uid;
    s.Group = st.st_gid;
    s.Mode = st.st_mode;
    s.Device = st.st_dev;
    s.Inode = st.st_ino;
    return s;
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

std::optional<std::vector<FolderItem>> ListOpened(std::unique_ptr<DIR, DirCloser> dir, int* error) {
    if (!dir) {
        if (error) *error = errno;
        return std::nullopt;
    }
    std::vector<FolderItem> items;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string_view name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        std::optional<FileStatus> status;
        if (::fstatat(::dirfd(dir.get()), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) status = FromStat(st);
        items.push_back({std::string(name), status});
    }
    return items;
}

}  // namespace

std::optional<FileStatus> StatPath(const std::string& path, bool followLinks, int* error) {
    struct stat st{};
    const int rc = followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (rc != 0) {
        if (error) *error = errno;
        return std::nullopt;
    }
    return FromStat(st);
}

std::string FollowLinks(const std::string& path) {
    std::string current = path;
    for (int depth = 0; depth < 40; ++depth) {
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) >= target.size()) return current;
        target.resize(static_cast<std::size_t>(n));
        if (target.front() != '/') {
            const auto slash = current.rfind('/');
            if (slash != std::string::npos) target = current.substr(0, slash + 1) + target;
        }
        current = target;
    }
    return current;
}

std::optional<std::string> ResolvedPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved) return std::nullopt;
    return std::string(resolved.get());
}

void CopyOwnerAndMode(int from, int to) {
    struct stat st{};
    if (::fstat(from, &st) != 0) return;
    // Owner first: changing it may clear the set-id bits that the mode then restores.
    if (::fchown(to, st.st_uid, st.st_gid) != 0 && ::fchown(to, static_cast<uid_t>(-1), st.st_gid) != 0) {
        // Not allowed: the file stays the running user's.
    }
    ::fchmod(to, st.st_mode & 07777);
}

std::optional<FileStatus> StatFd(int fd) {
    struct stat st{};
    if (::fstat(fd, &st) != 0) return std::nullopt;
    return FromStat(st);
}

std::optional<FileStatus> StatAt(int folder, const std::string& name, bool followLinks) {
    struct stat st {};
    if (::fstatat(folder, name.c_str(), &st, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    return FromStat(st);
}

std::uint32_t WindowsAttributes(const FileStatus& status, std::string_view name) {
    std::uint32_t attributes = 0;
    if (!(status.Mode & S_IWUSR)) attributes |= 0x01;
    if (!name.empty() && name.front() == '.') attributes |= 0x02;
    attributes |= status.Kind == FileKind::Directory ? 0x10 : 0x20;
    return attributes;
}

bool SetModifiedTime(int fd, std::time_t time) {
    const struct timespec times[2] = {{time, 0}, {time, 0}};
    return ::futimens(fd, times) == 0;
}

std::optional<std::vector<FolderItem>> ListFolder(const std::string& path, int* error) {
    return ListOpened(std::unique_ptr<DIR, DirCloser>(::opendir(path.c_str())), error);
}

std::optional<std::vector<FolderItem>> ListFolder(int folder, int* error) {
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::unique_ptr<DIR, DirCloser> dir(fd >= 0 ? ::fdopendir(fd) : nullptr);
    if (fd >= 0 && !dir) {
        const int failure = errno;
        ::close(fd);
        errno = failure;
    }
    return ListOpened(std::move(dir), error);
}

}  // namespace vb::platform
