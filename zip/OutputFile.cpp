#include "zip/OutputFile.h"

#include <unistd.h>

#include <cerrno>
#include <algorithm>

#include "platform/KernelCopy.h"
#include "platform/SystemError.h"
#include "util/Error.h"

namespace vb::zip {
namespace {
constexpr std::size_t kBufferSize = 1 << 20;
constexpr std::uint64_t kWritebackStep = 4u << 20;
// Pages are let go this far behind the started writeback, by then mostly on disk.
constexpr std::uint64_t kReleaseLag = 16u << 20;
constexpr std::uint64_t kPageMask = 4095;
}  // namespace

// The archive is flushed to disk before it replaces the old one; starting the disk
// writes early lets them overlap with compressing and copying.
void OutputFile::StartWriteback() {
    if (FFlushed - FWrittenBack < kWritebackStep) return;
    platform::StartWriteback(FFd, FWrittenBack, FFlushed - FWrittenBack);
    FWrittenBack = FFlushed;
    ReleasePages();
}

// A large archive written through the page cache would hold all of its pages there
// until the end, each one new memory, and push out what other programs cache.
void OutputFile::ReleasePages() {
    if (FPages != Pages::Release || FWrittenBack < kReleaseLag) return;
    const std::uint64_t end = std::min(FWrittenBack - kReleaseLag, FKeepFrom) & ~kPageMask;
    if (end < FReleased + kWritebackStep) return;
    platform::ReleaseWrittenPages(FFd, FReleased, end - FReleased);
    FReleased = end;
}

OutputFile::OutputFile(int fd, std::string displayName, Pages pages)
    : FFd(fd), FName(std::move(displayName)), FPages(pages) {
    FBuffer.reserve(kBufferSize);
}

void OutputFile::Fail(int error) const {
    throw Error("Das Archiv " + FName + " kann nicht geschrieben werden: " +
                (error ? SystemErrorText(error) : std::string("unerwartetes Dateiende")));
}

void OutputFile::Check(platform::IoResult result) const {
    if (!result) Fail(result.Error);
}

void OutputFile::Write(std::string_view bytes) {
    CopyHeldBack();
    if (FBuffer.size() + bytes.size() > kBufferSize) WriteBuffer();
    if (bytes.size() >= kBufferSize) {
        Check(platform::WriteAt(FFd, bytes, FFlushed));
        FFlushed += bytes.size();
        return;
    }
    FBuffer.append(bytes);
}

void OutputFile::Flush() {
    CopyHeldBack();
    WriteBuffer();
}

void OutputFile::WriteBuffer() {
    Check(platform::WriteAt(FFd, FBuffer, FFlushed));
    FFlushed += FBuffer.size();
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
        Check(platform::ReadAt(in, FBuffer.data() + start, static_cast<std::size_t>(length), offset));
        return;
    }
    WriteBuffer();
    // In steps, so the disk writes start while the rest is still being copied.
    for (std::uint64_t done = 0; done < length;) {
        const std::uint64_t step = std::min(kWritebackStep, length - done);
        Check(platform::CopyRange(in, offset + done, FFd, FFlushed, step));
        FFlushed += step;
        done += step;
        StartWriteback();
    }
}

void OutputFile::PatchAt(std::uint64_t offset, std::string_view bytes) {
    Flush();
    Check(platform::WriteAt(FFd, bytes, offset));
}

void OutputFile::TransformRange(std::uint64_t offset, std::uint64_t length,
                                const std::function<void(char*, std::size_t)>& transform) {
    Flush();
    std::string piece;
    for (std::uint64_t done = 0; done < length;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kBufferSize, length - done));
        piece.resize(n);
        Check(platform::ReadAt(FFd, piece.data(), n, offset + done));
        transform(piece.data(), n);
        Check(platform::WriteAt(FFd, piece, offset + done));
        done += n;
    }
}

void OutputFile::TruncateTo(std::uint64_t offset) {
    Flush();
    if (::ftruncate(FFd, static_cast<off_t>(offset)) != 0) Fail(errno);
    FFlushed = offset;
    FWrittenBack = std::min(FWrittenBack, offset);
    FReleased = std::min(FReleased, offset & ~kPageMask);
}

}  // namespace vb::zip
