#include "platform/KernelCopy.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <vector>

namespace vb::platform {

IoResult CopyRange(int in, std::uint64_t inOffset, int out, std::uint64_t outOffset, std::uint64_t length) {
    auto inPos = static_cast<off64_t>(inOffset);
    auto outPos = static_cast<off64_t>(outOffset);
    const std::uint64_t total = length;
    auto copied = [&] { return static_cast<std::size_t>(total - length); };
    bool kernelCopy = true;
    while (length > 0 && kernelCopy) {
        const ssize_t n = ::copy_file_range(in, &inPos, out, &outPos, length, 0);
        if (n > 0) {
            length -= static_cast<std::uint64_t>(n);
            continue;
        }
        if (n == 0) return {0, true, copied()};  // the source ended early
        if (errno == EINTR) continue;
        if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL) kernelCopy = false;
        else return {errno, false, copied()};
    }
    std::vector<char> buffer;
    while (length > 0) {
        if (buffer.empty()) buffer.resize(1 << 20);
        const std::size_t want = length < buffer.size() ? static_cast<std::size_t>(length) : buffer.size();
        IoResult step = ReadAt(in, buffer.data(), want, static_cast<std::uint64_t>(inPos));
        if (step) step = WriteAt(out, std::string_view(buffer.data(), want), static_cast<std::uint64_t>(outPos));
        if (!step) return {step.Error, step.EndOfFile, copied()};
        inPos += static_cast<off64_t>(want);
        outPos += static_cast<off64_t>(want);
        length -= want;
    }
    return {0, false, copied()};
}

void StartWriteback(int fd, std::uint64_t offset, std::uint64_t length) {
    ::sync_file_range(fd, static_cast<off64_t>(offset), static_cast<off64_t>(length), SYNC_FILE_RANGE_WRITE);
}

void ReleaseWrittenPages(int fd, std::uint64_t offset, std::uint64_t length) {
    ::sync_file_range(fd, static_cast<off64_t>(offset), static_cast<off64_t>(length),
                      SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
    ::posix_fadvise(fd, static_cast<off_t>(offset), static_cast<off_t>(length), POSIX_FADV_DONTNEED);
}

}  // namespace vb::platform
