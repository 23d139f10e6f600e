#include "zip/SpannedWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "zip/ArchiveDirectory.h"
#include "zip/ByteOrder.h"
#include "zip/EntryHeaders.h"
#include "zip/ZipRecords.h"
#include "platform/FileIo.h"
#include "platform/SystemError.h"
#include "util/Error.h"

namespace vb::zip {

SpannedWriter::SpannedWriter(ArchiveMedium& medium, std::string path, std::uint64_t threshold,
                             std::function<bool(int disk)> requestBlankDisk)
    : FMedium(medium), FPath(std::move(path)), FThreshold(threshold), FRequestBlankDisk(std::move(requestBlankDisk)) {}

void SpannedWriter::Fail(const char* what, int error) const {
    throw Error("Das Archiv " + FPath + " kann nicht " + what + (error ? ": " + SystemErrorText(error) : std::string()));
}

std::uint64_t SpannedWriter::Room() {
    std::uint64_t room = FMedium.FreeSpace();
    if (FThreshold > 0) room = std::min(room, FThreshold > FOnDisk ? FThreshold - FOnDisk : 0);
    return room;
}

void SpannedWriter::NextDisk() {
    if (!FMedium.CloseFile()) Fail("geschrieben werden", errno);
    ++FDisk;
    // Asked again until a medium can be accessed in the drive.
    do {
        if (!FRequestBlankDisk || !FRequestBlankDisk(static_cast<int>(FDisk))) throw Error("Process aborted by user");
    } while (!FMedium.MediumReady(FPath));
    char label[16];
    std::snprintf(label, sizeof label, "PKBACK# %3.3u", FDisk);
    FMedium.SetVolumeLabel(FPath, label);  // a medium without labels still takes the file
    if (!FMedium.Create(FPath)) Fail("angelegt werden", errno);
    FOnDisk = 0;
}

void SpannedWriter::Put(std::string_view bytes) {
    const long n = FMedium.Write(bytes.data(), bytes.size());
    if (n < 0) Fail("geschrieben werden", errno);
    // A short write means the medium is full although its free space said otherwise.
    if (static_cast<std::size_t>(n) != bytes.size()) Fail("geschrieben werden", ENOSPC);
    FOnDisk += bytes.size();
}

SpannedWriter::Position SpannedWriter::WriteWhole(std::string_view record) {
    if (record.size() > Room()) {
        NextDisk();
        if (record.size() > Room()) Fail("geschrieben werden", ENOSPC);
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
            if (room == 0) Fail("geschrieben werden", ENOSPC);
        }
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(room, bytes.size()));
        Put(bytes.substr(0, n));
        bytes.remove_prefix(n);
    }
}

// Each entry's local header whole on one disk, its data wherever it falls.
void SpannedWriter::WriteEntries(int source, std::uint64_t size, std::vector<ArchiveEntry>& entries) {
    std::string buffer;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ArchiveEntry& e = entries[i];
        const std::uint64_t start = e.LocalHeaderOffset;
        const std::uint64_t end = i + 1 < entries.size() ? entries[i + 1].LocalHeaderOffset : size;
        unsigned char fixed[LocalFileHeader::kFixedSize];
        std::uint16_t nameLength = 0, extraLength = 0;
        const platform::IoResult read = platform::ReadAt(source, fixed, sizeof fixed, start);
        if (!read) Fail("geschrieben werden", read.Error);
        if (!LocalFileHeader::ReadFixed(fixed, sizeof fixed, nameLength, extraLength)) Fail("geschrieben werden", 0);
        const std::uint64_t headerSize = sizeof fixed + nameLength + extraLength;
        buffer.resize(static_cast<std::size_t>(headerSize));
        ReadSource(source, buffer, start);
        const Position at = WriteWhole(buffer);
        e.DiskStart = at.Disk;
        e.LocalHeaderOffset = at.Offset;
        for (std::uint64_t pos = start + headerSize; pos < end;) {
            buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(1 << 20, end - pos)));
            ReadSource(source, buffer, pos);
            WriteSplit(buffer);
            pos += buffer.size();
        }
    }
}

void SpannedWriter::ReadSource(int source, std::string& buffer, std::uint64_t offset) const {
    const platform::IoResult read = platform::ReadAt(source, buffer.data(), buffer.size(), offset);
    if (!read) Fail("geschrieben werden", read.Error);
}

// Each central header whole on one disk; the directory may go on over several.
SpannedWriter::Directory SpannedWriter::WriteCentralDirectory(const std::vector<ArchiveEntry>& entries) {
    Directory directory{{FDisk, FOnDisk}, 0, 0, FDisk};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::string header;
        MakeCentralHeader(entries[i]).Write(header);
        const Position at = WriteWhole(header);
        if (i == 0) directory.Start = at;
        directory.HeadersOnLastDisk = at.Disk == directory.LastDisk ? directory.HeadersOnLastDisk + 1 : 1;
        directory.LastDisk = at.Disk;
        directory.Size += header.size();
    }
    return directory;
}

SpannedResult SpannedWriter::Write(int source, std::uint64_t size, std::vector<ArchiveEntry>& entries) {
    if (!FMedium.Create(FPath)) Fail("angelegt werden", errno);
    std::string signature;
    Put32(signature, kSpanningSignature);
    WriteWhole(signature);
    WriteEntries(source, size, entries);
    const Directory directory = WriteCentralDirectory(entries);

    // The end records name the disk they are on, so they are made for the disk
    // that has room for them.
    auto endRecords = [&] {
        const DiskPlacement placement{FDisk, directory.Start.Disk,
                                      directory.LastDisk == FDisk ? directory.HeadersOnLastDisk : 0};
        return MakeEndRecords(entries.size(), directory.Start.Offset, directory.Size, FOnDisk, {}, &placement);
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
        if (!FMedium.Rewrite(0, marker.data(), marker.size())) Fail("geschrieben werden", errno);
    }
    if (!FMedium.CloseFile()) Fail("geschrieben werden", errno);
    return result;
}

}  // namespace vb::zip
