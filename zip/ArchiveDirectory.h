#pragma once
// The central directory of an existing archive file, found from the end record
// (and the Zip64 end record when there is one) and checked as a whole before any
// entry is handed out.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zip/ArchiveEntry.h"

namespace vb::zip {

enum class DirectoryProblem {
    None,
    NotZip,       // neither a spanning signature nor an end record
    EndMissing,   // spanning signature but no end record: first disk of a set
    Damaged,      // an end record whose directory does not fit the file
};

struct ArchiveDirectory {
    DirectoryProblem Problem = DirectoryProblem::None;
    std::vector<ArchiveEntry> Entries;
    std::uint32_t DiskNumber = 0;            // disk of the end record; > 0 for a spanned set
    std::uint32_t CentralDirectoryDisk = 0;  // disk on which the central directory begins
    std::uint64_t EntryCount = 0;
    std::uint64_t CentralDirectoryOffset = 0;
    std::uint64_t CentralDirectorySize = 0;
    bool StartsWithSpanningMark = false;     // "PK\7\8" or "PK00" in the first four bytes
    std::uint64_t EndRecordOffset = 0;       // where the (classic) end record begins
    std::string Comment;                     // archive comment, as stored
};

// Reads the directory of the archive in `fd` (of `fileSize` bytes, more than 0).
// Problems are reported in the result, never by reading outside the file.
ArchiveDirectory ReadArchiveDirectory(int fd, std::uint64_t fileSize);

// The same from the end records alone: where the directory lies, its size and its
// count, checked against the file; no entry is read.
ArchiveDirectory FindArchiveDirectory(int fd, std::uint64_t fileSize);

// Reads the entries of a directory that FindArchiveDirectory found without problem;
// a directory that cannot be read or parsed leaves `dir` Damaged, without entries.
void ReadDirectoryEntries(int fd, ArchiveDirectory& dir);

// The entry of the central header at `pos` of `central`, and `pos` moved past it;
// nullopt (and `pos` unchanged) when the header does not fit or its local header
// lies beyond `dataEnd`.
std::optional<ArchiveEntry> ReadCentralEntry(std::string_view central, std::size_t& pos, std::uint64_t dataEnd);

// Reads `count` central directory headers from `central` into `dir.Entries`; on a
// header that does not fit, `dir.Problem` becomes Damaged and no entry is kept.
// `dataEnd` bounds the local headers' offsets (the directory's offset on one disk).
void ParseCentralDirectory(const std::string& central, std::uint64_t count, std::uint64_t dataEnd,
                           ArchiveDirectory& dir);

}  // namespace vb::zip
