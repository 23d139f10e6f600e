#include <gtest/gtest.h>

#include <string>

#include "zip/ByteOrder.h"
#include "zip/EntryHeaders.h"
#include "zip/LayoutCheck.h"

namespace vb::test {
namespace {

std::string Field(std::uint16_t id, const std::string& data) {
    std::string field;
    zip::AppendExtraField(field, id, data);
    return field;
}

// An update copies an old local header as it is exactly when it holds the bytes the
// update would write for the entry: the quick comparison must agree with building
// those bytes, for headers of this program and of other tools alike.
TEST(LayoutCheckTest, OldHeaderIsTakenAsItIsExactlyWhenItEqualsTheOneWritten) {
    ArchiveEntry small;
    small.HeaderName = "Daten/Liste.txt";
    small.VersionNeeded = 20;
    small.Method = 8;
    small.DosTime = 0x6A21;
    small.DosDate = 0x5863;
    small.Crc32 = 0x12345678;
    small.CompressedSize = 1234;
    small.UncompressedSize = 5000;
    ArchiveEntry large = small;
    large.VersionNeeded = 45;
    large.CompressedSize = 5ull << 30;
    large.UncompressedSize = 6ull << 30;
    std::string zeros64;
    zip::Put64(zeros64, 0);
    zip::Put64(zeros64, 0);
    const std::string times = Field(0x5455, std::string("\x03\x10\x20\x30\x40", 5));
    const std::string large64 = zip::MakeLocalZip64Field(large.UncompressedSize, large.CompressedSize);
    const std::string swapped64 = zip::MakeLocalZip64Field(large.CompressedSize, large.UncompressedSize);
    ArchiveEntry renamed = small;
    renamed.HeaderName = "Daten/Liste.txx";
    ArchiveEntry older = small;
    older.VersionNeeded = 10;

    const struct {
        const char* what;
        const ArchiveEntry& header;  // the entry the old header was written for
        bool sizes64;
        std::string extra;
        const ArchiveEntry& entry;  // the entry as the update writes it
        bool asItIs;
    } cases[] = {
        {"ours", small, false, "", small, true},
        {"with other fields", small, false, times + Field(0x7875, "\x01\x04\0\0\0\0\x04\0\0\0\0"), small, true},
        {"Zip64 field of zeros", small, false, Field(zip::kZip64ExtraId, zeros64) + times, small, false},
        {"bytes after the last field", small, false, times + "ab", small, false},
        {"a field longer than the rest", small, false, times.substr(0, 6), small, false},
        {"another name", small, false, times, renamed, false},
        {"another version", small, false, times, older, false},
        {"large, ours", large, true, large64 + times, large, true},
        {"large, sizes swapped", large, true, swapped64 + times, large, false},
        {"large, a second Zip64 field", large, true, large64 + Field(zip::kZip64ExtraId, zeros64), large, false},
        {"large, sizes in 32 bits", large, false, large64, large, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string old = zip::MakeLocalHeader(c.header, c.sizes64, c.extra);
        const std::string_view bytes = old;
        const std::size_t fixed = zip::LocalFileHeader::kFixedSize;
        const std::string written = zip::CopiedLocalHeader(c.entry, bytes.substr(fixed + c.header.HeaderName.size()));
        EXPECT_EQ(written == old, c.asItIs);
        EXPECT_EQ(zip::IsCopiedLocalHeader(c.entry, bytes.substr(0, fixed), bytes.substr(fixed)), c.asItIs);
    }
}

}  // namespace
}  // namespace vb::test
