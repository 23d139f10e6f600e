#include "zip/ArchiveDirectory.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "zip/ByteOrder.h"
#include "zip/EntryName.h"
#include "zip/OwnerFields.h"
#include "zip/ZipRecords.h"
#include "platform/FileIo.h"

namespace vb::zip {
namespace {

constexpr std::uint64_t kMaxCentralDirectory = 1ull << 30;

// Resolves the Zip64 field of a central header; false when a value it must hold is
// missing.
bool ApplyZip64(ArchiveEntry& e, const CentralDirectoryHeader& h, std::string_view extra) {
    const bool needUncompressed = h.UncompressedSize == 0xFFFFFFFF;
    const bool needCompressed = h.CompressedSize == 0xFFFFFFFF;
    const bool needOffset = h.LocalHeaderOffset == 0xFFFFFFFF;
    const bool needDisk = h.DiskStart == 0xFFFF;
    if (!needUncompressed && !needCompressed && !needOffset && !needDisk) return true;
    const auto field = FindExtraField(extra, kZip64ExtraId);
    if (!field) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(field->data());
    std::size_t pos = 0;
    auto take64 = [&](std::uint64_t& value) {
        if (pos + 8 > field->size()) return false;
        value = Get64(p + pos);
        pos += 8;
        return true;
    };
    if (needUncompressed && !take64(e.UncompressedSize)) return false;
    if (needCompressed && !take64(e.CompressedSize)) return false;
    if (needOffset && !take64(e.LocalHeaderOffset)) return false;
    if (needDisk) {
        if (pos + 4 > field->size()) return false;
        e.DiskStart = Get32(p + pos);
    }
    return true;
}

}  // namespace

ArchiveDirectory FindArchiveDirectory(int fd, std::uint64_t fileSize) {
    ArchiveDirectory dir;
    unsigned char head[4] = {};
    if (fileSize >= 4 && platform::ReadAt(fd, head, 4, 0)) {
        const std::uint32_t mark = Get32(head);
        dir.StartsWithSpanningMark = mark == kSpanningSignature || mark == kSingleDiskMarker;
    }

    // The end record lies within the last 22 + 65535 bytes (its comment at most).
    const std::uint64_t tailSize = std::min<std::uint64_t>(fileSize, EndOfCentralDirectory::kFixedSize + 0xFFFF);
    std::string tail(static_cast<std::size_t>(tailSize), '\0');
    if (!platform::ReadAt(fd, tail.data(), tail.size(), fileSize - tailSize)) {
        dir.Problem = DirectoryProblem::Damaged;
        return dir;
    }
    const auto* t = reinterpret_cast<const unsigned char*>(tail.data());
    std::optional<EndOfCentralDirectory> end;
    std::uint64_t endOffset = 0;
    if (tail.size() >= EndOfCentralDirectory::kFixedSize) {
        for (std::size_t i = tail.size() - EndOfCentralDirectory::kFixedSize + 1; i-- > 0;) {
            if (t[i] != 'P' || Get32(t + i) != kEndSignature) continue;
            auto candidate = EndOfCentralDirectory::Read(t + i, tail.size() - i);
            if (candidate && i + EndOfCentralDirectory::kFixedSize + candidate->CommentLength <= tail.size()) {
                end = candidate;
                endOffset = fileSize - tailSize + i;
                dir.Comment = tail.substr(i + EndOfCentralDirectory::kFixedSize, candidate->CommentLength);
                dir.EndRecordOffset = endOffset;
                break;
            }
        }
    }
    if (!end) {
        dir.Problem = dir.StartsWithSpanningMark ? DirectoryProblem::EndMissing : DirectoryProblem::NotZip;
        return dir;
    }

    std::uint64_t count = end->EntriesTotal;
    dir.DiskNumber = end->DiskNumber;
    dir.CentralDirectoryDisk = end->CentralDirectoryDisk;
    dir.CentralDirectorySize = end->CentralDirectorySize;
    dir.CentralDirectoryOffset = end->CentralDirectoryOffset;
    if (endOffset >= Zip64Locator::kFixedSize) {
        unsigned char buffer[Zip64Locator::kFixedSize];
        if (platform::ReadAt(fd, buffer, sizeof buffer, endOffset - Zip64Locator::kFixedSize)) {
            if (auto locator = Zip64Locator::Read(buffer, sizeof buffer)) {
                unsigned char record[Zip64EndOfCentralDirectory::kFixedSize];
                std::optional<Zip64EndOfCentralDirectory> end64;
                if (locator->EndRecordOffset + sizeof record <= fileSize &&
                    platform::ReadAt(fd, record, sizeof record, locator->EndRecordOffset))
                    end64 = Zip64EndOfCentralDirectory::Read(record, sizeof record);
                if (!end64) {
                    dir.Problem = DirectoryProblem::Damaged;
                    return dir;
                }
                count = end64->EntriesTotal;
                dir.DiskNumber = end64->DiskNumber;
                dir.CentralDirectoryDisk = end64->CentralDirectoryDisk;
                dir.CentralDirectorySize = end64->CentralDirectorySize;
                dir.CentralDirectoryOffset = end64->CentralDirectoryOffset;
            }
        }
    }
    dir.EntryCount = count;
    if (dir.DiskNumber != 0) return dir;  // a spanned set; its directory may lie on other disks

    if (dir.CentralDirectorySize > kMaxCentralDirectory || dir.CentralDirectoryOffset > endOffset ||
        dir.CentralDirectorySize > endOffset - dir.CentralDirectoryOffset ||
        count > dir.CentralDirectorySize / CentralDirectoryHeader::kFixedSize) {
        dir.Problem = DirectoryProblem::Damaged;
    }
    return dir;
}

ArchiveDirectory ReadArchiveDirectory(int fd, std::uint64_t fileSize) {
    ArchiveDirectory dir = FindArchiveDirectory(fd, fileSize);
    if (dir.Problem != DirectoryProblem::None || dir.DiskNumber != 0) return dir;
    ReadDirectoryEntries(fd, dir);
    return dir;
}

void ReadDirectoryEntries(int fd, ArchiveDirectory& dir) {
    std::string central(static_cast<std::size_t>(dir.CentralDirectorySize), '\0');
    if (!platform::ReadAt(fd, central.data(), central.size(), dir.CentralDirectoryOffset)) {
        dir.Problem = DirectoryProblem::Damaged;
        return;
    }
    ParseCentralDirectory(central, dir.EntryCount, dir.CentralDirectoryOffset, dir);
}

namespace {

// Fills `e` from the central header at `pos` and moves `pos` past it; false (`pos`
// unchanged) as ReadCentralEntry says. The strings are taken straight from
// `central`, each sized once.
bool ReadCentralEntryInto(std::string_view central, std::size_t& pos, std::uint64_t dataEnd, ArchiveEntry& e) {
    if (pos > central.size()) return false;
    const auto* c = reinterpret_cast<const unsigned char*>(central.data());
    std::size_t nameLength = 0, extraLength = 0, commentLength = 0;
    const auto h =
        CentralDirectoryHeader::ReadFixed(c + pos, central.size() - pos, nameLength, extraLength, commentLength);
    if (!h) return false;
    const std::string_view name = central.substr(pos + CentralDirectoryHeader::kFixedSize, nameLength);
    const std::string_view extra = central.substr(pos + CentralDirectoryHeader::kFixedSize + nameLength, extraLength);
    const std::string_view comment =
        central.substr(pos + CentralDirectoryHeader::kFixedSize + nameLength + extraLength, commentLength);
    e.VersionMadeBy = h->VersionMadeBy;
    e.VersionNeeded = h->VersionNeeded;
    e.Flags = h->Flags;
    e.Method = h->Method;
    e.DosTime = h->DosTime;
    e.DosDate = h->DosDate;
    e.Crc32 = h->Crc32;
    e.CompressedSize = h->CompressedSize;
    e.UncompressedSize = h->UncompressedSize;
    e.DiskStart = h->DiskStart;
    e.InternalAttributes = h->InternalAttributes;
    e.ExternalAttributes = h->ExternalAttributes;
    e.LocalHeaderOffset = h->LocalHeaderOffset;
    if (!ApplyZip64(e, *h, extra) || e.LocalHeaderOffset + LocalFileHeader::kFixedSize > dataEnd ||
        e.CompressedSize > dataEnd)
        return false;
    e.HeaderName.assign(name);
    e.CentralExtra = RemoveExtraField(extra, kZip64ExtraId);
    e.Comment.assign(comment);
    e.Name = DecodeName(name, h->Flags, e.Host(), extra);
    ReadOwnerFields(e, extra);
    pos += CentralDirectoryHeader::kFixedSize + nameLength + extraLength + commentLength;
    return true;
}

}  // namespace

std::optional<ArchiveEntry> ReadCentralEntry(std::string_view central, std::size_t& pos, std::uint64_t dataEnd) {
    ArchiveEntry e;
    if (!ReadCentralEntryInto(central, pos, dataEnd, e)) return std::nullopt;
    return e;
}

void ParseCentralDirectory(const std::string& central, std::uint64_t count, std::uint64_t dataEnd,
                           ArchiveDirectory& dir) {
    if (count > central.size() / CentralDirectoryHeader::kFixedSize) {
        dir.Problem = DirectoryProblem::Damaged;
        return;
    }
    std::size_t pos = 0;
    dir.Entries.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        // Each entry is made in its place in the vector, never moved there.
        if (!ReadCentralEntryInto(central, pos, dataEnd, dir.Entries.emplace_back())) {
            dir.Problem = DirectoryProblem::Damaged;
            dir.Entries.clear();
            return;
        }
    }
}

}  // namespace vb::zip
