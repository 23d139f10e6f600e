#include "zip/EntryHeaders.h"

#include <algorithm>

#include "zip/ByteOrder.h"

namespace vb::zip {

bool NeedsZip64(const ArchiveEntry& e) {
    return e.UncompressedSize >= kMax32 || e.CompressedSize >= kMax32 || e.LocalHeaderOffset >= kMax32;
}

CentralDirectoryHeader MakeCentralHeader(const ArchiveEntry& e) {
    CentralDirectoryHeader h;
    h.VersionMadeBy = e.VersionMadeBy;
    h.VersionNeeded = e.VersionNeeded;
    h.Flags = e.Flags;
    h.Method = e.Method;
    h.DosTime = e.DosTime;
    h.DosDate = e.DosDate;
    h.Crc32 = e.Crc32;
    h.InternalAttributes = e.InternalAttributes;
    h.ExternalAttributes = e.ExternalAttributes;
    h.DiskStart = static_cast<std::uint16_t>(e.DiskStart);
    h.Name = e.HeaderName;
    h.Comment = e.Comment;
    std::string zip64;
    auto field = [&](std::uint64_t value, std::uint32_t& slot) {
        if (value >= kMax32) {
            Put64(zip64, value);
            slot = 0xFFFFFFFF;
        } else {
            slot = static_cast<std::uint32_t>(value);
        }
    };
    field(e.UncompressedSize, h.UncompressedSize);
    field(e.CompressedSize, h.CompressedSize);
    field(e.LocalHeaderOffset, h.LocalHeaderOffset);
    if (!zip64.empty()) AppendExtraField(h.Extra, kZip64ExtraId, zip64);
    h.Extra += e.CentralExtra;
    return h;
}

std::string MakeLocalHeader(const ArchiveEntry& e, bool sizes64, const std::string& extra) {
    LocalFileHeader h;
    h.VersionNeeded = e.VersionNeeded;
    h.Flags = e.Flags;
    h.Method = e.Method;
    h.DosTime = e.DosTime;
    h.DosDate = e.DosDate;
    h.Crc32 = e.Crc32;
    h.CompressedSize = sizes64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(e.CompressedSize);
    h.UncompressedSize = sizes64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(e.UncompressedSize);
    h.Name = e.HeaderName;
    h.Extra = extra;
    std::string bytes;
    h.Write(bytes);
    return bytes;
}

std::string MakeDataDescriptor(const ArchiveEntry& e, bool zip64) {
    std::string out;
    Put32(out, kDataDescriptorSignature);
    Put32(out, e.Crc32);
    if (zip64) {
        Put64(out, e.CompressedSize);
        Put64(out, e.UncompressedSize);
    } else {
        Put32(out, static_cast<std::uint32_t>(e.CompressedSize));
        Put32(out, static_cast<std::uint32_t>(e.UncompressedSize));
    }
    return out;
}

std::string MakeLocalZip64Field(std::uint64_t uncompressed, std::uint64_t compressed) {
    std::string data;
    Put64(data, uncompressed);
    Put64(data, compressed);
    std::string field;
    AppendExtraField(field, kZip64ExtraId, data);
    return field;
}

std::string MakeEndRecords(std::uint64_t count, std::uint64_t offset, std::uint64_t size, std::uint64_t endOffset,
                           const std::string& comment, const DiskPlacement* placement) {
    const DiskPlacement disks = placement ? *placement : DiskPlacement{0, 0, count};
    std::string out;
    const bool zip64 = count >= 0xFFFF || offset >= kMax32 || size >= kMax32 || endOffset >= kMax32;
    if (zip64) {
        Zip64EndOfCentralDirectory end64;
        end64.DiskNumber = disks.Disk;
        end64.CentralDirectoryDisk = disks.CentralDirectoryDisk;
        end64.EntriesOnDisk = disks.EntriesOnDisk;
        end64.EntriesTotal = count;
        end64.CentralDirectorySize = size;
        end64.CentralDirectoryOffset = offset;
        end64.Write(out);
        Zip64Locator locator;
        locator.EndRecordDisk = disks.Disk;
        locator.EndRecordOffset = endOffset;
        locator.TotalDisks = disks.Disk + 1;
        locator.Write(out);
    }
    EndOfCentralDirectory end;
    end.DiskNumber = static_cast<std::uint16_t>(std::min<std::uint32_t>(disks.Disk, 0xFFFF));
    end.CentralDirectoryDisk = static_cast<std::uint16_t>(std::min<std::uint32_t>(disks.CentralDirectoryDisk, 0xFFFF));
    end.EntriesOnDisk = static_cast<std::uint16_t>(std::min<std::uint64_t>(disks.EntriesOnDisk, 0xFFFF));
    end.EntriesTotal = static_cast<std::uint16_t>(std::min<std::uint64_t>(count, 0xFFFF));
    end.CentralDirectorySize = static_cast<std::uint32_t>(size >= kMax32 ? kMax32 : size);
    end.CentralDirectoryOffset = static_cast<std::uint32_t>(offset >= kMax32 ? kMax32 : offset);
    end.Comment = comment.substr(0, 0xFFFF);
    end.Write(out);
    return out;
}

}  // namespace vb::zip
