// Runs the real program as a scheduler would: /BACKUP, headless, with an isolated
// configuration and data folder, and checks the archives with Info-ZIP's unzip.
#include "BackupEndToEnd.h"
#include "platform/PassLock.h"

namespace vb {
namespace {

using test::BackupEndToEndTest;
namespace fs = std::filesystem;

TEST_F(BackupEndToEndTest, EachStrategyNamesAndRotatesItsArchives) {
    char today[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(today, sizeof today, "%y-%m-%d", std::localtime(&now));
    const struct {
        std::uint32_t strategy;
        int runs;
        std::vector<std::string> archives;
    } cases[] = {
        {0, 2, {std::string("Job 1-") + today + ".zip"}},
        {1, 4, {"Job 1_1.zip", "Job 1_2.zip", "Job 1_3.zip"}},
        {2, 2, {"Job 1.zip"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strategy);
        fs::remove_all(FTarget);
        FRegistry.WriteDword("Software\\Vorlix-Backup", "STRATEGIE", c.strategy);
        for (int run = 0; run < c.runs; ++run) {
            const auto result = Backup();
            ASSERT_EQ(result.exitStatus, 0) << result.standardError;
        }
        EXPECT_EQ(Archives(), c.archives);
        for (const auto& name : c.archives) {
            EXPECT_NE(test::CommandOutput("unzip -t '" + (FTarget / name).string() + "'").find("No errors detected"), std::string::npos);
        }
        // The job list records the last archive written.
        const std::string jobs = test::ReadFile(FData / "Backupjobs.csv");
        EXPECT_NE(jobs.find("," + c.archives.front() + "\r\n"), std::string::npos) << jobs;
    }
}

TEST_F(BackupEndToEndTest, SecondRunKeepsUnchangedArchiveAndFreshensChangedFiles) {
    FRegistry.WriteDword("Software\\Vorlix-Backup", "STRATEGIE", 2);
    ASSERT_EQ(Backup().exitStatus, 0);
    const fs::path archive = FTarget / "Job 1.zip";
    const std::string first = test::ReadFile(archive);
    const std::string source = FSource.relative_path().string();
    EXPECT_EQ(Listing(archive), source + "/brief.txt\n" + source + "/Schüler.mdb\n" + source +
                                    "/Unterordner/noten.ini\n");
    EXPECT_NE(Log().find(source + "/Schüler.mdb added "), std::string::npos);

    ASSERT_EQ(Backup().exitStatus, 0);
    EXPECT_EQ(test::ReadFile(archive), first) << "nothing changed, so the archive must not change";
    const std::string quiet = Log();
    EXPECT_EQ(std::count(quiet.begin(), quiet.end(), '\n'), 1) << quiet;
    EXPECT_NE(quiet.find(" logging "), std::string::npos);

    test::WriteFile(FSource / "brief.txt", "Sehr geehrte Eltern, liebe Schüler,\r\n");
    ASSERT_EQ(Backup().exitStatus, 0);
    const std::string log = Log();
    EXPECT_NE(log.find(source + "/brief.txt freshened "), std::string::npos) << log;
    EXPECT_EQ(log.find("noten.ini"), std::string::npos) << log;
    EXPECT_EQ(test::CommandOutput("unzip -p '" + archive.string() + "' '" + source + "/brief.txt'"),
              "Sehr geehrte Eltern, liebe Schüler,\r\n");
}

TEST_F(BackupEndToEndTest, PasswordProtectionUsesThePasswordFromTheEnvironment) {
    // ASCII names only: Debian's unzip misreads encrypted archives whose entries carry
    // a Unicode Path field (the archive layer's tests show that 7-Zip and Python read
    // them).
    WriteDefinition("def1.csv", "Quelle," + FSource.string() + ",*.txt;*.ini,1,1");
    FRegistry.WriteDword("Software\\Vorlix-Backup", "STRATEGIE", 2);
    FRegistry.WriteDword("Software\\Vorlix-Backup", "PASSWORTSCHUTZ", 1);
    const fs::path archive = FTarget / "Job 1.zip";

    // Nobody can be asked and no password is given: the job fails, nothing is written.
    auto result = Backup();
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.standardError.find("Fehler beim Packen!"), std::string::npos) << result.standardError;
    EXPECT_FALSE(fs::exists(archive));

    test::WriteFile(FDir / "passwort", "geheim\n");
    result = Backup({}, {{"VORLIXBACKUP_PASSWORD_FILE", (FDir / "passwort").string()}});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_NE(test::CommandOutput("unzip -t -P geheim '" + archive.string() + "'").find("No errors detected"), std::string::npos);
    EXPECT_EQ(test::CommandOutput("unzip -t -P falsch '" + archive.string() + "'").find("No errors detected"), std::string::npos);

    // With protection off again, newly written entries are not protected.
    FRegistry.WriteDword("Software\\Vorlix-Backup", "PASSWORTSCHUTZ", 0);
    test::WriteFile(FSource / "neu.txt", "neu");
    ASSERT_EQ(Backup().exitStatus, 0);
    const std::string source = FSource.relative_path().string();
    EXPECT_EQ(test::CommandOutput("unzip -p '" + archive.string() + "' '" + source + "/neu.txt'"), "neu");
}

TEST_F(BackupEndToEndTest, NamedJobsAndUnknownNames) {
    WriteDefinition("def2.csv", "Andere," + FSource.string() + ",*.jpg,1,0");
    WriteJobs({"Job 1," + FTarget.string() + "," + (FDir / "def1.csv").string() + ",0,",
               "Zweiter Job," + (FDir / "ziel2").string() + "," + (FDir / "def2.csv").string() + ",1,"});
    FRegistry.WriteDword("Software\\Vorlix-Backup", "STRATEGIE", 2);

    // A name that is no job is a failure, not a quiet success; each one is named.
    auto result = Backup({"Nix,Auch", "nicht"});
    EXPECT_EQ(result.exitStatus, 1) << result.standardError;
    EXPECT_NE(result.standardError.find("Einen Job namens „Nix“ gibt es"), std::string::npos)
        << result.standardError;
    EXPECT_NE(result.standardError.find("„Auch nicht“"), std::string::npos) << result.standardError;
    EXPECT_TRUE(Archives().empty());
    EXPECT_FALSE(fs::exists(FDir / "ziel2"));

    // Blanks inside names need no quotes; "Job 1" is not automatic but named.
    result = Backup({"Job", "1"});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(Archives(), std::vector<std::string>{"Job 1.zip"});
    EXPECT_FALSE(fs::exists(FDir / "ziel2"));

    // Without names: every automatic job, here only the second.
    fs::remove_all(FTarget);
    result = Backup();
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_TRUE(Archives().empty());
    EXPECT_TRUE(fs::exists(FDir / "ziel2/Zweiter Job.zip"));
}

TEST_F(BackupEndToEndTest, TargetFolderThatCannotBeCreatedFailsThePass) {
    test::WriteFile(FDir / "blockiert", "");
    WriteJobs({"Job 1," + (FDir / "blockiert/ziel").string() + "," + (FDir / "def1.csv").string() + ",1,"});
    const auto result = Backup();
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.standardError.find("kann nicht angelegt werden"), std::string::npos) << result.standardError;
}

// While another pass (backup or restore) holds the data folder's lock, a backup pass
// does not start: it says so and fails, and touches neither archives nor job list.
TEST_F(BackupEndToEndTest, SecondPassIsRefusedWhileOneRuns) {
    const std::string jobs = test::ReadFile(FData / "Backupjobs.csv");
    {
        platform::PassLock running(FData.string());
        const auto result = Backup();
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_NE(result.standardError.find("Eine Sicherung oder Wiederherstellung läuft bereits."),
                  std::string::npos)
            << result.standardError;
        EXPECT_TRUE(Archives().empty());
        EXPECT_EQ(test::ReadFile(FData / "Backupjobs.csv"), jobs);
    }
    const auto result = Backup();
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_FALSE(Archives().empty());
}

}  // namespace
}  // namespace vb
