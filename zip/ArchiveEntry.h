#pragma once
// One entry of an archive as both roles see it: the fields of its central directory
// header with the 64-bit sizes resolved, its decoded name, and the writer's pending
// action for it.
#include <cstdint>
#include <optional>
#include <string>

namespace vb {

enum class EntryAction {
    Unchanged,  // taken over from the opened archive or already written
    Add,        // registered in this run, read and compressed when saved
    Replace,    // its file changed; rewritten from the file when saved
    LeftOut,    // its file could not be read when saved; dropped from the archive
};

struct ArchiveEntry {
    std::string Name;          // stored name, UTF-8, "/" separators, folders end in "/"
    std::string HeaderName;    // the name's bytes in the headers
    std::uint16_t VersionMadeBy = 20;
    std::uint16_t VersionNeeded = 10;
    std::uint16_t Flags = 0;
    std::uint16_t Method = 0;
    std::uint16_t DosTime = 0;
    std::uint16_t DosDate = 0;
    std::uint32_t Crc32 = 0;
    std::uint64_t CompressedSize = 0;    // including a 12-byte encryption header
    std::uint64_t UncompressedSize = 0;
    std::uint32_t DiskStart = 0;
    std::uint16_t InternalAttributes = 0;
    std::uint32_t ExternalAttributes = 0;
    std::uint64_t LocalHeaderOffset = 0;
    std::string CentralExtra;  // extra fields of the central header, Zip64 field removed
    std::string Comment;       // entry comment, as stored
    // Unix owner and mode as stored: the mode from the upper half of the external
    // attributes (file type bits included) when the entry carries one, the ids from
    // the Info-ZIP 0x7875 field, the names from our own field.
    std::optional<std::uint32_t> UnixMode;
    std::optional<std::uint32_t> Uid;
    std::optional<std::uint32_t> Gid;
    std::string OwnerName;
    std::string GroupName;

    // Writer only.
    EntryAction Action = EntryAction::Unchanged;
    std::string SourcePath;    // the disk file that the entry is to be made from; empty once written
    std::uint64_t SourceDevice = 0;  // identity of that file when it was selected
    std::uint64_t SourceInode = 0;

    // Reader only: marked for extraction.
    bool Tagged = false;

    bool IsFolder() const { return !Name.empty() && Name.back() == '/'; }
    bool IsEncrypted() const { return (Flags & 0x0001) != 0; }
    std::uint8_t Host() const { return static_cast<std::uint8_t>(VersionMadeBy >> 8); }
};

}  // namespace vb
