#pragma once
// Reads the data of one entry from an archive file: decrypts it when a cipher is
// given, inflates or copies it, checks size and CRC-32, and hands the bytes to a sink.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "backup/archive/ArchiveEntry.h"
#include "backup/archive/ZipCrypto.h"

namespace vb::zip {

struct EntryData {
    std::uint64_t Offset = 0;  // first byte after the local header
    bool LocalDescriptor = false;  // bit 3 in the local header
};

// Locates the data of `entry` behind its local header; nullopt when the header is
// missing or the data would run past `archiveSize`.
std::optional<EntryData> LocateEntryData(int fd, std::uint64_t archiveSize, const ArchiveEntry& entry);

// Decodes the entry's data starting at `offset` (after the encryption header when
// `cipher` is given, which then is ready for the data). `sink` receives the plain
// bytes and returns false to stop. The result is empty on success, else the reason:
// "Failed CRC Check", "Cannot extract file - unsupported compression method", or a
// read or data error text.
std::string DecodeEntry(int fd, std::uint64_t offset, const ArchiveEntry& entry, ZipCrypto* cipher,
                        const std::function<bool(std::string_view)>& sink);

}  // namespace vb::zip
