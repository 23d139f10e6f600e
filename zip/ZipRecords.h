#pragma once
// The fixed records of a ZIP file (APPNOTE 4.3): each knows its signature, its
// fixed size, and how to read itself from bytes and write itself to bytes. Reading
// checks the signature and that the variable parts fit the given bytes; it never
// reads outside them.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vb::zip {

inline constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;
inline constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50;
inline constexpr std::uint32_t kEndSignature = 0x06054B50;
inline constexpr std::uint32_t kZip64EndSignature = 0x06064B50;
inline constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;
inline constexpr std::uint32_t kDataDescriptorSignature = 0x08074B50;
inline constexpr std::uint32_t kSpanningSignature = 0x08074B50;  // first 4 bytes of a spanned set
inline constexpr std::uint32_t kSingleDiskMarker = 0x30304B50;   // "PK00"

inline constexpr std::uint16_t kZip64ExtraId = 0x0001;
inline constexpr std::uint16_t kUnicodePathExtraId = 0x7075;
inline constexpr std::uint16_t kXceedUnicodeExtraId = 0x554E;

inline constexpr std::uint16_t kFlagEncrypted = 0x0001;
inline constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr std::uint16_t kFlagUtf8 = 0x0800;

struct LocalFileHeader {
    static constexpr std::size_t kFixedSize = 30;
    std::uint16_t VersionNeeded = 0;
    std::uint16_t Flags = 0;
    std::uint16_t Method = 0;
    std::uint16_t DosTime = 0;
    std::uint16_t DosDate = 0;
    std::uint32_t Crc32 = 0;
    std::uint32_t CompressedSize = 0;
    std::uint32_t UncompressedSize = 0;
    std::string Name;   // header bytes
    std::string Extra;  // raw extra fields

    // Reads the fixed part only; NameLength/ExtraLength say how much follows.
    static std::optional<LocalFileHeader> ReadFixed(const unsigned char* p, std::size_t size,
                                                    std::uint16_t& nameLength, std::uint16_t& extraLength);
    std::size_t Size() const { return kFixedSize + Name.size() + Extra.size(); }
    void Write(std::string& out) const;
};

struct CentralDirectoryHeader {
    static constexpr std::size_t kFixedSize = 46;
    std::uint16_t VersionMadeBy = 0;
    std::uint16_t VersionNeeded = 0;
    std::uint16_t Flags = 0;
    std::uint16_t Method = 0;
    std::uint16_t DosTime = 0;
    std::uint16_t DosDate = 0;
    std::uint32_t Crc32 = 0;
    std::uint32_t CompressedSize = 0;
    std::uint32_t UncompressedSize = 0;
    std::uint16_t DiskStart = 0;
    std::uint16_t InternalAttributes = 0;
    std::uint32_t ExternalAttributes = 0;
    std::uint32_t LocalHeaderOffset = 0;
    std::string Name;
    std::string Extra;
    std::string Comment;

    // Reads one header at `p`; `used` gets its full length. Nullopt when the
    // signature is wrong or the header does not fit in `size` bytes.
    static std::optional<CentralDirectoryHeader> Read(const unsigned char* p, std::size_t size, std::size_t& used);
    // The same without the variable parts (Name, Extra and Comment stay empty): they
    // are the `nameLength`, `extraLength` and `commentLength` bytes after the fixed
    // part, all within `size`.
    static std::optional<CentralDirectoryHeader> ReadFixed(const unsigned char* p, std::size_t size,
                                                           std::size_t& nameLength, std::size_t& extraLength,
                                                           std::size_t& commentLength);
    std::size_t Size() const { return kFixedSize + Name.size() + Extra.size() + Comment.size(); }
    void Write(std::string& out) const;
};

struct EndOfCentralDirectory {
    static constexpr std::size_t kFixedSize = 22;
    std::uint16_t DiskNumber = 0;
    std::uint16_t CentralDirectoryDisk = 0;
    std::uint16_t EntriesOnDisk = 0;
    std::uint16_t EntriesTotal = 0;
    std::uint32_t CentralDirectorySize = 0;
    std::uint32_t CentralDirectoryOffset = 0;
    std::uint16_t CommentLength = 0;  // as read
    std::string Comment;              // written after the record

    static std::optional<EndOfCentralDirectory> Read(const unsigned char* p, std::size_t size);
    void Write(std::string& out) const;
};

struct Zip64EndOfCentralDirectory {
    static constexpr std::size_t kFixedSize = 56;
    std::uint16_t VersionMadeBy = 45;
    std::uint16_t VersionNeeded = 45;
    std::uint32_t DiskNumber = 0;
    std::uint32_t CentralDirectoryDisk = 0;
    std::uint64_t EntriesOnDisk = 0;
    std::uint64_t EntriesTotal = 0;
    std::uint64_t CentralDirectorySize = 0;
    std::uint64_t CentralDirectoryOffset = 0;

    static std::optional<Zip64EndOfCentralDirectory> Read(const unsigned char* p, std::size_t size);
    void Write(std::string& out) const;
};

struct Zip64Locator {
    static constexpr std::size_t kFixedSize = 20;
    std::uint32_t EndRecordDisk = 0;
    std::uint64_t EndRecordOffset = 0;
    std::uint32_t TotalDisks = 1;

    static std::optional<Zip64Locator> Read(const unsigned char* p, std::size_t size);
    void Write(std::string& out) const;
};

// The data of the first extra field with `id` in a block of extra fields, or
// nullopt. A block whose last field overruns its end is read up to that field.
std::optional<std::string_view> FindExtraField(std::string_view extra, std::uint16_t id);

// The block without any field of `id`.
std::string RemoveExtraField(std::string_view extra, std::uint16_t id);

// Appends one field (id, length, data) to `extra`.
void AppendExtraField(std::string& extra, std::uint16_t id, std::string_view data);

}  // namespace vb::zip
