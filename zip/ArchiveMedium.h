#pragma once
// The medium an archive is written to directly: a file on a removable drive that can
// fill up and be exchanged for the next disk. The real drive is in
// RemovableDriveMedium; tests use a small fake.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vb {

// A call that fails (false, or a negative count) leaves the system's reason in errno.
class ArchiveMedium {
public:
    virtual ~ArchiveMedium() = default;

    // True when `path` lies on a removable drive (memory stick, floppy disk).
    virtual bool IsRemovable(const std::string& path) = 0;
    // Whether a medium can be accessed in the drive of `path`.
    virtual bool MediumReady(const std::string& path) = 0;
    // Creates (or empties) `path` on the current medium for writing.
    virtual bool Create(const std::string& path) = 0;
    // Writes up to `size` bytes; fewer when the medium is full. Negative on error.
    virtual long Write(const void* data, std::size_t size) = 0;
    // Bytes that still fit on the current medium.
    virtual std::uint64_t FreeSpace() = 0;
    // Overwrites bytes already written to the file on the current medium.
    virtual bool Rewrite(std::uint64_t offset, const void* data, std::size_t size) = 0;
    // Closes the file on the current medium.
    virtual bool CloseFile() = 0;
    // Labels the current medium of `path`; false when the system cannot.
    virtual bool SetVolumeLabel(const std::string& path, const std::string& label) = 0;
};

}  // namespace vb
