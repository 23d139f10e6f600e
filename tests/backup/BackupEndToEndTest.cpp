// Runs the real program as a scheduler would: /BACKUP, headless, with an isolated
// configuration and data folder, and checks the archives with Info-ZIP's unzip.
#include <sstream>

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

// A target folder inside the saved folder, here named by another path (through a
// link to the source folder), never makes an archive take in an archive of its own
// job, a leftover of one, or another job's archive in that folder: the newest archive
// keeps its size night after night with every strategy. An archive that no job names
// is saved like any other file.
TEST_F(BackupEndToEndTest, ArchivesInTheSavedFolderAreNeverTakenIn) {
    const fs::path target = FSource / "Sicherungen";
    fs::create_directories(target);
    fs::create_directory_symlink(FSource, FDir / "verweis");
    test::CommandOutput(
        "python3 -c \"import sys,zipfile; zipfile.ZipFile(sys.argv[1], 'w').writestr('x.txt', 'fremd')\" '" +
        (target / "fremd.zip").string() + "'");
    test::WriteFile(target / ".Job 1_3.zip.vbtmp-a1B2c3", "Rest eines abgebrochenen Laufs");
    WriteDefinition("def1.csv", "Quelle," + FSource.string() + ",*.*,1,1");
    WriteDefinition("def2.csv", "Bilder," + FSource.string() + ",*.jpg,1,0");
    WriteJobs({"Job 1," + (FDir / "verweis/Sicherungen").string() + "," + (FDir / "def1.csv").string() + ",1,",
               "Job 2," + target.string() + "/," + (FDir / "def2.csv").string() + ",0,"});
    // The archive the job list names as the job's last one.
    auto lastArchive = [&](const std::string& job) {
        const std::string jobs = test::ReadFile(FData / "Backupjobs.csv");
        const std::size_t row = jobs.find("\n" + job + ",");
        const std::size_t end = jobs.find("\r\n", row + 1);
        return target / jobs.substr(jobs.rfind(',', end) + 1, end - jobs.rfind(',', end) - 1);
    };
    for (std::uint32_t strategy : {0u, 1u, 2u}) {
        SCOPED_TRACE(strategy);
        for (const auto& item : fs::directory_iterator(target)) {
            if (item.path().filename().string().starts_with("Job ")) fs::remove(item.path());
        }
        FRegistry.WriteDword("Software\\Vorlix-Backup", "STRATEGIE", strategy);
        auto result = Backup({"Job 2"});
        ASSERT_EQ(result.exitStatus, 0) << result.standardError;
        std::uintmax_t firstSize = 0;
        for (int run = 1; run <= 4; ++run) {
            SCOPED_TRACE(run);
            result = Backup({"Job 1"});
            ASSERT_EQ(result.exitStatus, 0) << result.standardError;
            const std::uintmax_t size = fs::file_size(lastArchive("Job 1"));
            if (run == 1) firstSize = size;
            EXPECT_EQ(size, firstSize) << "the archive grew";
        }
        int archives = 0;
        for (const auto& item : fs::directory_iterator(target)) {
            const std::string name = item.path().filename().string();
            if (!name.starts_with("Job 1")) continue;
            SCOPED_TRACE(name);
            ++archives;
            const std::string listing = Listing(item.path());
            EXPECT_NE(listing.find("/Sicherungen/fremd.zip\n"), std::string::npos) << listing;
            EXPECT_NE(listing.find("/brief.txt\n"), std::string::npos) << listing;
            std::istringstream entries(listing);
            for (std::string entry; std::getline(entries, entry);) {
                const std::string file = entry.substr(entry.rfind('/') + 1);
                EXPECT_TRUE(!file.ends_with(".zip") || file == "fremd.zip") << entry;
                EXPECT_EQ(file.find(".vbtmp-"), std::string::npos) << entry;
                EXPECT_EQ(file.find(".vbneu"), std::string::npos) << entry;
            }
        }
        // (Per day: two when midnight passed meanwhile.)
        EXPECT_TRUE(strategy == 1 ? archives == 3 : archives >= 1) << archives;
    }
}

// Two rows that select the same files (one folder, overlapping masks) pack each file
// once, and the archive is written once, at the end: a run ended as soon as its new
// first generation is complete, before the older ones move, holds every selected file.
TEST_F(BackupEndToEndTest, FileSelectedTwiceIsPackedOnceAndOnlyAtTheEnd) {
    FRegistry.WriteDword("Software\\Vorlix-Backup", "STRATEGIE", 1);
    WriteDefinition("def1.csv",
                    "A," + FSource.string() + ",*.txt;*.mdb;b*.txt,1,1\r\nB," + FSource.string() + ",*.mdb;*.ini,1,1");
    const std::string source = FSource.relative_path().string();
    const std::string expected =
        source + "/brief.txt\n" + source + "/Schüler.mdb\n" + source + "/Unterordner/noten.ini\n";
    const auto ended = Backup({}, {{"VB_TEST_EXIT_AT_ROTATION_STEP", "1"}});
    EXPECT_NE(ended.exitStatus, 0);
    EXPECT_EQ(Listing(FTarget / "Job 1_1.zip.vbneu"), expected);
    const auto result = Backup();
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(Listing(FTarget / "Job 1_1.zip"), expected);
    EXPECT_EQ(Listing(FTarget / "Job 1_2.zip"), expected);
}

// A file whose name is no valid UTF-8 cannot be stored: it is named after the job, the
// log has its " skipped " line (the undecodable byte shown as U+FFFD), the pass fails,
// and the other files are saved.
TEST_F(BackupEndToEndTest, NameThatIsNoUtf8IsLoggedAsSkippedAndFailsThePass) {
    FRegistry.WriteDword("Software\\Vorlix-Backup", "STRATEGIE", 2);
    test::WriteFile(FSource / "Zeugnis \xE4.txt", "Latin-1");
    const auto result = Backup();
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.standardError.find("fehlen in der Sicherung"), std::string::npos) << result.standardError;
    EXPECT_NE(result.standardError.find("Zeugnis "), std::string::npos) << result.standardError;
    const std::string source = FSource.relative_path().string();
    EXPECT_NE(Log().find(source + "/Zeugnis \uFFFD.txt skipped "), std::string::npos) << Log();
    EXPECT_NE(Listing(FTarget / "Job 1.zip").find(source + "/brief.txt\n"), std::string::npos);
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
