#pragma once
// The header bytes of an entry as this program writes them: central header with the
// Zip64 field where a value reaches 0xFFFFFFFF, data descriptor, and the closing
// records (Zip64 end record and locator when a count, size or offset needs them).
#include <cstdint>
#include <string>
#include <vector>

#include "zip/ArchiveEntry.h"
#include "zip/ZipRecords.h"

namespace vb::zip {

inline constexpr std::uint64_t kMax32 = 0xFFFFFFFF;

// True when the entry's sizes or offset need the Zip64 field.
bool NeedsZip64(const ArchiveEntry& entry);

CentralDirectoryHeader MakeCentralHeader(const ArchiveEntry& entry);

// The local header bytes of an entry: its real CRC-32 and sizes (0xFFFFFFFF both
// when `sizes64`, then `extra` must hold the Zip64 field), its name and `extra`.
std::string MakeLocalHeader(const ArchiveEntry& entry, bool sizes64, const std::string& extra);

// Signature, CRC-32 and both sizes; 8-byte sizes when `zip64`.
std::string MakeDataDescriptor(const ArchiveEntry& entry, bool zip64);

// Zip64 field data with both sizes, as a local header carries it.
std::string MakeLocalZip64Field(std::uint64_t uncompressed, std::uint64_t compressed);

// Where the end records of a set of disks lie: the disk they are on (numbered from
// 0), the disk the central directory begins on, and how many central headers the
// end records' disk holds. An archive in one file is all on disk 0.
struct DiskPlacement {
    std::uint32_t Disk = 0;
    std::uint32_t CentralDirectoryDisk = 0;
    std::uint64_t EntriesOnDisk = 0;
};

// The end record (and Zip64 end record and locator when needed) for a directory of
// `count` entries at `offset` of `size` bytes; `endOffset` is where they start (on
// their own disk). The archive comment goes at the end. Without `placement` all of
// the archive is on disk 0.
std::string MakeEndRecords(std::uint64_t count, std::uint64_t offset, std::uint64_t size, std::uint64_t endOffset,
                           const std::string& comment = {}, const DiskPlacement* placement = nullptr);

}  // namespace vb::zip
