#include "catalogue/JobArchives.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <vector>

#include "catalogue/TJob.h"
#include "platform/CreationStamp.h"
#include "catalogue/TBackupStrategie.h"
#include "support/LocalClock.h"
#include "support/TempDir.h"

namespace vb {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;


// The names and contents of the files (not folders) in a folder.
std::map<std::string, std::string> FilesIn(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) files[entry.path().filename().string()] = ReadFile(entry.path());
    }
    return files;
}

class JobArchivesTest : public ::testing::Test {
protected:
    TJob Job(const std::string& name) const {
        TJob job;
        job.Bezeichnung = name;
        job.DestDir = FDir.Path().string();
        return job;
    }
    test::TempDir FDir;
};

TEST_F(JobArchivesTest, PerDayNameComesFromTheLocalDateAndTakesTheJobNameLiterally) {
    struct Case {
        const char* name;
        std::string job;
        std::tm now;
        std::string expected;
    } cases[] = {
        {"plain", "Daten", test::LocalClock(2016, 5, 23), "/Daten-16-05-23.zip"},
        {"year 2000", "Daten", test::LocalClock(2000, 1, 2), "/Daten-00-01-02.zip"},
        {"end of a century", "Daten", test::LocalClock(2099, 12, 31, 23, 59), "/Daten-99-12-31.zip"},
        {"double quote", "Da\"yy\"ten", test::LocalClock(2016, 5, 23), "/Da\"yy\"ten-16-05-23.zip"},
        {"format letters", "yyyy mm dd hh:nn:ss am/pm c ddddd", test::LocalClock(2016, 5, 23),
         "/yyyy mm dd hh:nn:ss am/pm c ddddd-16-05-23.zip"},
        {"single quotes and percent", "'Büro' %s %d", test::LocalClock(2016, 5, 23), "/'Büro' %s %d-16-05-23.zip"},
        {"blank name", "", test::LocalClock(2016, 5, 23), "/-16-05-23.zip"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PrepareBackupFilename(Job(c.job), bsJedenTag, c.now), c.expected);
    }
    EXPECT_TRUE(fs::is_empty(FDir.Path())) << "naming alone creates no file";
}

TEST_F(JobArchivesTest, RunsJustBeforeAndAfterMidnightNameTwoArchivesThatSortByDate) {
    const std::string late = PrepareBackupFilename(Job("Daten"), bsJedenTag, test::LocalClock(2016, 12, 31, 23, 59));
    const std::string early = PrepareBackupFilename(Job("Daten"), bsJedenTag, test::LocalClock(2017, 1, 1, 0, 1));
    EXPECT_EQ(late, "/Daten-16-12-31.zip");
    EXPECT_EQ(early, "/Daten-17-01-01.zip");
    EXPECT_LT(late, early);
}

TEST_F(JobArchivesTest, StoredStrategyOutsideTheThreeFallsBackToPerDay) {
    for (std::uint8_t strategie : {std::uint8_t{3}, std::uint8_t{7}, std::uint8_t{255}}) {
        SCOPED_TRACE(int(strategie));
        EXPECT_EQ(PrepareBackupFilename(Job("Daten"), strategie, test::LocalClock(2016, 5, 23)), "/Daten-16-05-23.zip");
    }
}

TEST_F(JobArchivesTest, SameFileNeverCreatesOrMovesAnything) {
    WriteFile(FDir / "Daten.zip", "old");
    EXPECT_EQ(PrepareBackupFilename(Job("Daten"), bsGleicheDatei, test::LocalClock(2016, 5, 23)), "/Daten.zip");
    EXPECT_EQ(PrepareBackupFilename(Job("Da\"ten"), bsGleicheDatei, test::LocalClock(2016, 5, 23)), "/Da\"ten.zip");
    EXPECT_EQ(FilesIn(FDir.Path()), (std::map<std::string, std::string>{{"Daten.zip", "old"}}));
}

// Naming resets the spanning threshold and moves nothing: the generations rotate only
// when the new archive is complete.
TEST_F(JobArchivesTest, ResetsTheSpanningThresholdAndMovesNoGeneration) {
    WriteFile(FDir / "Daten_1.zip", "newest");
    WriteFile(FDir / "Daten_2.zip", "older");
    for (std::uint8_t strategie : {bsJedenTag, bsDreiGenerationen, bsGleicheDatei}) {
        SCOPED_TRACE(int(strategie));
        std::vector<std::uint64_t> thresholds;
        PrepareBackupFilename(Job("Daten"), strategie, test::LocalClock(2016, 5, 23),
                              [&](std::uint64_t value) { thresholds.push_back(value); });
        EXPECT_EQ(thresholds, std::vector<std::uint64_t>{0});
        EXPECT_EQ(FilesIn(FDir.Path()),
                  (std::map<std::string, std::string>{{"Daten_1.zip", "newest"}, {"Daten_2.zip", "older"}}));
    }
}

// Each case lists what the folder holds before the run ("dir" makes a folder of that
// name) and the files after it, with their contents: a content tells which
// generation went where.
TEST_F(JobArchivesTest, RotatesThreeGenerationsAndNeverReplacesAFile) {
    using Files = std::map<std::string, std::string>;
    struct Case {
        const char* name;
        Files before;
        Files after;
    } cases[] = {
        {"no archive yet", {}, {}},
        {"only _1", {{"_1", "A"}}, {{"_2", "A"}}},
        {"_1 and _2", {{"_1", "A"}, {"_2", "B"}}, {{"_2", "A"}, {"_3", "B"}}},
        {"all three", {{"_1", "A"}, {"_2", "B"}, {"_3", "C"}}, {{"_2", "A"}, {"_3", "B"}}},
        {"_2 and _3 without _1", {{"_2", "B"}, {"_3", "C"}}, {{"_2", "B"}, {"_3", "C"}}},
        {"_1 and _3 without _2", {{"_1", "A"}, {"_3", "C"}}, {{"_2", "A"}, {"_3", "C"}}},
        {"a folder named _1", {{"_1", "dir"}, {"_2", "B"}}, {{"_2", "B"}}},
        // _3 is a folder, so it is no generation and is not deleted; the rename of
        // _2 fails because the name is taken, and then _1 cannot move onto _2.
        {"a folder named _3 blocks the rotation", {{"_1", "A"}, {"_2", "B"}, {"_3", "dir"}},
         {{"_1", "A"}, {"_2", "B"}}},
        // _2 is a folder: _1 cannot be renamed onto it and stays to be updated.
        {"a folder named _2 blocks the rotation", {{"_1", "A"}, {"_2", "dir"}}, {{"_1", "A"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        for (const auto& [suffix, content] : c.before) {
            const fs::path file = dir / ("Tagessicherung" + suffix + ".zip");
            if (content == "dir") {
                fs::create_directory(file);
                WriteFile(file / "inside", "x");
            } else {
                WriteFile(file, content);
            }
        }
        TJob job;
        job.Bezeichnung = "Tagessicherung";
        job.DestDir = dir.Path().string();
        EXPECT_EQ(PrepareBackupFilename(job, bsDreiGenerationen, test::LocalClock(2016, 5, 23)), "/Tagessicherung_1.zip");
        const bool predicted = GenerationsWillRotate(job);
        const bool freed = RotateGenerations(job);
        EXPECT_EQ(freed, !fs::exists(dir / "Tagessicherung_1.zip"));
        EXPECT_EQ(predicted, freed) << "the prediction must match the rotation";
        Files expected;
        for (const auto& [suffix, content] : c.after) expected["Tagessicherung" + suffix + ".zip"] = content;
        EXPECT_EQ(FilesIn(dir.Path()), expected);
        for (const auto& [suffix, content] : c.before) {
            if (content == "dir") {
                EXPECT_EQ(ReadFile(dir / ("Tagessicherung" + suffix + ".zip") / "inside"), "x");
            }
        }
    }
}

// A complete new _1 waits as "_1.zip.vbneu" while the generations rotate. Each case is
// a state that a run killed at one step leaves ("=X" names another name of X's file,
// left by a rename through link and unlink that was cut short); finishing it, once or
// again, always ends with the new archive at _1 and the older ones each one further.
TEST_F(JobArchivesTest, WaitingNewGenerationTakesItsPlaceFromEveryStep) {
    using Files = std::map<std::string, std::string>;
    const Files done = {{"Daten_1.zip", "neu"}, {"Daten_2.zip", "A"}, {"Daten_3.zip", "B"}};
    const struct {
        const char* name;
        Files before;
        Files after;
    } cases[] = {
        {"before any step", {{"_1.zip.vbneu", "neu"}, {"_1.zip", "A"}, {"_2.zip", "B"}, {"_3.zip", "C"}}, done},
        {"after _3 was deleted", {{"_1.zip.vbneu", "neu"}, {"_1.zip", "A"}, {"_2.zip", "B"}}, done},
        {"after _2 became _3", {{"_1.zip.vbneu", "neu"}, {"_1.zip", "A"}, {"_3.zip", "B"}}, done},
        {"after _1 became _2", {{"_1.zip.vbneu", "neu"}, {"_2.zip", "A"}, {"_3.zip", "B"}}, done},
        {"after the new one became _1", {{"_1.zip", "neu"}, {"_2.zip", "A"}, {"_3.zip", "B"}}, done},
        {"cut short in _2 to _3",
         {{"_1.zip.vbneu", "neu"}, {"_1.zip", "A"}, {"_2.zip", "B"}, {"_3.zip", "=_2.zip"}},
         done},
        {"cut short in _1 to _2",
         {{"_1.zip.vbneu", "neu"}, {"_1.zip", "A"}, {"_2.zip", "=_1.zip"}, {"_3.zip", "B"}},
         done},
        {"cut short in the last step",
         {{"_1.zip.vbneu", "neu"}, {"_1.zip", "=_1.zip.vbneu"}, {"_2.zip", "A"}, {"_3.zip", "B"}},
         done},
        {"first archive of the job", {{"_1.zip.vbneu", "neu"}}, {{"Daten_1.zip", "neu"}}},
        {"second archive of the job",
         {{"_1.zip.vbneu", "neu"}, {"_1.zip", "A"}},
         {{"Daten_1.zip", "neu"}, {"Daten_2.zip", "A"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(FDir.Path());
        fs::create_directories(FDir.Path());
        for (const auto& [suffix, content] : c.before) {
            if (content.front() != '=') WriteFile(FDir / ("Daten" + suffix), content);
        }
        for (const auto& [suffix, content] : c.before) {
            if (content.front() == '=')
                fs::create_hard_link(FDir / ("Daten" + content.substr(1)), FDir / ("Daten" + suffix));
        }
        EXPECT_EQ(PendingGenerationPath(Job("Daten")), (FDir / "Daten_1.zip.vbneu").string());
        EXPECT_TRUE(FinishInterruptedRotation(Job("Daten")));
        EXPECT_EQ(FilesIn(FDir.Path()), c.after);
        EXPECT_TRUE(FinishInterruptedRotation(Job("Daten")));
        EXPECT_EQ(FilesIn(FDir.Path()), c.after) << "a second call must change nothing";
    }
}

// Without a waiting new _1, finishing changes nothing: the generations move only for
// a new archive.
TEST_F(JobArchivesTest, NothingWaitingMovesNothing) {
    WriteFile(FDir / "Daten_1.zip", "A");
    WriteFile(FDir / "Daten_2.zip", "B");
    EXPECT_TRUE(FinishInterruptedRotation(Job("Daten")));
    EXPECT_EQ(FilesIn(FDir.Path()), (std::map<std::string, std::string>{{"Daten_1.zip", "A"}, {"Daten_2.zip", "B"}}));
}

// Every name a job's archives, its waiting new _1 and their temporary files can have
// leads back to the job; other names lead to none.
TEST_F(JobArchivesTest, ArchiveNamesLeadBackToTheirJobs) {
    using Jobs = std::vector<std::string_view>;
    const struct {
        const char* file;
        Jobs jobs;
    } cases[] = {
        {"Daten.zip", {"Daten"}},
        {"Daten_1.zip", {"Daten_1", "Daten"}},
        {"Daten_3.zip", {"Daten_3", "Daten"}},
        {"Daten_4.zip", {"Daten_4"}},
        {"Daten-24-12-31.zip", {"Daten-24-12-31", "Daten"}},
        {"Daten-24-1-31.zip", {"Daten-24-1-31"}},
        {"Daten_1.zip.vbneu", {"Daten"}},
        {".Daten_2.zip.vbtmp-a1B2c3", {"Daten_2", "Daten"}},
        {".Daten-24-12-31.zip.vbtmp-a1B2c3", {"Daten-24-12-31", "Daten"}},
        {".Daten.zip.vbtmp-kurz", {}},
        {"Daten.zip.bak", {}},
        {"Daten.ZIP", {}},
        {"Daten_1.zip.vbneu.txt", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(JobsWhoseArchiveThisMayBe(c.file), c.jobs);
    }
}

TEST_F(JobArchivesTest, RepeatedRunsKeepTheNewestThreeGenerations) {
    // The run writes _1 after naming; here a file with the run number stands for it.
    for (int run = 1; run <= 4; ++run) {
        const std::string name = PrepareBackupFilename(Job("Daten"), bsDreiGenerationen, test::LocalClock(2016, 5, 23));
        EXPECT_TRUE(RotateGenerations(Job("Daten")));
        WriteFile(FDir.Path().string() + name, "run " + std::to_string(run));
    }
    EXPECT_EQ(FilesIn(FDir.Path()), (std::map<std::string, std::string>{
                                        {"Daten_1.zip", "run 4"}, {"Daten_2.zip", "run 3"}, {"Daten_3.zip", "run 2"}}));
}

TEST_F(JobArchivesTest, UnwritableTargetFolderMovesNothingAndStillNamesTheFirstGeneration) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write into any folder";
    WriteFile(FDir / "Daten_1.zip", "A");
    WriteFile(FDir / "Daten_2.zip", "B");
    WriteFile(FDir / "Daten_3.zip", "C");
    fs::permissions(FDir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(PrepareBackupFilename(Job("Daten"), bsDreiGenerationen, test::LocalClock(2016, 5, 23)), "/Daten_1.zip");
    EXPECT_FALSE(RotateGenerations(Job("Daten")));
    fs::permissions(FDir.Path(), fs::perms::owner_all);
    EXPECT_EQ(FilesIn(FDir.Path()), (std::map<std::string, std::string>{
                                        {"Daten_1.zip", "A"}, {"Daten_2.zip", "B"}, {"Daten_3.zip", "C"}}));
}

// The archives a job's target folder holds, and the one a restore pass takes.
TEST(JobArchiveListing, ListsZipNamesOfAnyKindInNameOrderWithoutRegardToCase) {
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

TEST(JobArchiveListing, RestorePassTakesTheRecordedArchiveElseTheNewest) {
    test::TempDir dir;
    const std::string folder = dir.Path().string();
    const struct {
        const char* name;
        int day;
    } archives[] = {{"Job-24-03-01.zip", 1}, {"Job-24-03-03.zip", 3}, {"Andere-24-03-09.zip", 9}, {"Job-24-03-02.zip", 2}};
    for (const auto& a : archives) {
        test::WriteFile(dir / a.name, "x");
        if (!platform::SetCreationStamp((dir / a.name).string(), test::LocalClock(2024, 3, a.day, 20))) GTEST_SKIP() << "no user extended attributes here";
    }
    EXPECT_EQ(ArchiveForRestorePass(folder, "Job-24-03-02.zip"), "Job-24-03-02.zip");
    // A recorded name that is gone, or none: the newest by its creation stamp.
    EXPECT_EQ(ArchiveForRestorePass(folder, "Job-24-02-28.zip"), "Andere-24-03-09.zip");
    EXPECT_EQ(ArchiveForRestorePass(folder, ""), "Andere-24-03-09.zip");
    EXPECT_EQ(ArchiveForRestorePass((dir / "leer").string(), "Job-24-03-02.zip"), "");
}

}  // namespace
}  // namespace vb
