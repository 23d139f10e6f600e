#include "backup/archive/LayoutCheck.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "backup/archive/ByteOrder.h"
#include "backup/archive/ZipRecords.h"
#include "platform/FileIo.h"

namespace vb::zip {
namespace {

// Room for a spanning mark and the Zip64 end records ahead of the end record of an
// archive without entries.
constexpr std::uint64_t kEmptyArchiveLead = 4 + Zip64EndOfCentralDirectory::kFixedSize + Zip64Locator::kFixedSize;

// The end of the entry's bytes (header, data, descriptor), or 0 when its local
// header does not agree with the central one.
std::uint64_t EntryEnd(int fd, const ArchiveEntry& e) {
    constexpr std::size_t kFixed = LocalFileHeader::kFixedSize;
    unsigned char fixed[kFixed];
    std::uint16_t nameLength = 0, extraLength = 0;
    if (!platform::ReadAt(fd, fixed, kFixed, e.LocalHeaderOffset)) return 0;
    const auto local = LocalFileHeader::ReadFixed(fixed, kFixed, nameLength, extraLength);
    if (!local) return 0;
    std::string variable(nameLength + extraLength, '\0');
    if (!platform::ReadAt(fd, variable.data(), variable.size(), e.LocalHeaderOffset + kFixed)) return 0;
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
        if (!platform::ReadAt(fd, signature, 4, end)) return 0;
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
    for (std::size_t k = 0; k < order.size(); ++k) {
        const std::uint64_t end = EntryEnd(fd, dir.Entries[order[k]]);
        const std::uint64_t limit =
            k + 1 < order.size() ? dir.Entries[order[k + 1]].LocalHeaderOffset : dir.CentralDirectoryOffset;
        if (end == 0 || end > limit) return false;
    }
    return true;
}

}  // namespace vb::zip
