#include "backup/archive/RemovableDriveMedium.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include "platform/RemovableMedia.h"

namespace vb {

RemovableDriveMedium::~RemovableDriveMedium() { CloseFile(); }

bool RemovableDriveMedium::IsRemovable(const std::string& path) { return platform::IsOnRemovableDrive(path); }

bool RemovableDriveMedium::MediumReady(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    return ::access(folder.c_str(), W_OK) == 0;
}

bool RemovableDriveMedium::Create(const std::string& path) {
    CloseFile();
    FFd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return FFd >= 0;
}

long RemovableDriveMedium::Write(const void* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(FFd, static_cast<const char*>(data) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == ENOSPC) break;  // the medium is full
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long>(done);
}

std::uint64_t RemovableDriveMedium::FreeSpace() {
    struct statvfs fs{};
    if (FFd < 0 || ::fstatvfs(FFd, &fs) != 0) return 0;
    return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

bool RemovableDriveMedium::Rewrite(std::uint64_t offset, const void* data, std::size_t size) {
    return FFd >= 0 && ::pwrite(FFd, data, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

bool RemovableDriveMedium::CloseFile() {
    if (FFd < 0) return true;
    const bool ok = ::fsync(FFd) == 0 && ::close(FFd) == 0;
    FFd = -1;
    return ok;
}

bool RemovableDriveMedium::SetVolumeLabel(const std::string& path, const std::string& label) {
    return platform::SetVolumeLabel(path, label);
}

}  // namespace vb
