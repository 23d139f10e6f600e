#include "help/BuildDate.h"

#include <array>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace vb {
namespace {

std::uint32_t U16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t U32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint64_t U64(const unsigned char* p) { return U32(p) | (static_cast<std::uint64_t>(U32(p + 4)) << 32); }

// Reads exactly `count` bytes at `offset`; false on a failed or short read.
bool ReadAt(std::ifstream& in, std::uint64_t offset, unsigned char* out, std::size_t count) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    if (!in) return false;
    in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
    return static_cast<std::size_t>(in.gcount()) == count;
}

constexpr std::uint32_t kFixedLinkerStamp = 0x2A425E19;
constexpr std::size_t kPeHeaderBytes = 248;  // signature, file header, 32-bit optional header
constexpr std::size_t kOptionalHeaderStandard = 224;
constexpr std::size_t kSectionBytes = 40;

// Seconds since 1970 of an MS-DOS date and time taken as they are (no time zone);
// nullopt for fields that name no real date and time.
std::optional<std::int64_t> DosToSeconds(std::uint32_t dos) {
    const int date = static_cast<int>(dos >> 16), time = static_cast<int>(dos & 0xFFFF);
    const int year = 1980 + (date >> 9), month = (date >> 5) & 15, day = date & 31;
    const int hour = time >> 11, minute = (time >> 5) & 63, second = (time & 31) * 2;
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1] || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) return std::nullopt;
    std::tm tm{};
    tm.tm_year = year - 1900, tm.tm_mon = month - 1, tm.tm_mday = day;
    tm.tm_hour = hour, tm.tm_min = minute, tm.tm_sec = second;
    return static_cast<std::int64_t>(::timegm(&tm));
}

// The PE algorithm: the header stamp, or the resource directory's stamp under the
// fixed linker stamp. Nullopt when the file is no PE file.
std::optional<std::int64_t> PeBuildDate(std::ifstream& in) {
    unsigned char dos[64];
    std::uint32_t headerOffset = 0;
    if (ReadAt(in, 0, dos, sizeof dos) && U16(dos) == 0x5A4D) headerOffset = U32(dos + 60);

    unsigned char pe[kPeHeaderBytes];
    if (!ReadAt(in, headerOffset, pe, sizeof pe) || U32(pe) != 0x00004550) return std::nullopt;
    const std::uint32_t stamp = U32(pe + 8);
    if (stamp != kFixedLinkerStamp) return stamp;

    const std::uint32_t optionalSize = U16(pe + 20);
    if (optionalSize < kOptionalHeaderStandard || U16(pe + 24) != 0x10B) return stamp;
    const std::uint32_t sectionCount = U16(pe + 6);
    std::vector<unsigned char> sections(sectionCount * kSectionBytes);
    // The section table follows the optional header, including any bytes beyond 224.
    const std::uint64_t tableOffset = std::uint64_t(headerOffset) + kPeHeaderBytes + (optionalSize - kOptionalHeaderStandard);
    if (!ReadAt(in, tableOffset, sections.data(), sections.size())) return stamp;

    // The third data-directory entry: the resource table (the directory starts at
    // byte 96 of the optional header, which begins at byte 24).
    const unsigned char* resource = pe + 24 + 96 + 2 * 8;
    const std::uint64_t resourceAddress = U32(resource), resourceSize = U32(resource + 4);
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const unsigned char* section = sections.data() + i * kSectionBytes;
        const std::uint64_t virtualAddress = U32(section + 12), rawSize = U32(section + 16),
                            rawPointer = U32(section + 20);
        if (virtualAddress > resourceAddress || virtualAddress + rawSize < resourceAddress + resourceSize) continue;
        unsigned char directory[16];
        if (!ReadAt(in, rawPointer + (resourceAddress - virtualAddress), directory, sizeof directory)) return stamp;
        if (const auto seconds = DosToSeconds(U32(directory + 4))) return *seconds;
        return stamp;
    }
    return stamp;
}

// The stamp in this program's build-date section of a 64- or 32-bit little-endian ELF
// file; nullopt when the file is no such file or has no such section.
std::optional<std::int64_t> ElfBuildDate(std::ifstream& in) {
    unsigned char ident[64];
    if (!ReadAt(in, 0, ident, sizeof ident) || std::memcmp(ident, "\x7f" "ELF", 4) != 0 || ident[5] != 1)
        return std::nullopt;
    const bool is64 = ident[4] == 2;
    if (!is64 && ident[4] != 1) return std::nullopt;
    const std::uint64_t sectionTable = is64 ? U64(ident + 0x28) : U32(ident + 0x20);
    const std::uint32_t entrySize = U16(ident + (is64 ? 0x3A : 0x2E));
    const std::uint32_t count = U16(ident + (is64 ? 0x3C : 0x30));
    const std::uint32_t namesIndex = U16(ident + (is64 ? 0x3E : 0x32));
    if (sectionTable == 0 || namesIndex >= count || entrySize < (is64 ? 64u : 40u)) return std::nullopt;

    struct Section {
        std::uint32_t name;
        std::uint64_t offset, size;
    };
    auto readSection = [&](std::uint32_t index) -> std::optional<Section> {
        unsigned char header[64];
        if (!ReadAt(in, sectionTable + std::uint64_t(index) * entrySize, header, is64 ? 64 : 40)) return std::nullopt;
        if (is64) return Section{U32(header), U64(header + 0x18), U64(header + 0x20)};
        return Section{U32(header), U32(header + 0x10), U32(header + 0x14)};
    };
    const auto names = readSection(namesIndex);
    if (!names) return std::nullopt;
    const std::string wanted = std::string(kBuildDateSection) + '\0';
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto section = readSection(i);
        if (!section || section->size != 8 || section->name >= names->size) continue;
        std::string name(wanted.size(), '\0');
        if (!ReadAt(in, names->offset + section->name, reinterpret_cast<unsigned char*>(name.data()), name.size()) ||
            name != wanted)
            continue;
        unsigned char value[8];
        if (!ReadAt(in, section->offset, value, sizeof value)) return std::nullopt;
        return static_cast<std::int64_t>(U64(value));
    }
    return std::nullopt;
}

}  // namespace

std::int64_t GetBuildDate(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return 0;
    if (const auto elf = ElfBuildDate(in)) return *elf;
    return PeBuildDate(in).value_or(0);
}

}  // namespace vb
