// GetBuildDate on small PE files built byte by byte, on ELF files with and without the
// build-date section, and on the program itself.
#include "help/BuildDate.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "support/TempDir.h"

namespace vb {
namespace {

void Put16(std::string& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}
void Put64(std::string& b, std::size_t at, std::uint64_t v) {
    Put32(b, at, static_cast<std::uint32_t>(v));
    Put32(b, at + 4, static_cast<std::uint32_t>(v >> 32));
}

constexpr std::uint32_t kFixedStamp = 0x2A425E19;                // 19 June 1992 22:22:17
constexpr std::uint32_t kStamp2016 = 1478987554;                 // 12 November 2016 21:52:34
constexpr std::uint32_t kDos2016 = (36u << 25) | (11u << 21) | (12u << 16) | (22u << 11) | (52u << 5) | 17u;
constexpr std::int64_t kDos2016Seconds = 1478991154;             // 12 November 2016 22:52:34

struct PeShape {
    std::uint32_t stamp;
    std::uint32_t resourceStamp = 0;
    bool sectionHoldsResources = true;
    std::uint16_t optionalSize = 224;
    std::uint16_t magic = 0x10B;
    bool mz = true;
    std::size_t cutAt = 0;  // truncate the file (0: keep)
};

// A PE file: MZ header pointing at 0x80, the PE header with one section ".rsrc" at
// virtual address 0x1000 (raw data at 0x400), the resource directory there.
std::string MakePe(const PeShape& shape) {
    const std::size_t pe = shape.mz ? 0x80 : 0;
    std::string b(0x600, '\0');
    if (shape.mz) {
        b[0] = 'M', b[1] = 'Z';
        Put32(b, 60, static_cast<std::uint32_t>(pe));
    }
    std::memcpy(&b[pe], "PE\0\0", 4);
    Put16(b, pe + 4, 0x14C);     // i386
    Put16(b, pe + 6, 1);         // one section
    Put32(b, pe + 8, shape.stamp);
    Put16(b, pe + 20, shape.optionalSize);
    Put16(b, pe + 24, shape.magic);
    // Data directory 2: the resource table, 0x100 bytes at 0x1000.
    Put32(b, pe + 24 + 96 + 16, 0x1000);
    Put32(b, pe + 24 + 96 + 20, 0x100);
    const std::size_t section = pe + 24 + shape.optionalSize;
    std::memcpy(&b[section], ".rsrc\0\0\0", 8);
    Put32(b, section + 12, shape.sectionHoldsResources ? 0x1000 : 0x3000);  // virtual address
    Put32(b, section + 16, 0x200);                                            // raw size
    Put32(b, section + 20, 0x400);                                            // raw data
    Put32(b, 0x400 + 4, shape.resourceStamp);
    if (shape.cutAt) b.resize(shape.cutAt);
    return b;
}

TEST(BuildDate, PeFiles) {
    const struct {
        const char* name;
        PeShape shape;
        std::int64_t expected;
    } cases[] = {
        {"header stamp", {kStamp2016}, kStamp2016},
        {"header stamp, no MZ: PE header read at 0", {kStamp2016, 0, true, 224, 0x10B, false}, kStamp2016},
        {"fixed stamp: resource directory's DOS time", {kFixedStamp, kDos2016}, kDos2016Seconds},
        {"fixed stamp, longer optional header", {kFixedStamp, kDos2016, true, 240}, kDos2016Seconds},
        {"fixed stamp, no section holds the resources", {kFixedStamp, kDos2016, false}, kFixedStamp},
        {"fixed stamp, invalid DOS date keeps the stamp", {kFixedStamp, 0}, kFixedStamp},
        {"fixed stamp, optional header too short", {kFixedStamp, kDos2016, true, 200}, kFixedStamp},
        {"fixed stamp, 64-bit optional header", {kFixedStamp, kDos2016, true, 240, 0x20B}, kFixedStamp},
        {"fixed stamp, resource directory cut off", {kFixedStamp, kDos2016, true, 224, 0x10B, true, 0x402}, kFixedStamp},
        {"PE header cut short", {kStamp2016, 0, true, 224, 0x10B, true, 0x100}, 0},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteFile(dir / "program.exe", MakePe(c.shape));
        EXPECT_EQ(GetBuildDate(dir / "program.exe"), c.expected);
    }
    EXPECT_EQ(GetBuildDate(dir / "missing.exe"), 0);
    test::WriteFile(dir / "text.exe", "MZ just text");
    EXPECT_EQ(GetBuildDate(dir / "text.exe"), 0);
}

// A 64-bit ELF file with a section header table: the empty section, the section
// names, and optionally the build-date section.
std::string MakeElf(bool withDate, std::uint64_t seconds) {
    const std::string names = std::string("\0.shstrtab\0", 11) + kBuildDateSection + '\0';
    std::string b(0x200, '\0');
    std::memcpy(&b[0], "\x7f" "ELF", 4);
    b[4] = 2, b[5] = 1, b[6] = 1;
    std::memcpy(&b[0x80], names.data(), names.size());
    Put64(b, 0xC0, seconds);
    const std::size_t table = 0x100;
    const std::uint16_t count = withDate ? 3 : 2;
    Put64(b, 0x28, table);
    Put16(b, 0x3A, 64);
    Put16(b, 0x3C, count);
    Put16(b, 0x3E, 1);
    auto section = [&](int index, std::uint32_t name, std::uint64_t offset, std::uint64_t size) {
        const std::size_t at = table + index * 64;
        Put32(b, at, name);
        Put64(b, at + 0x18, offset);
        Put64(b, at + 0x20, size);
    };
    section(1, 1, 0x80, names.size());
    if (withDate) section(2, 11, 0xC0, 8);
    return b;
}

TEST(BuildDate, ElfFilesCarryTheirDateInASection) {
    test::TempDir dir;
    test::WriteFile(dir / "with", MakeElf(true, 1765324800));
    EXPECT_EQ(GetBuildDate(dir / "with"), 1765324800);
    test::WriteFile(dir / "without", MakeElf(false, 0));
    EXPECT_EQ(GetBuildDate(dir / "without"), 0);
}

TEST(BuildDate, TheProgramKnowsWhenItWasBuilt) {
    const std::int64_t built = GetBuildDate(VB_BINARY_DIR "/vorlixbackup");
    const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::system_clock::now().time_since_epoch()).count();
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
        EXPECT_EQ(built, std::stoll(epoch));
    } else {
        // The start of the day of the build, in UTC: not 1970, not in the future.
        EXPECT_EQ(built % 86400, 0);
        EXPECT_GT(built, now - 400 * 86400);
        EXPECT_LE(built, now);
    }
}

}  // namespace
}  // namespace vb
