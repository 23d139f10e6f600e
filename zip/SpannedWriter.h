#pragma once
// Lays an assembled archive out on a removable medium, disk after disk: the spanning
// signature first, each local header, central directory header and the end record
// whole on one disk, entry data and the central directory free to continue on the
// next disk. A set that fits on one disk gets the marker "PK00" instead.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "zip/ArchiveEntry.h"
#include "zip/ArchiveMedium.h"

namespace vb::zip {

struct SpannedResult {
    std::uint32_t Disks = 1;
    std::uint64_t LastDiskSize = 0;
};

class SpannedWriter {
public:
    // `threshold` limits the bytes per disk (0: the medium's size); `requestBlankDisk`
    // gets the zero-based number of the disk wanted and answers false to abort.
    SpannedWriter(ArchiveMedium& medium, std::string path, std::uint64_t threshold,
                  std::function<bool(int disk)> requestBlankDisk);

    // Copies the entries from `source` (their local headers and data at the offsets
    // the entries give, `size` bytes in all) and writes the central directory and
    // end records. The entries get their disk numbers and offsets on the medium.
    // Throws vb::Error: "Process aborted by user" when a disk request is refused.
    SpannedResult Write(int source, std::uint64_t size, std::vector<ArchiveEntry>& entries);

private:
    struct Position {
        std::uint32_t Disk = 0;
        std::uint64_t Offset = 0;
    };
    // The central directory as written: where it starts, its size, and the disk of
    // its last header with how many headers that disk holds.
    struct Directory {
        Position Start;
        std::uint64_t Size = 0;
        std::uint64_t HeadersOnLastDisk = 0;
        std::uint32_t LastDisk = 0;
    };
    std::uint64_t Room();
    void WriteEntries(int source, std::uint64_t size, std::vector<ArchiveEntry>& entries);
    void ReadSource(int source, std::string& buffer, std::uint64_t offset) const;
    Directory WriteCentralDirectory(const std::vector<ArchiveEntry>& entries);
    void NextDisk();
    Position WriteWhole(std::string_view record);
    void WriteSplit(std::string_view bytes);
    void Put(std::string_view bytes);
    // Throws "Das Archiv <path> kann nicht <what>: <reason>" for the errno value
    // `error`; without a reason when it is 0. Medium calls report theirs in errno.
    [[noreturn]] void Fail(const char* what, int error) const;

    ArchiveMedium& FMedium;
    std::string FPath;
    std::uint64_t FThreshold;
    std::function<bool(int)> FRequestBlankDisk;
    std::uint32_t FDisk = 0;
    std::uint64_t FOnDisk = 0;  // bytes written to the current disk
};

}  // namespace vb::zip
