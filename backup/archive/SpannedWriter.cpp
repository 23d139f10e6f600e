#include "backup/archive/SpannedWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "backup/archive/ArchiveDirectory.h"
#include "backup/archive/ByteOrder.h"
#include "backup/archive/EntryHeaders.h"
#include "backup/archive/ZipRecords.h"
#include "util/Error.h"

namespace vb::zip {

SpannedWriter::SpannedWriter(ArchiveMedium& medium, std::string path, std::uint64_t threshold,
                             std::function<bool(int disk)> requestBlankDisk)
    : FMedium(medium), FPath(std::move(path)), FThreshold(threshold), FRequestBlankDisk(std::move(requestBlankDisk)) {}

void SpannedWriter::Fail(const char* what) const {
    const int error = errno;
    throw Error("Das Archiv " + FPath + " kann nicht " + what + (error ? std::string(": ") + std::strerror(error) : ""));
}

std::uint64_t SpannedWriter::Room() {
    std::uint64_t room = FMedium.FreeSpace();
    if (FThreshold > 0) room = std::min(room, FThreshold > FOnDisk ? FThreshold - FOnDisk : 0);
    return room;
}

void SpannedWriter::NextDisk() {
    errno = 0;
    if (!FMedium.CloseFile()) Fail("geschrieben werden");
    ++FDisk;
    // Asked again until a medium can be accessed in the drive.
    do {
        if (!FRequestBlankDisk || !FRequestBlankDisk(static_cast<int>(FDisk))) throw Error("Process aborted by user");
    } while (!FMedium.MediumReady(FPath));
    char label[16];
    std::snprintf(label, sizeof label, "PKBACK# %3.3u", FDisk);
    FMedium.SetVolumeLabel(FPath, label);  // a medium without labels still takes the file
    errno = 0;
    if (!FMedium.Create(FPath)) Fail("angelegt werden");
    FOnDisk = 0;
}

void SpannedWriter::Put(std::string_view bytes) {
    errno = 0;
    const long n = FMedium.Write(bytes.data(), bytes.size());
    if (n < 0 || static_cast<std::size_t>(n) != bytes.size()) Fail("geschrieben werden");
    FOnDisk += bytes.size();
}

SpannedWriter::Position SpannedWriter::WriteWhole(std::string_view record) {
    if (record.size() > Room()) {
        NextDisk();
        if (record.size() > Room()) {
            errno = ENOSPC;
            Fail("geschrieben werden");
        }
    }
    const Position at{FDisk, FOnDisk};
    Put(record);
    return at;
}

void SpannedWriter::WriteSplit(std::string_view bytes) {
    while (!bytes.empty()) {
        std::uint64_t room = Room();
        if (room == 0) {
            NextDisk();
            room = Room();
            if (room == 0) {
                errno = ENOSPC;
                Fail("geschrieben werden");
            }
        }
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(room, bytes.size()));
        Put(bytes.substr(0, n));
        bytes.remove_prefix(n);
    }
}

SpannedResult SpannedWriter::Write(int source, std::uint64_t size, std::vector<ArchiveEntry>& entries) {
    errno = 0;
    if (!FMedium.Create(FPath)) Fail("angelegt werden");
    std::string signature;
    Put32(signature, kSpanningSignature);
    WriteWhole(signature);

    std::string buffer;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ArchiveEntry& e = entries[i];
        const std::uint64_t start = e.LocalHeaderOffset;
        const std::uint64_t end = i + 1 < entries.size() ? entries[i + 1].LocalHeaderOffset : size;
        unsigned char fixed[LocalFileHeader::kFixedSize];
        std::uint16_t nameLength = 0, extraLength = 0;
        if (!ReadAt(source, fixed, sizeof fixed, start) ||
            !LocalFileHeader::ReadFixed(fixed, sizeof fixed, nameLength, extraLength))
            Fail("geschrieben werden");
        const std::uint64_t headerSize = sizeof fixed + nameLength + extraLength;
        buffer.resize(static_cast<std::size_t>(headerSize));
        if (!ReadAt(source, buffer.data(), buffer.size(), start)) Fail("geschrieben werden");
        const Position at = WriteWhole(buffer);
        e.DiskStart = at.Disk;
        e.LocalHeaderOffset = at.Offset;
        for (std::uint64_t pos = start + headerSize; pos < end;) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(1 << 20, end - pos));
            buffer.resize(n);
            if (!ReadAt(source, buffer.data(), n, pos)) Fail("geschrieben werden");
            WriteSplit(buffer);
            pos += n;
        }
    }

    Position central{FDisk, FOnDisk};
    std::uint64_t centralSize = 0;
    std::uint64_t headersOnDisk = 0;  // central headers on the disk of the last one
    std::uint32_t headerDisk = FDisk;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::string header;
        MakeCentralHeader(entries[i]).Write(header);
        const Position at = WriteWhole(header);
        if (i == 0) central = at;
        headersOnDisk = at.Disk == headerDisk ? headersOnDisk + 1 : 1;
        headerDisk = at.Disk;
        centralSize += header.size();
    }

    // The end records name the disk they are on, so they are made for the disk
    // that has room for them.
    auto endRecords = [&] {
        const std::uint64_t count = entries.size();
        const std::uint64_t onThisDisk = headerDisk == FDisk ? headersOnDisk : 0;
        const bool zip64 = count >= 0xFFFF || central.Offset >= kMax32 || centralSize >= kMax32 || FOnDisk >= kMax32;
        std::string out;
        if (zip64) {
            Zip64EndOfCentralDirectory end64;
            end64.DiskNumber = FDisk;
            end64.CentralDirectoryDisk = central.Disk;
            end64.EntriesOnDisk = onThisDisk;
            end64.EntriesTotal = count;
            end64.CentralDirectorySize = centralSize;
            end64.CentralDirectoryOffset = central.Offset;
            end64.Write(out);
            Zip64Locator locator;
            locator.EndRecordDisk = FDisk;
            locator.EndRecordOffset = FOnDisk;
            locator.TotalDisks = FDisk + 1;
            locator.Write(out);
        }
        EndOfCentralDirectory end;
        end.DiskNumber = static_cast<std::uint16_t>(std::min<std::uint32_t>(FDisk, 0xFFFF));
        end.CentralDirectoryDisk = static_cast<std::uint16_t>(std::min<std::uint32_t>(central.Disk, 0xFFFF));
        end.EntriesOnDisk = static_cast<std::uint16_t>(std::min<std::uint64_t>(onThisDisk, 0xFFFF));
        end.EntriesTotal = static_cast<std::uint16_t>(std::min<std::uint64_t>(count, 0xFFFF));
        end.CentralDirectorySize = static_cast<std::uint32_t>(std::min<std::uint64_t>(centralSize, kMax32));
        end.CentralDirectoryOffset = static_cast<std::uint32_t>(std::min<std::uint64_t>(central.Offset, kMax32));
        end.Write(out);
        return out;
    };
    std::string end = endRecords();
    if (end.size() > Room()) {
        NextDisk();
        end = endRecords();
    }
    WriteWhole(end);

    SpannedResult result;
    result.Disks = FDisk + 1;
    result.LastDiskSize = FOnDisk;
    if (FDisk == 0) {
        // Fits on one disk: an ordinary archive behind the "PK00" marker.
        std::string marker;
        Put32(marker, kSingleDiskMarker);
        errno = 0;
        if (!FMedium.Rewrite(0, marker.data(), marker.size())) Fail("geschrieben werden");
    }
    errno = 0;
    if (!FMedium.CloseFile()) Fail("geschrieben werden");
    return result;
}

}  // namespace vb::zip
