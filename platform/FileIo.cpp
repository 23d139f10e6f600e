#include "platform/FileIo.h"

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>

namespace vb::platform {
namespace {

// A write that moves nothing although bytes were offered has no errno; the medium
// took no more, which the program treats like a full disk.
constexpr int kNothingWritten = ENOSPC;

template <typename Write>
IoResult WriteLoop(std::string_view bytes, Write write) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(bytes.data() + done, bytes.size() - done, done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {errno, false, done};
        if (n == 0) return {kNothingWritten, false, done};
        done += static_cast<std::size_t>(n);
    }
    return {0, false, done};
}

}  // namespace

IoResult ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    auto* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, p + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {errno, false, done};
        if (n == 0) return {0, true, done};
        done += static_cast<std::size_t>(n);
    }
    return {0, false, done};
}

IoResult ReadToEnd(int fd, std::string& out, std::size_t limit) {
    char buffer[65536];
    std::size_t done = 0;
    while (out.size() <= limit) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {errno, false, done};
        if (n == 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
        done += static_cast<std::size_t>(n);
    }
    return {0, false, done};
}

IoResult WriteAll(int fd, std::string_view bytes) {
    return WriteLoop(bytes, [fd](const char* p, std::size_t n, std::size_t) { return ::write(fd, p, n); });
}

IoResult WriteAt(int fd, std::string_view bytes, std::uint64_t offset) {
    return WriteLoop(bytes, [fd, offset](const char* p, std::size_t n, std::size_t done) {
        return ::pwrite(fd, p, n, static_cast<off_t>(offset + done));
    });
}

}  // namespace vb::platform
