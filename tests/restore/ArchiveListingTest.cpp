// The archive list of a target folder, the status line and the archive a restore
// pass takes.
#include "catalogue/JobArchives.h"
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

TEST(ArchiveListingTest, ListsZipNamesOfAnyKindInNameOrderWithoutRegardToCase) {
    test::TempDir dir;
    // Created in an order that no file system keeps by accident.
    for (const char* name : {"Job-24-03-02.zip", "b.ZIP", ".versteckt.zip", "Job-24-03-01.zip", "a.zip.txt", "A.zip",
                             "notes.txt", "zip"}) {
        test::WriteFile(dir / name, "x");
    }
    fs::create_directory(dir / "Ordner.zip");
    EXPECT_EQ(ListArchiveNames(dir.Path().string()),
              (std::vector<std::string>{".versteckt.zip", "A.zip", "b.ZIP", "Job-24-03-01.zip", "Job-24-03-02.zip",
                                        "Ordner.zip"}));
    EXPECT_TRUE(ListArchiveNames((dir / "fehlt").string()).empty());
    EXPECT_TRUE(ListArchiveNames("").empty());
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

TEST(ArchiveListingTest, RestorePassTakesTheRecordedArchiveElseTheNewest) {
    test::TempDir dir;
    const std::string folder = dir.Path().string();
    const struct {
        const char* name;
        int day;
    } archives[] = {{"Job-24-03-01.zip", 1}, {"Job-24-03-03.zip", 3}, {"Andere-24-03-09.zip", 9}, {"Job-24-03-02.zip", 2}};
    for (const auto& a : archives) {
        test::WriteFile(dir / a.name, "x");
        if (!Stamp(dir / a.name, 2024, 3, a.day, 20, 0, 0)) GTEST_SKIP() << "no user extended attributes here";
    }
    EXPECT_EQ(ArchiveForRestorePass(folder, "Job-24-03-02.zip"), "Job-24-03-02.zip");
    // A recorded name that is gone, or none: the newest by its creation stamp.
    EXPECT_EQ(ArchiveForRestorePass(folder, "Job-24-02-28.zip"), "Andere-24-03-09.zip");
    EXPECT_EQ(ArchiveForRestorePass(folder, ""), "Andere-24-03-09.zip");
    EXPECT_EQ(ArchiveForRestorePass((dir / "leer").string(), "Job-24-03-02.zip"), "");
}

}  // namespace
}  // namespace vb
