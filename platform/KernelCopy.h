#pragma once
// Copying a byte range between two open files inside the kernel where the system
// offers it, with a read/write loop as the fallback.
#include <cstdint>

#include "platform/FileIo.h"

namespace vb::platform {

// Copies `length` bytes from `in` at `inOffset` to `out` at `outOffset`; the
// result tells whether reading or writing failed or `in` ended early.
IoResult CopyRange(int in, std::uint64_t inOffset, int out, std::uint64_t outOffset, std::uint64_t length);

// Starts writing a range of a file to disk without waiting, so that a later fsync
// finds most of it done.
void StartWriteback(int fd, std::uint64_t offset, std::uint64_t length);

// Waits until a range of a file is on disk and lets its pages leave the page cache,
// so that writing a large file neither evicts what other programs keep cached nor
// takes ever new memory for pages nobody reads again. Nothing changes for a file
// system that lives in memory.
void ReleaseWrittenPages(int fd, std::uint64_t offset, std::uint64_t length);

}  // namespace vb::platform
