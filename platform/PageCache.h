#pragma once
// Reading a file as the disk holds it rather than as the page cache remembers it.
namespace vb::platform {

// Writes the file's data to the disk and drops its pages from the page cache, so
// that the next reads fetch it from the disk. False when the data could not be
// written; the pages of file systems that live in memory (tmpfs) stay where they are.
bool DropCachedPages(int fd);

}  // namespace vb::platform
