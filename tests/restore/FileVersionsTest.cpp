// A job's archives as points in time, the versions of one file across them, and the
// restore of an older version to its place or beside the current file.
#include "restore/FileVersions.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "zip/ArchiveReader.h"
#include "dbcheck/ExclusiveUseTest.h"
#include "platform/CreationStamp.h"
#include "platform/RegistryStore.h"
#include "support/LocalClock.h"
#include "support/TempDir.h"
#include "util/Error.h"

namespace vb {
namespace {

namespace fs = std::filesystem;
using test::LocalClock;

constexpr const char* kFile = "schule/Notenliste.xls";

// Three generations and two per-day archives of the job "Job", with the grade list
// changed in two of them, and an archive of another job beside them.
class FileVersionsTest : public ::testing::Test {
protected:
    test::TempDir FDir;
    fs::path FArchives = FDir / "archive";
    fs::path FRoot = FDir / "wurzel";
    RegistryStore FRegistry{FDir / "registry.reg"};
    ExclusiveUseTest FDatabases{FRegistry};
    ArchiveReader FReader;

    void SetUp() override {
        fs::create_directories(FArchives);
        fs::create_directories(FRoot / "schule");
        struct Archive {
            const char* name;
            int day;
            const char* content;
        };
        const Archive archives[] = {
            {"Job-26-12-01.zip", 1, "Stand eins"}, {"Job-26-12-02.zip", 2, "Stand eins"},
            {"Job_3.zip", 3, "Stand zwei!"},       {"Job_2.zip", 4, "Stand zwei!"},
            {"Job_1.zip", 5, "Stand drei"},        {"Anderer.zip", 6, "fremd"},
        };
        for (const Archive& a : archives) {
            MakeZip(FArchives / a.name, {std::string(kFile) + ":" + a.content, "schule/andere.txt:gleich"});
            if (!platform::SetCreationStamp((FArchives / a.name).string(), LocalClock(2026, 12, a.day, 18, 30)))
                GTEST_SKIP() << "no user extended attributes here";
        }
    }
    static void MakeZip(const fs::path& archive, const std::vector<std::string>& items) {
        std::string command = "python3 " VB_SOURCE_DIR "/tests/restore/make_zip.py '" + archive.string() + "'";
        for (const std::string& item : items) command += " '" + item + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
};

TEST_F(FileVersionsTest, StandsAreTheJobsArchivesNewestFirst) {
    fs::create_directories(FArchives / "Job-26-12-04.zip");  // a folder, no archive
    const auto stands = JobStands(FArchives.string(), "Job");
    std::vector<std::string> names;
    for (const ArchiveStand& s : stands) names.push_back(s.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"Job_1.zip", "Job_2.zip", "Job_3.zip", "Job-26-12-02.zip",
                                               "Job-26-12-01.zip"}));
    EXPECT_EQ(StandText(stands.front()), "05.12.2026 18:30:00 - Job_1.zip");
}

TEST_F(FileVersionsTest, VersionsMarkWhereTheContentChanged) {
    const auto stands = JobStands(FArchives.string(), "Job");
    const FileVersions found = VersionsOf(FReader, FArchives.string(), stands, kFile);
    EXPECT_TRUE(found.Problems.empty());
    ASSERT_EQ(found.Versions.size(), 5u);
    struct Expected {
        const char* archive;
        std::uint64_t size;
        bool differs;
        int content;
    };
    const Expected expected[] = {{"Job_1.zip", 10, true, 3},
                                 {"Job_2.zip", 11, false, 2},
                                 {"Job_3.zip", 11, true, 2},
                                 {"Job-26-12-02.zip", 10, false, 1},
                                 {"Job-26-12-01.zip", 10, true, 1}};
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(expected[i].archive);
        EXPECT_EQ(found.Versions[i].Stand.Name, expected[i].archive);
        EXPECT_EQ(found.Versions[i].Size, expected[i].size);
        EXPECT_EQ(found.Versions[i].Differs, expected[i].differs);
        EXPECT_EQ(found.Versions[i].Content, expected[i].content);
    }
    EXPECT_FALSE(FReader.IsOpen());
}

TEST_F(FileVersionsTest, ADamagedArchiveIsNamedAndLeftOut) {
    test::WriteFile(FArchives / "Job_2.zip", "kein Archiv");
    const FileVersions found = VersionsOf(FReader, FArchives.string(), JobStands(FArchives.string(), "Job"), kFile);
    EXPECT_EQ(found.Versions.size(), 4u);
    ASSERT_EQ(found.Problems.size(), 1u);
    EXPECT_EQ(found.Problems[0].rfind("Job_2.zip: ", 0), 0u) << found.Problems[0];
}

TEST(BesideNameTest, CarriesTheDateBeforeTheExtension) {
    const std::tm day = LocalClock(2026, 12, 3);
    EXPECT_EQ(BesideName("Notenliste.xls", day), "Notenliste (Stand 03.12.2026).xls");
    EXPECT_EQ(BesideName("Notenliste.tar.gz", day), "Notenliste.tar (Stand 03.12.2026).gz");
    EXPECT_EQ(BesideName("LIESMICH", day), "LIESMICH (Stand 03.12.2026)");
    EXPECT_EQ(BesideName(".profile", day, 2), ".profile (Stand 03.12.2026, 2)");
}

// An older version restored beside the current file leaves that file byte for byte as
// it was, and is no more readable than it.
TEST_F(FileVersionsTest, BesideLeavesTheCurrentFileAsItIs) {
    const fs::path current = FRoot / kFile;
    test::WriteFile(current, "die Arbeit von heute");
    ::chmod(current.c_str(), 0600);
    struct stat before {};
    ASSERT_EQ(::stat(current.c_str(), &before), 0);

    const auto stands = JobStands(FArchives.string(), "Job");
    const FileVersions found = VersionsOf(FReader, FArchives.string(), stands, kFile);
    const FileVersion& older = found.Versions[2];  // Job_3.zip of 03.12.2026
    const std::string written =
        RestoreVersion(FReader, FDatabases, FArchives.string(), older, kFile, FRoot.string(), true);
    EXPECT_EQ(written, (FRoot / "schule/Notenliste (Stand 03.12.2026).xls").string());
    EXPECT_EQ(test::ReadFile(written), "Stand zwei!");
    EXPECT_EQ(test::ReadFile(current), "die Arbeit von heute");
    struct stat after {
    }, copy{};
    ASSERT_EQ(::stat(current.c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_ino, before.st_ino);
    ASSERT_EQ(::stat(written.c_str(), &copy), 0);
    EXPECT_EQ(copy.st_mode & 0777, 0600u);  // the archive stored 0644

    // The same version once more takes the next free name; nothing is replaced.
    const std::string second =
        RestoreVersion(FReader, FDatabases, FArchives.string(), older, kFile, FRoot.string(), true);
    EXPECT_EQ(second, (FRoot / "schule/Notenliste (Stand 03.12.2026, 2).xls").string());
    EXPECT_EQ(test::ReadFile(written), "Stand zwei!");
    EXPECT_FALSE(FReader.IsOpen());
}

TEST_F(FileVersionsTest, InPlaceReplacesTheCurrentFile) {
    test::WriteFile(FRoot / kFile, "kaputt");
    const FileVersions found = VersionsOf(FReader, FArchives.string(), JobStands(FArchives.string(), "Job"), kFile);
    RestoreVersion(FReader, FDatabases, FArchives.string(), found.Versions[3], kFile, FRoot.string(), false);
    EXPECT_EQ(test::ReadFile(FRoot / kFile), "Stand eins");
    EXPECT_FALSE(fs::exists(FRoot / "schule/Notenliste (Stand 02.12.2026).xls"));
}

TEST_F(FileVersionsTest, AVersionWhoseArchiveChangedMeanwhileIsRefused) {
    const FileVersions found = VersionsOf(FReader, FArchives.string(), JobStands(FArchives.string(), "Job"), kFile);
    MakeZip(FArchives / "Job_1.zip", {"schule/andere.txt:x", std::string(kFile) + ":neu"});
    EXPECT_THROW(
        RestoreVersion(FReader, FDatabases, FArchives.string(), found.Versions[0], kFile, FRoot.string(), true), Error);
    EXPECT_FALSE(fs::exists(FRoot / "schule/Notenliste (Stand 05.12.2026).xls"));
}

}  // namespace
}  // namespace vb
