#include "zip/RemovableDriveMedium.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileIo.h"
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
    FFd.Reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    return FFd.Valid();
}

long RemovableDriveMedium::Write(const void* data, std::size_t size) {
    const platform::IoResult written = platform::WriteAll(FFd.Get(), std::string_view(static_cast<const char*>(data), size));
    // A full medium takes what fits; the caller goes on on the next one.
    if (!written && written.Error != ENOSPC) return -1;
    return static_cast<long>(written.Done);
}

std::uint64_t RemovableDriveMedium::FreeSpace() {
    struct statvfs fs{};
    if (!FFd.Valid() || ::fstatvfs(FFd.Get(), &fs) != 0) return 0;
    return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

bool RemovableDriveMedium::Rewrite(std::uint64_t offset, const void* data, std::size_t size) {
    return FFd.Valid() && platform::WriteAt(FFd.Get(), std::string_view(static_cast<const char*>(data), size), offset);
}

bool RemovableDriveMedium::CloseFile() {
    if (!FFd.Valid()) return true;
    if (::fsync(FFd.Get()) != 0) {
        const int error = errno;  // the caller reads why from errno
        FFd.Reset();
        errno = error;
        return false;
    }
    return ::close(FFd.Release()) == 0;
}

bool RemovableDriveMedium::SetVolumeLabel(const std::string& path, const std::string& label) {
    return platform::SetVolumeLabel(path, label);
}

}  // namespace vb
