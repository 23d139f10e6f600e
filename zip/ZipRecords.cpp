#include "zip/ZipRecords.h"

#include "zip/ByteOrder.h"

namespace vb::zip {

std::optional<LocalFileHeader> LocalFileHeader::ReadFixed(const unsigned char* p, std::size_t size,
                                                          std::uint16_t& nameLength, std::uint16_t& extraLength) {
    if (size < kFixedSize || Get32(p) != kLocalHeaderSignature) return std::nullopt;
    LocalFileHeader h;
    h.VersionNeeded = Get16(p + 4);
    h.Flags = Get16(p + 6);
    h.Method = Get16(p + 8);
    h.DosTime = Get16(p + 10);
    h.DosDate = Get16(p + 12);
    h.Crc32 = Get32(p + 14);
    h.CompressedSize = Get32(p + 18);
    h.UncompressedSize = Get32(p + 22);
    nameLength = Get16(p + 26);
    extraLength = Get16(p + 28);
    return h;
}

void LocalFileHeader::Write(std::string& out) const {
    Put32(out, kLocalHeaderSignature);
    Put16(out, VersionNeeded);
    Put16(out, Flags);
    Put16(out, Method);
    Put16(out, DosTime);
    Put16(out, DosDate);
    Put32(out, Crc32);
    Put32(out, CompressedSize);
    Put32(out, UncompressedSize);
    Put16(out, static_cast<std::uint16_t>(Name.size()));
    Put16(out, static_cast<std::uint16_t>(Extra.size()));
    out += Name;
    out += Extra;
}

std::optional<CentralDirectoryHeader> CentralDirectoryHeader::ReadFixed(const unsigned char* p, std::size_t size,
                                                                        std::size_t& nameLength,
                                                                        std::size_t& extraLength,
                                                                        std::size_t& commentLength) {
    if (size < kFixedSize || Get32(p) != kCentralHeaderSignature) return std::nullopt;
    CentralDirectoryHeader h;
    h.VersionMadeBy = Get16(p + 4);
    h.VersionNeeded = Get16(p + 6);
    h.Flags = Get16(p + 8);
    h.Method = Get16(p + 10);
    h.DosTime = Get16(p + 12);
    h.DosDate = Get16(p + 14);
    h.Crc32 = Get32(p + 16);
    h.CompressedSize = Get32(p + 20);
    h.UncompressedSize = Get32(p + 24);
    nameLength = Get16(p + 28);
    extraLength = Get16(p + 30);
    commentLength = Get16(p + 32);
    h.DiskStart = Get16(p + 34);
    h.InternalAttributes = Get16(p + 36);
    h.ExternalAttributes = Get32(p + 38);
    h.LocalHeaderOffset = Get32(p + 42);
    if (kFixedSize + nameLength + extraLength + commentLength > size) return std::nullopt;
    return h;
}

std::optional<CentralDirectoryHeader> CentralDirectoryHeader::Read(const unsigned char* p, std::size_t size,
                                                                   std::size_t& used) {
    std::size_t nameLength = 0, extraLength = 0, commentLength = 0;
    auto h = ReadFixed(p, size, nameLength, extraLength, commentLength);
    if (!h) return std::nullopt;
    used = kFixedSize + nameLength + extraLength + commentLength;
    const char* v = reinterpret_cast<const char*>(p + kFixedSize);
    h->Name.assign(v, nameLength);
    h->Extra.assign(v + nameLength, extraLength);
    h->Comment.assign(v + nameLength + extraLength, commentLength);
    return h;
}

void CentralDirectoryHeader::Write(std::string& out) const {
    Put32(out, kCentralHeaderSignature);
    Put16(out, VersionMadeBy);
    Put16(out, VersionNeeded);
    Put16(out, Flags);
    Put16(out, Method);
    Put16(out, DosTime);
    Put16(out, DosDate);
    Put32(out, Crc32);
    Put32(out, CompressedSize);
    Put32(out, UncompressedSize);
    Put16(out, static_cast<std::uint16_t>(Name.size()));
    Put16(out, static_cast<std::uint16_t>(Extra.size()));
    Put16(out, static_cast<std::uint16_t>(Comment.size()));
    Put16(out, DiskStart);
    Put16(out, InternalAttributes);
    Put32(out, ExternalAttributes);
    Put32(out, LocalHeaderOffset);
    out += Name;
    out += Extra;
    out += Comment;
}

std::optional<EndOfCentralDirectory> EndOfCentralDirectory::Read(const unsigned char* p, std::size_t size) {
    if (size < kFixedSize || Get32(p) != kEndSignature) return std::nullopt;
    EndOfCentralDirectory e;
    e.DiskNumber = Get16(p + 4);
    e.CentralDirectoryDisk = Get16(p + 6);
    e.EntriesOnDisk = Get16(p + 8);
    e.EntriesTotal = Get16(p + 10);
    e.CentralDirectorySize = Get32(p + 12);
    e.CentralDirectoryOffset = Get32(p + 16);
    e.CommentLength = Get16(p + 20);
    return e;
}

void EndOfCentralDirectory::Write(std::string& out) const {
    Put32(out, kEndSignature);
    Put16(out, DiskNumber);
    Put16(out, CentralDirectoryDisk);
    Put16(out, EntriesOnDisk);
    Put16(out, EntriesTotal);
    Put32(out, CentralDirectorySize);
    Put32(out, CentralDirectoryOffset);
    Put16(out, static_cast<std::uint16_t>(Comment.size()));
    out += Comment;
}

std::optional<Zip64EndOfCentralDirectory> Zip64EndOfCentralDirectory::Read(const unsigned char* p,
                                                                           std::size_t size) {
    if (size < kFixedSize || Get32(p) != kZip64EndSignature) return std::nullopt;
    Zip64EndOfCentralDirectory e;
    e.VersionMadeBy = Get16(p + 12);
    e.VersionNeeded = Get16(p + 14);
    e.DiskNumber = Get32(p + 16);
    e.CentralDirectoryDisk = Get32(p + 20);
    e.EntriesOnDisk = Get64(p + 24);
    e.EntriesTotal = Get64(p + 32);
    e.CentralDirectorySize = Get64(p + 40);
    e.CentralDirectoryOffset = Get64(p + 48);
    return e;
}

void Zip64EndOfCentralDirectory::Write(std::string& out) const {
    Put32(out, kZip64EndSignature);
    Put64(out, kFixedSize - 12);  // size of the rest of the record
    Put16(out, VersionMadeBy);
    Put16(out, VersionNeeded);
    Put32(out, DiskNumber);
    Put32(out, CentralDirectoryDisk);
    Put64(out, EntriesOnDisk);
    Put64(out, EntriesTotal);
    Put64(out, CentralDirectorySize);
    Put64(out, CentralDirectoryOffset);
}

std::optional<Zip64Locator> Zip64Locator::Read(const unsigned char* p, std::size_t size) {
    if (size < kFixedSize || Get32(p) != kZip64LocatorSignature) return std::nullopt;
    Zip64Locator l;
    l.EndRecordDisk = Get32(p + 4);
    l.EndRecordOffset = Get64(p + 8);
    l.TotalDisks = Get32(p + 16);
    return l;
}

void Zip64Locator::Write(std::string& out) const {
    Put32(out, kZip64LocatorSignature);
    Put32(out, EndRecordDisk);
    Put64(out, EndRecordOffset);
    Put32(out, TotalDisks);
}

std::optional<std::string_view> FindExtraField(std::string_view extra, std::uint16_t id) {
    std::size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        const auto* p = reinterpret_cast<const unsigned char*>(extra.data() + pos);
        const std::uint16_t fieldId = Get16(p);
        const std::size_t length = Get16(p + 2);
        if (pos + 4 + length > extra.size()) return std::nullopt;
        if (fieldId == id) return extra.substr(pos + 4, length);
        pos += 4 + length;
    }
    return std::nullopt;
}

std::string RemoveExtraField(std::string_view extra, std::uint16_t id) {
    std::string out;
    out.reserve(extra.size());
    std::size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        const auto* p = reinterpret_cast<const unsigned char*>(extra.data() + pos);
        const std::size_t length = Get16(p + 2);
        if (pos + 4 + length > extra.size()) break;
        if (Get16(p) != id) out.append(extra.substr(pos, 4 + length));
        pos += 4 + length;
    }
    return out;
}

void AppendExtraField(std::string& extra, std::uint16_t id, std::string_view data) {
    Put16(extra, id);
    Put16(extra, static_cast<std::uint16_t>(data.size()));
    extra.append(data);
}

}  // namespace vb::zip
