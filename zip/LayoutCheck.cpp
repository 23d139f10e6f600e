#include "zip/LayoutCheck.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <numeric>
#include <string>
#include <vector>

#include "zip/ByteOrder.h"
#include "zip/EntryHeaders.h"
#include "zip/ZipRecords.h"
#include "platform/FileIo.h"

namespace vb::zip {
namespace {

// Room for a spanning mark and the Zip64 end records ahead of the end record of an
// archive without entries.
constexpr std::uint64_t kEmptyArchiveLead = 4 + Zip64EndOfCentralDirectory::kFixedSize + Zip64Locator::kFixedSize;

// The local headers are read in blocks that hold the headers of many small entries
// at once: one read per header made checking 100,000 entries take half a second,
// longer than the archive browser may take to list them. A block stays below the size
// that malloc maps afresh for each opening, page by page: blocks of 1 MiB made the
// check of an archive of 4,829 entries take 16 ms (766 page faults), blocks of
// 256 KiB 4 ms (35), with the same bytes read.
constexpr std::uint64_t kBlockLimit = 256u << 10;
constexpr std::uint64_t kHeaderGuess = 512;       // fixed part, name and extra fields, usually
constexpr std::uint64_t kLargestGap = 64u << 10;  // bytes read in vain between two headers

class HeaderReader {
public:
    HeaderReader(int fd, const std::vector<std::uint64_t>& offsets) : FFd(fd), FOffsets(offsets) {}

    // Before the headers from `offsets[k]` on are read: the block from there on,
    // unless it is read already.
    void Reach(std::size_t k) {
        const std::uint64_t start = FOffsets[k];
        if (start >= FStart && start + kHeaderGuess <= FStart + FLength) return;
        std::uint64_t end = start + kHeaderGuess;
        for (std::size_t j = k + 1; j < FOffsets.size(); ++j) {
            const std::uint64_t next = FOffsets[j] + kHeaderGuess;
            if (next - start > kBlockLimit || FOffsets[j] > end + kLargestGap) break;
            end = next;
        }
        FStart = start;
        // Read over, never cleared first: only the bytes read are looked at.
        const std::size_t size = static_cast<std::size_t>(end - start);
        if (size > FCapacity) {
            FBlock = std::make_unique_for_overwrite<char[]>(size);
            FCapacity = size;
        }
        const platform::IoResult r = platform::ReadAt(FFd, FBlock.get(), size, start);
        FLength = r.Done;  // short at the end of the file
    }

    // `size` bytes at `at`: in the block, or read into `spare`; nullopt when the file
    // ends before.
    std::optional<std::string_view> View(std::size_t size, std::uint64_t at, std::string& spare) const {
        if (at >= FStart && at - FStart <= FLength && size <= FLength - (at - FStart))
            return std::string_view(FBlock.get() + (at - FStart), size);
        spare.resize(size);
        if (!platform::ReadAt(FFd, spare.data(), size, at)) return std::nullopt;
        return std::string_view(spare);
    }

private:
    int FFd;
    const std::vector<std::uint64_t>& FOffsets;
    std::uint64_t FStart = 0;
    std::size_t FLength = 0;
    std::size_t FCapacity = 0;
    std::unique_ptr<char[]> FBlock;
};

// The end of the entry's bytes (header, data, descriptor), or 0 when its local
// header does not agree with the central one; `header` learns the local header.
std::uint64_t EntryEnd(const HeaderReader& reader, const ArchiveEntry& e, LocalHeaderFacts::Header& header) {
    constexpr std::size_t kFixed = LocalFileHeader::kFixedSize;
    std::string spareFixed, spare;  // for headers outside the block
    const auto fixed = reader.View(kFixed, e.LocalHeaderOffset, spareFixed);
    if (!fixed) return 0;
    std::uint16_t nameLength = 0, extraLength = 0;
    const auto local = LocalFileHeader::ReadFixed(reinterpret_cast<const unsigned char*>(fixed->data()), kFixed,
                                                  nameLength, extraLength);
    if (!local) return 0;
    const auto variable = reader.View(nameLength + extraLength, e.LocalHeaderOffset + kFixed, spare);
    if (!variable) return 0;
    const std::string_view name = variable->substr(0, nameLength);
    const std::string_view extra = variable->substr(nameLength);
    if (name != e.HeaderName || local->Method != e.Method || (local->Flags & kFlagEncrypted) != (e.Flags & kFlagEncrypted))
        return 0;
    const auto zip64 = FindExtraField(extra, kZip64ExtraId);
    if (!(local->Flags & kFlagDataDescriptor)) {
        std::uint64_t uncompressed = local->UncompressedSize, compressed = local->CompressedSize;
        if (uncompressed == 0xFFFFFFFF || compressed == 0xFFFFFFFF) {
            if (!zip64 || zip64->size() < 16) return 0;
            const auto* p = reinterpret_cast<const unsigned char*>(zip64->data());
            uncompressed = Get64(p);
            compressed = Get64(p + 8);
        }
        if (local->Crc32 != e.Crc32 || uncompressed != e.UncompressedSize || compressed != e.CompressedSize) return 0;
    }
    header.Offset = e.LocalHeaderOffset;
    header.Length = static_cast<std::uint32_t>(kFixed + variable->size());
    header.AsWritten = IsCopiedLocalHeader(e, *fixed, *variable);
    std::uint64_t end = e.LocalHeaderOffset + kFixed + variable->size() + e.CompressedSize;
    if (e.Flags & kFlagDataDescriptor) {
        const auto signature = reader.View(4, end, spare);
        if (!signature) return 0;
        end += (Get32(reinterpret_cast<const unsigned char*>(signature->data())) == kDataDescriptorSignature ? 4 : 0) +
               4 + (zip64 ? 16 : 8);
    }
    return end;
}

}  // namespace

const LocalHeaderFacts::Header* LocalHeaderFacts::Find(std::uint64_t offset) const {
    const auto it = std::lower_bound(FHeaders.begin(), FHeaders.end(), offset,
                                     [](const Header& h, std::uint64_t at) { return h.Offset < at; });
    return it != FHeaders.end() && it->Offset == offset ? &*it : nullptr;
}

bool EntriesAreSound(int fd, const ArchiveDirectory& dir, LocalHeaderFacts* facts) {
    if (dir.Entries.empty()) return dir.EndRecordOffset <= kEmptyArchiveLead;
    std::vector<std::size_t> order(dir.Entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return dir.Entries[a].LocalHeaderOffset < dir.Entries[b].LocalHeaderOffset;
    });
    std::vector<std::uint64_t> offsets(order.size());
    for (std::size_t k = 0; k < order.size(); ++k) offsets[k] = dir.Entries[order[k]].LocalHeaderOffset;
    HeaderReader reader(fd, offsets);
    std::vector<LocalHeaderFacts::Header> headers(facts ? order.size() : 0);
    LocalHeaderFacts::Header unkept;
    for (std::size_t k = 0; k < order.size(); ++k) {
        // Entries that share an offset meet a limit at their own start: refused.
        const std::uint64_t limit = k + 1 < order.size() ? offsets[k + 1] : dir.CentralDirectoryOffset;
        reader.Reach(k);
        const std::uint64_t end = EntryEnd(reader, dir.Entries[order[k]], facts ? headers[k] : unkept);
        if (end == 0 || end > limit) return false;
    }
    if (facts) facts->FHeaders = std::move(headers);
    return true;
}

bool IsCopiedLocalHeader(const ArchiveEntry& e, std::string_view fixed, std::string_view variable) {
    constexpr std::size_t kFixed = LocalFileHeader::kFixedSize;
    if (fixed.size() != kFixed) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(fixed.data());
    const bool sizes64 = e.UncompressedSize >= kMax32 || e.CompressedSize >= kMax32;
    const std::uint32_t compressed = sizes64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(e.CompressedSize);
    const std::uint32_t uncompressed = sizes64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(e.UncompressedSize);
    const std::size_t nameLength = Get16(p + 26);
    if (Get32(p) != kLocalHeaderSignature || Get16(p + 4) != e.VersionNeeded || Get16(p + 6) != e.Flags ||
        Get16(p + 8) != e.Method || Get16(p + 10) != e.DosTime || Get16(p + 12) != e.DosDate ||
        Get32(p + 14) != e.Crc32 || Get32(p + 18) != compressed || Get32(p + 22) != uncompressed ||
        nameLength + Get16(p + 28) != variable.size() || variable.substr(0, nameLength) != e.HeaderName)
        return false;
    std::string_view extra = variable.substr(nameLength);
    if (sizes64) {
        // The Zip64 field in front, with both sizes.
        if (extra.size() < 20) return false;
        const auto* z = reinterpret_cast<const unsigned char*>(extra.data());
        if (Get16(z) != kZip64ExtraId || Get16(z + 2) != 16 || Get64(z + 4) != e.UncompressedSize ||
            Get64(z + 12) != e.CompressedSize)
            return false;
        extra.remove_prefix(20);
    }
    // The rest is kept as it is: whole fields, none of them a Zip64 field.
    std::size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        const auto* f = reinterpret_cast<const unsigned char*>(extra.data() + pos);
        pos += 4 + Get16(f + 2);
        if (Get16(f) == kZip64ExtraId || pos > extra.size()) return false;
    }
    return pos == extra.size();
}

std::string CopiedLocalHeader(const ArchiveEntry& e, std::string_view oldExtra) {
    const bool sizes64 = e.UncompressedSize >= kMax32 || e.CompressedSize >= kMax32;
    std::string extra = RemoveExtraField(oldExtra, kZip64ExtraId);
    if (sizes64) extra = MakeLocalZip64Field(e.UncompressedSize, e.CompressedSize) + extra;
    return MakeLocalHeader(e, sizes64, extra);
}

}  // namespace vb::zip
