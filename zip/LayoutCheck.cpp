#include "zip/LayoutCheck.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "zip/ByteOrder.h"
#include "zip/ZipRecords.h"
#include "platform/FileIo.h"

namespace vb::zip {
namespace {

// Room for a spanning mark and the Zip64 end records ahead of the end record of an
// archive without entries.
constexpr std::uint64_t kEmptyArchiveLead = 4 + Zip64EndOfCentralDirectory::kFixedSize + Zip64Locator::kFixedSize;

// The local headers are read in blocks that hold the headers of many small entries
// at once: one read per header made checking 100,000 entries take half a second,
// longer than the archive browser may take to list them.
constexpr std::uint64_t kBlockLimit = 1u << 20;
constexpr std::uint64_t kHeaderGuess = 512;       // fixed part, name and extra fields, usually
constexpr std::uint64_t kLargestGap = 64u << 10;  // bytes read in vain between two headers

class HeaderReader {
public:
    HeaderReader(int fd, const std::vector<std::uint64_t>& offsets) : FFd(fd), FOffsets(offsets) {}

    // Before the headers from `offsets[k]` on are read: the block from there on,
    // unless it is read already.
    void Reach(std::size_t k) {
        const std::uint64_t start = FOffsets[k];
        if (start >= FStart && start + kHeaderGuess <= FStart + FBlock.size()) return;
        std::uint64_t end = start + kHeaderGuess;
        for (std::size_t j = k + 1; j < FOffsets.size(); ++j) {
            const std::uint64_t next = FOffsets[j] + kHeaderGuess;
            if (next - start > kBlockLimit || FOffsets[j] > end + kLargestGap) break;
            end = next;
        }
        FStart = start;
        FBlock.resize(end - start);
        const platform::IoResult r = platform::ReadAt(FFd, FBlock.data(), FBlock.size(), start);
        FBlock.resize(r.Done);  // short at the end of the file
    }

    bool Read(void* into, std::size_t size, std::uint64_t at) const {
        if (at >= FStart && at - FStart <= FBlock.size() && size <= FBlock.size() - (at - FStart)) {
            std::memcpy(into, FBlock.data() + (at - FStart), size);
            return true;
        }
        return static_cast<bool>(platform::ReadAt(FFd, into, size, at));
    }

private:
    int FFd;
    const std::vector<std::uint64_t>& FOffsets;
    std::uint64_t FStart = 0;
    std::string FBlock;
};

// The end of the entry's bytes (header, data, descriptor), or 0 when its local
// header does not agree with the central one.
std::uint64_t EntryEnd(const HeaderReader& reader, const ArchiveEntry& e) {
    constexpr std::size_t kFixed = LocalFileHeader::kFixedSize;
    unsigned char fixed[kFixed];
    std::uint16_t nameLength = 0, extraLength = 0;
    if (!reader.Read(fixed, kFixed, e.LocalHeaderOffset)) return 0;
    const auto local = LocalFileHeader::ReadFixed(fixed, kFixed, nameLength, extraLength);
    if (!local) return 0;
    std::string variable(nameLength + extraLength, '\0');
    if (!reader.Read(variable.data(), variable.size(), e.LocalHeaderOffset + kFixed)) return 0;
    const std::string_view name = std::string_view(variable).substr(0, nameLength);
    const std::string_view extra = std::string_view(variable).substr(nameLength);
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
    std::uint64_t end = e.LocalHeaderOffset + kFixed + variable.size() + e.CompressedSize;
    if (e.Flags & kFlagDataDescriptor) {
        unsigned char signature[4];
        if (!reader.Read(signature, 4, end)) return 0;
        end += (Get32(signature) == kDataDescriptorSignature ? 4 : 0) + 4 + (zip64 ? 16 : 8);
    }
    return end;
}

}  // namespace

bool EntriesAreSound(int fd, const ArchiveDirectory& dir) {
    if (dir.Entries.empty()) return dir.EndRecordOffset <= kEmptyArchiveLead;
    std::vector<std::size_t> order(dir.Entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return dir.Entries[a].LocalHeaderOffset < dir.Entries[b].LocalHeaderOffset;
    });
    std::vector<std::uint64_t> offsets(order.size());
    for (std::size_t k = 0; k < order.size(); ++k) offsets[k] = dir.Entries[order[k]].LocalHeaderOffset;
    HeaderReader reader(fd, offsets);
    for (std::size_t k = 0; k < order.size(); ++k) {
        // Entries that share an offset meet a limit at their own start: refused.
        const std::uint64_t limit = k + 1 < order.size() ? offsets[k + 1] : dir.CentralDirectoryOffset;
        reader.Reach(k);
        const std::uint64_t end = EntryEnd(reader, dir.Entries[order[k]]);
        if (end == 0 || end > limit) return false;
    }
    return true;
}

}  // namespace vb::zip
