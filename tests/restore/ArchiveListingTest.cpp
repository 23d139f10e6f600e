// The status line of an archive in the browser.
#include "restore/ArchiveListing.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include "platform/CreationStamp.h"
#include "support/TempDir.h"
#include "util/Error.h"

namespace vb {
namespace {

namespace fs = std::filesystem;

bool Stamp(const fs::path& file, int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900, local.tm_mon = month - 1, local.tm_mday = day;
    local.tm_hour = hour, local.tm_min = minute, local.tm_sec = second;
    return platform::SetCreationStamp(file.string(), local);
}

TEST(ArchiveListingTest, StatusLineShowsTrueSizeAndStampWithoutMidnight) {
    test::TempDir dir;
    const fs::path big = dir / "gross.zip";
    test::WriteFile(big, "");
    // A sparse file of 5 GiB: beyond what a 32-bit size could hold.
    fs::resize_file(big, 5ull << 30);
    if (!Stamp(big, 2016, 5, 23, 14, 3, 12)) GTEST_SKIP() << "the temporary folder takes no user extended attributes";
    EXPECT_EQ(ArchiveStatusLine(big.string()), "Archivgr\xC3\xB6\xC3\x9F" "e: 5.368.709.120 Bytes, erzeugt am 23.05.2016 14:03:12");
    ASSERT_TRUE(Stamp(big, 2016, 5, 23, 0, 0, 0));
    EXPECT_EQ(ArchiveStatusLine(big.string()), "Archivgr\xC3\xB6\xC3\x9F" "e: 5.368.709.120 Bytes, erzeugt am 23.05.2016");
    // No stamp of ours: the modification time stands in.
    ::removexattr(big.c_str(), platform::kCreationStampAttribute);
    struct timespec times[2] = {{0, UTIME_OMIT}, {1464004992, 0}};  // 2016-05-23 12:03:12 UTC
    ASSERT_EQ(::utimensat(AT_FDCWD, big.c_str(), times, 0), 0);
    // 12:03:12 universal time is 14:03:12 in Berlin's summer.
    EXPECT_EQ(ArchiveStatusLine(big.string()), "Archivgr\xC3\xB6\xC3\x9F" "e: 5.368.709.120 Bytes, erzeugt am 23.05.2016 14:03:12");
    EXPECT_THROW(ArchiveStatusLine((dir / "fehlt.zip").string()), Error);
}

}  // namespace
}  // namespace vb
