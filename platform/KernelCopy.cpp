#include "platform/KernelCopy.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace vb::platform {

bool CopyRange(int in, std::uint64_t inOffset, int out, std::uint64_t outOffset, std::uint64_t length) {
    auto inPos = static_cast<off64_t>(inOffset);
    auto outPos = static_cast<off64_t>(outOffset);
    bool kernelCopy = true;
    while (length > 0 && kernelCopy) {
        const ssize_t n = ::copy_file_range(in, &inPos, out, &outPos, length, 0);
        if (n > 0) {
            length -= static_cast<std::uint64_t>(n);
            continue;
        }
        if (n == 0) return false;  // the source ended early
        if (errno == EINTR) continue;
        if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL) kernelCopy = false;
        else return false;
    }
    std::vector<char> buffer;
    while (length > 0) {
        if (buffer.empty()) buffer.resize(1 << 20);
        const std::size_t want = length < buffer.size() ? static_cast<std::size_t>(length) : buffer.size();
        const ssize_t r = ::pread(in, buffer.data(), want, inPos);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        std::size_t done = 0;
        while (done < static_cast<std::size_t>(r)) {
            const ssize_t w = ::pwrite(out, buffer.data() + done, static_cast<std::size_t>(r) - done, outPos);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return false;
            done += static_cast<std::size_t>(w);
            outPos += w;
        }
        inPos += r;
        length -= static_cast<std::uint64_t>(r);
    }
    return true;
}

void StartWriteback(int fd, std::uint64_t offset, std::uint64_t length) {
    ::sync_file_range(fd, static_cast<off64_t>(offset), static_cast<off64_t>(length), SYNC_FILE_RANGE_WRITE);
}

}  // namespace vb::platform
