#pragma once
// Reads the data of one entry from an archive file: decrypts it when a cipher is
// given, inflates or copies it, checks size and CRC-32, and hands the bytes to a sink.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zip/ArchiveEntry.h"

namespace vb::zip {

struct EntryData {
    std::uint64_t Offset = 0;  // first byte after the local header
    bool LocalDescriptor = false;  // bit 3 in the local header
};

// Locates the data of `entry` behind its local header; nullopt when the header is
// missing or the data would run past `archiveSize`.
std::optional<EntryData> LocateEntryData(int fd, std::uint64_t archiveSize, const ArchiveEntry& entry);

// The same for many entries, in the order they lie in the archive: the local headers
// are read in blocks, so that a restore of many small files reads once for many
// headers instead of once for each. `fd` is borrowed.
class LocalHeaders {
public:
    LocalHeaders(int fd, std::uint64_t archiveSize) : FFd(fd), FSize(archiveSize) {}
    std::optional<EntryData> Locate(const ArchiveEntry& entry);

    static constexpr std::size_t kBlock = 256 * 1024;

private:
    int FFd;
    std::uint64_t FSize;
    std::vector<unsigned char> FBlock;
    std::uint64_t FBlockStart = 0;
};

class EntryCipher;

// The reason given for an AES entry whose data does not match its authentication code.
inline constexpr const char* kAuthenticationFailed =
    "Der Eintrag ist beschädigt: sein Authentifizierungscode stimmt nicht mit den Daten überein";

// Decodes the entry's data, which begins at `offset` (directly behind the local
// header; `cipher`, when given, knows how much encryption comes before and behind the
// data and decrypts it). `sink` receives the plain bytes and returns false to stop.
// The result is empty on success, else the reason: "Failed CRC Check", "Cannot
// extract file - unsupported compression method", kAuthenticationFailed for an AES
// entry whose data was changed, or a read or data error text. Bytes handed to the
// sink count only on success: an AES entry is authenticated when all is read.
std::string DecodeEntry(int fd, std::uint64_t offset, const ArchiveEntry& entry, EntryCipher* cipher,
                        const std::function<bool(std::string_view)>& sink);

}  // namespace vb::zip
