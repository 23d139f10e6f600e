#pragma once
// The file a new archive is written into: buffered appends, kernel copies of byte
// ranges from another file, and patches of bytes already written. Copies are held
// back until something else is written, so that ranges which follow each other in
// the source (the unchanged entries of an update) become one large kernel copy.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/FileIo.h"

namespace vb::zip {

class OutputFile {
public:
    // What happens to the pages of bytes written: they stay in the page cache, or
    // they leave it once on disk (a little behind the end, and only before KeepFrom's
    // offset, since the bytes after it may still be read back or patched).
    enum class Pages { Keep, Release };

    // Writes to `fd` (not owned) from offset 0; `displayName` names it in errors.
    OutputFile(int fd, std::string displayName, Pages pages = Pages::Keep);

    // The bytes from `offset` on may still be read back or patched; those before it
    // are final. Never moves back.
    void KeepFrom(std::uint64_t offset) { FKeepFrom = std::max(FKeepFrom, offset); }

    void Write(std::string_view bytes);
    void Write(const void* data, std::size_t size) { Write(std::string_view(static_cast<const char*>(data), size)); }
    // Appends `length` bytes of `in` from `offset`; throws when `in` ends early (at
    // the latest by the next Write, Flush, PatchAt or TruncateTo).
    void CopyFrom(int in, std::uint64_t offset, std::uint64_t length);
    // Overwrites bytes written earlier.
    void PatchAt(std::uint64_t offset, std::string_view bytes);
    // Reads `length` bytes written earlier from `offset` on, lets `transform` change
    // them piece by piece (in order) and writes them back.
    void TransformRange(std::uint64_t offset, std::uint64_t length,
                        const std::function<void(char* data, std::size_t size)>& transform);
    // Drops everything from `offset` on.
    void TruncateTo(std::uint64_t offset);
    // Copies what CopyFrom holds back now (a small range into the buffer).
    void CopyHeldBack();
    void Flush();
    std::uint64_t Position() const { return FFlushed + FBuffer.size() + FCopyLength; }

    // Throws vb::Error naming the file and the reason behind `error` (an errno value;
    // 0: the file ended early). Every failure of this class ends here.
    [[noreturn]] void Fail(int error) const;

private:
    int FFd;  // borrowed: the caller owns the file and keeps it open
    std::string FName;
    std::string FBuffer;
    std::uint64_t FFlushed = 0;  // bytes already in the file
    std::uint64_t FWrittenBack = 0;  // bytes whose writeback was started
    Pages FPages;
    std::uint64_t FKeepFrom = 0;
    std::uint64_t FReleased = 0;  // bytes whose pages were let go
    int FCopyFd = -1;  // the copy held back: source (borrowed from the caller), offset and length
    std::uint64_t FCopyOffset = 0;
    std::uint64_t FCopyLength = 0;
    void StartWriteback();
    void ReleasePages();
    void WriteBuffer();
    void Check(platform::IoResult result) const;
};

}  // namespace vb::zip
