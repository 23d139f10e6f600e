#include "platform/PassLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/SystemError.h"

namespace vb::platform {
namespace {

// O_NONBLOCK: a FIFO planted under the lock file's name must not hang the pass.
constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;

[[noreturn]] void CannotOpen(const std::string& file, int error) {
    throw Error("Die Sperrdatei " + file + " kann nicht geöffnet werden: " + SystemErrorText(error));
}

bool TakeLock(int fd) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

}  // namespace

std::string PassLock::LockFile(const std::string& dataFolder) { return dataFolder + "/" + kPassLockFileName; }

PassLock::PassLock(const std::string& dataFolder) {
    const std::string file = LockFile(dataFolder);
    // Read access is enough for the lock, so users who share a data folder can all
    // lock the file that the first of them created.
    FFd.Reset(::open(file.c_str(), kOpenFlags | O_CREAT, 0666));
    if (!FFd.Valid()) CannotOpen(file, errno);
    struct stat st{};
    if (::fstat(FFd.Get(), &st) != 0) CannotOpen(file, errno);
    if (!S_ISREG(st.st_mode)) {
        throw Error("Die Sperrdatei " + file + " ist keine gewöhnliche Datei.");
    }
    if (!TakeLock(FFd.Get())) {
        if (errno == EWOULDBLOCK) throw PassRunningError();
        CannotOpen(file, errno);
    }
}

}  // namespace vb::platform
