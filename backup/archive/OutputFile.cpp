#include "backup/archive/OutputFile.h"

#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>

#include "platform/KernelCopy.h"
#include "util/Error.h"

namespace vb::zip {
namespace {
constexpr std::size_t kBufferSize = 1 << 20;
constexpr std::uint64_t kWritebackStep = 4u << 20;
}

// The archive is flushed to disk before it replaces the old one; starting the disk
// writes early lets them overlap with compressing and copying.
void OutputFile::StartWriteback() {
    if (FFlushed - FWrittenBack < kWritebackStep) return;
    platform::StartWriteback(FFd, FWrittenBack, FFlushed - FWrittenBack);
    FWrittenBack = FFlushed;
}

OutputFile::OutputFile(int fd, std::string displayName) : FFd(fd), FName(std::move(displayName)) {
    FBuffer.reserve(kBufferSize);
}

void OutputFile::Fail() const {
    const int error = errno;
    throw Error("Das Archiv " + FName + " kann nicht geschrieben werden: " +
                (error ? std::strerror(error) : "unerwartetes Dateiende"));
}

void OutputFile::Write(std::string_view bytes) {
    CopyHeldBack();
    if (FBuffer.size() + bytes.size() > kBufferSize) WriteBuffer();
    if (bytes.size() >= kBufferSize) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::pwrite(FFd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(FFlushed));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) Fail();
            done += static_cast<std::size_t>(n);
            FFlushed += static_cast<std::uint64_t>(n);
        }
        return;
    }
    FBuffer.append(bytes);
}

void OutputFile::Flush() {
    CopyHeldBack();
    WriteBuffer();
}

void OutputFile::WriteBuffer() {
    std::size_t done = 0;
    while (done < FBuffer.size()) {
        const ssize_t n = ::pwrite(FFd, FBuffer.data() + done, FBuffer.size() - done, static_cast<off_t>(FFlushed));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail();
        done += static_cast<std::size_t>(n);
        FFlushed += static_cast<std::uint64_t>(n);
    }
    FBuffer.clear();
    StartWriteback();
}

void OutputFile::CopyFrom(int in, std::uint64_t offset, std::uint64_t length) {
    if (length == 0) return;
    if (FCopyLength > 0 && in == FCopyFd && offset == FCopyOffset + FCopyLength) {
        FCopyLength += length;
        return;
    }
    CopyHeldBack();
    FCopyFd = in;
    FCopyOffset = offset;
    FCopyLength = length;
}

void OutputFile::CopyHeldBack() {
    if (FCopyLength == 0) return;
    const int in = FCopyFd;
    const std::uint64_t offset = FCopyOffset;
    const std::uint64_t length = FCopyLength;
    FCopyLength = 0;
    if (length < 65536) {
        // Small ranges go through the buffer: fewer, larger writes.
        if (FBuffer.size() + length > kBufferSize) WriteBuffer();
        const std::size_t start = FBuffer.size();
        FBuffer.resize(start + static_cast<std::size_t>(length));
        std::size_t done = 0;
        while (done < length) {
            const ssize_t n = ::pread(in, FBuffer.data() + start + done, static_cast<std::size_t>(length) - done,
                                      static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (n == 0) errno = 0;
                Fail();
            }
            done += static_cast<std::size_t>(n);
        }
        return;
    }
    WriteBuffer();
    // In steps, so the disk writes start while the rest is still being copied.
    for (std::uint64_t done = 0; done < length;) {
        const std::uint64_t step = std::min(kWritebackStep, length - done);
        errno = 0;
        if (!platform::CopyRange(in, offset + done, FFd, FFlushed, step)) Fail();
        FFlushed += step;
        done += step;
        StartWriteback();
    }
}

void OutputFile::PatchAt(std::uint64_t offset, std::string_view bytes) {
    Flush();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(FFd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail();
        done += static_cast<std::size_t>(n);
    }
}

void OutputFile::TransformRange(std::uint64_t offset, std::uint64_t length,
                                const std::function<void(char*, std::size_t)>& transform) {
    Flush();
    std::string piece;
    for (std::uint64_t done = 0; done < length;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kBufferSize, length - done));
        piece.resize(n);
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = ::pread(FFd, piece.data() + got, n - got, static_cast<off_t>(offset + done + got));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) {
                if (r == 0) errno = 0;
                Fail();
            }
            got += static_cast<std::size_t>(r);
        }
        transform(piece.data(), n);
        for (std::size_t put = 0; put < n;) {
            const ssize_t w = ::pwrite(FFd, piece.data() + put, n - put, static_cast<off_t>(offset + done + put));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) Fail();
            put += static_cast<std::size_t>(w);
        }
        done += n;
    }
}

void OutputFile::TruncateTo(std::uint64_t offset) {
    Flush();
    if (::ftruncate(FFd, static_cast<off_t>(offset)) != 0) Fail();
    FFlushed = offset;
    FWrittenBack = std::min(FWrittenBack, offset);
}

}  // namespace vb::zip
