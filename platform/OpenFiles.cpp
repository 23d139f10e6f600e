#include "platform/OpenFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "platform/SystemError.h"
#include "util/Error.h"

namespace vb::platform {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool IsNumber(const char* name) {
    if (!*name) return false;
    for (; *name; ++name) {
        if (*name < '0' || *name > '9') return false;
    }
    return true;
}

// One of the process's descriptors refers to the file.
bool HasOpenDescriptor(const std::string& procDir, dev_t device, ino_t inode, bool self, int ownFd) {
    const std::string fdDir = procDir + "/fd";
    DirHandle dir(::opendir(fdDir.c_str()));
    if (!dir) return false;  // gone meanwhile, or not ours to see
    const int listingFd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!IsNumber(entry->d_name)) continue;
        const int fd = std::atoi(entry->d_name);
        if (self && (fd == ownFd || fd == listingFd)) continue;
        struct stat st{};
        // stat follows the link to the open file itself, also for deleted files.
        if (::fstatat(listingFd, entry->d_name, &st, 0) != 0) continue;
        if (st.st_dev == device && st.st_ino == inode) return true;
    }
    return false;
}

// One of the process's memory mappings is the file. Lines read
// "start-end perms offset major:minor inode path" with major and minor in hex.
bool HasMapping(const std::string& procDir, dev_t device, ino_t inode) {
    std::ifstream maps(procDir + "/maps");
    std::string line;
    while (std::getline(maps, line)) {
        unsigned long long mapInode = 0;
        unsigned int major = 0, minor = 0;
        if (std::sscanf(line.c_str(), "%*s %*s %*s %x:%x %llu", &major, &minor, &mapInode) != 3) continue;
        if (mapInode == inode && makedev(major, minor) == device) return true;
    }
    return false;
}

}  // namespace

bool IsFileInUse(dev_t device, ino_t inode, int ownFd) {
    DirHandle proc(::opendir("/proc"));
    if (!proc) return false;
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(proc.get())) {
        if (!IsNumber(entry->d_name)) continue;
        const bool isSelf = std::atoi(entry->d_name) == self;
        const std::string procDir = std::string("/proc/") + entry->d_name;
        if (HasOpenDescriptor(procDir, device, inode, isSelf, ownFd)) return true;
        if (HasMapping(procDir, device, inode)) return true;
    }
    return false;
}

bool IsOpenElsewhere(int fd) {
    // A lease break would be told by a signal; the lease is given back at once, and
    // the signal chosen is one whose default is to be ignored.
    ::fcntl(fd, F_SETSIG, SIGURG);
    if (::fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        return false;
    }
    if (errno == EAGAIN || errno == EBUSY) return true;
    struct stat st {};
    if (::fstat(fd, &st) != 0) return true;
    return IsFileInUse(st.st_dev, st.st_ino, fd);
}

ExclusiveFile::ExclusiveFile(const std::string& path) {
    // O_NONBLOCK keeps a FIFO from waiting for a writer; it changes nothing for files.
    FFd.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!FFd.Valid()) throw Error(path + ": " + SystemErrorText(errno));
    struct stat st{};
    if (::fstat(FFd.Get(), &st) != 0) throw Error(path + ": " + SystemErrorText(errno));
    if (!S_ISREG(st.st_mode)) throw Error(path + ": keine Datei");
    if (::flock(FFd.Get(), LOCK_EX | LOCK_NB) != 0) throw Error(path + ": Datei ist gesperrt");
    // A whole-file write lock probe sees POSIX record locks (Samba, Wine, databases)
    // of every process, this one included, which flock does not.
    struct flock probe{};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0;
    if (::fcntl(FFd.Get(), F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) {
        throw Error(path + ": Datei ist gesperrt");
    }
    if (IsFileInUse(st.st_dev, st.st_ino, FFd.Get())) throw Error(path + ": Datei ist von einem anderen Programm geöffnet");
}

}  // namespace vb::platform
