// The backup run's steps and messages, with the window and its boxes played by a fake.
#include "backup/BackupRun.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "zip/ArchiveWriter.h"
#include "dbcheck/ExclusiveUseTest.h"
#include "platform/RegistryStore.h"
#include "settings/Settings.h"
#include "support/AsNobody.h"
#include "support/FakeWindow.h"
#include "support/TempDir.h"
#include "util/Utf8.h"

namespace vb {
namespace {

namespace fs = std::filesystem;

class BackupRunTest : public ::testing::Test {
protected:
    test::TempDir FDir;
    test::FakeWindow FWindow;
    TOptions FOptions{bsGleicheDatei, true, false, (FDir / "daten").string()};
    RegistryStore FRegistry{FDir / "registry.reg"};
    std::unique_ptr<ExclusiveUseTest> FDatabases = std::make_unique<ExclusiveUseTest>(FRegistry);
    ArchiveWriter FWriter;
    fs::path FSource = FDir / "quelle";

    void SetUp() override {
        fs::create_directories(FDir / "daten");
        fs::create_directories(FSource);
        FWindow.FDatenDir = FOptions.FDatenDir;
        for (const char* name : {"a.mdb", "b.txt", " c.txt"}) test::WriteFile(FSource / name, name);
        test::WriteFile(FDir / "daten/Backupjobs.csv",
                        "BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\nJob," +
                            (FDir / "ziel").string() + "," + (FDir / "def.csv").string() + ",1,\r\n");
    }
    void Definitions(const std::string& rows) {
        test::WriteFile(FDir / "def.csv", "NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\n" + rows);
    }
    bool Run() {
        if (!FWindow.Jobs.Active()) {
            FWindow.Jobs.SetFileName((FDir / "daten/Backupjobs.csv").string());
            FWindow.Jobs.Open();
        }
        FWindow.LoadCurrentJob();
        BackupRun run({FWindow.Jobs, FWindow.Defs, FWindow.DefRules, FWriter, *FDatabases, FOptions}, FWindow, FWindow);
        return run.BackupJob(FWindow.FJob);
    }
    std::vector<std::string> EntryNames() {
        std::vector<std::string> names;
        ArchiveWriter reader;
        reader.Open((FDir / "ziel/Job.zip").string());
        for (const auto& e : reader.Entries()) names.push_back(fs::path(e.Name).filename().string());
        reader.Close();
        return names;
    }
};

TEST_F(BackupRunTest, MasksSplitLikeTheSharedSplitter) {
    const struct {
        const char* masks;
        std::vector<std::string> entries;
    } cases[] = {
        {"*.mdb;*.txt", {"a.mdb", " c.txt", "b.txt"}},
        {"*.mdb;", {"a.mdb"}},
        {"*.mdb;;*.txt", {"a.mdb"}},
        {";*.mdb", {}},
        {"*.mdb; *.txt", {"a.mdb", " c.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.masks);
        fs::remove_all(FDir / "ziel");
        Definitions("Q," + FSource.string() + "," + c.masks + ",1,0\r\nAus," + FSource.string() + ",*,0,1\r\n");
        EXPECT_TRUE(Run());
        EXPECT_TRUE(FWindow.FShown.empty());
        auto names = EntryNames();
        auto expected = c.entries;
        std::sort(names.begin(), names.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected);
    }
    // The job row records the archive's name without its folder.
    EXPECT_EQ(FWindow.FJob.BackupFilename, "Job.zip");
    FWindow.Jobs.Close();
    EXPECT_NE(test::ReadFile(FDir / "daten/Backupjobs.csv").find(",Job.zip\r\n"), std::string::npos);
}

// A job with nothing to save is a failure that says so, once, and writes nothing.
TEST_F(BackupRunTest, JobWithNothingToSaveIsReported) {
    for (const std::string& rows : {std::string(), "Aus," + FSource.string() + ",*.*,0,1\r\n"}) {
        SCOPED_TRACE(rows);
        FWindow.FShown.clear();
        Definitions(rows);
        EXPECT_FALSE(Run());
        ASSERT_EQ(FWindow.FShown.size(), 1u);
        EXPECT_NE(FWindow.FShown[0].find("Fehler: Der Job \u201EJob\u201C hat keine Zeile, die gesichert werden soll"),
                  std::string::npos)
            << FWindow.FShown[0];
        EXPECT_FALSE(fs::exists(FDir / "ziel"));
    }
}

TEST_F(BackupRunTest, DatabaseInUseStopsTheRunWithTheListOfOpenFiles) {
    Definitions("Q," + FSource.string() + ",*.txt,1,0\r\n");
    const fs::path database = FDir / "vorlix2000n.mdb";
    fs::copy_file(VB_FIXTURES_DIR "/jet/jet4-nopw.mdb", database);
    FDatabases = std::make_unique<ExclusiveUseTest>(FRegistry, database.string());
    const int held = ::open(database.c_str(), O_RDONLY);  // someone has it open
    ASSERT_GE(held, 0);
    EXPECT_FALSE(Run());
    ::close(held);
    ASSERT_EQ(FWindow.FShown.size(), 1u);
    EXPECT_EQ(FWindow.FShown[0], "Fehler: Die folgenden Dateien sind noch geöffnet: \n\n" + database.string() +
                                    "\n\nBitte schließen Sie alle Anwendungen, die darauf zugreifen, "
                                    "und starten dann erneut.");
    EXPECT_FALSE(fs::exists(FDir / "ziel"));
}

TEST_F(BackupRunTest, DamagedArchiveIsReportedAndKept) {
    Definitions("Q," + FSource.string() + ",*.txt,1,0\r\n");
    fs::create_directories(FDir / "ziel");
    test::WriteFile(FDir / "ziel/Job.zip", "kein ZIP-Archiv");
    EXPECT_FALSE(Run());
    ASSERT_EQ(FWindow.FShown.size(), 1u);
    EXPECT_EQ(FWindow.FShown[0], "Meldung: Fehler beim Packen!\nUnhandled Archive Type");
    EXPECT_EQ(test::ReadFile(FDir / "ziel/Job.zip"), "kein ZIP-Archiv");
}

TEST_F(BackupRunTest, CancelledPasswordWritesAnUnprotectedArchive) {
    Definitions("Q," + FSource.string() + ",*.txt,1,0\r\n");
    FOptions.FUsePassword = true;
    EXPECT_TRUE(Run());
    ArchiveWriter check;
    check.Open((FDir / "ziel/Job.zip").string());
    ASSERT_FALSE(check.Entries().empty());
    for (const auto& e : check.Entries()) EXPECT_FALSE(e.IsEncrypted()) << e.Name;
}

TEST_F(BackupRunTest, FilesThatCannotBeReadAreNamed) {
    // A file that the user running the pass may not read; root runs the job as the
    // user nobody, for whom the folders of the test are open.
    const std::string unreadable = (FSource / "geheim.txt").string();
    test::WriteFile(unreadable, "geheim");
    Definitions("Q," + FSource.string() + ",*.txt,1,0\r\n");
    FWindow.Jobs.SetFileName((FDir / "daten/Backupjobs.csv").string());
    FWindow.Jobs.Open();
    FWindow.LoadCurrentJob();
    BackupRun run({FWindow.Jobs, FWindow.Defs, FWindow.DefRules, FWriter, *FDatabases, FOptions}, FWindow, FWindow);
    for (const auto& item : fs::recursive_directory_iterator(FDir.Path()))
        fs::permissions(item.path(), fs::perms::all);
    fs::permissions(FDir.Path(), fs::perms::all);
    fs::permissions(unreadable, fs::perms::none);
    auto runAsNobody = [&] {
        const test::AsNobody nobody;
        return run.BackupJob(FWindow.FJob);
    };
    EXPECT_TRUE(runAsNobody());
    EXPECT_EQ(run.MissingFiles(), std::vector<std::string>{unreadable});
    EXPECT_EQ(run.MissingFilesText(),
              "Die folgenden Dateien konnten nicht gelesen werden und fehlen in der Sicherung:\n\n" + unreadable);
    EXPECT_FALSE(run.JobComplete());
    auto names = EntryNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{" c.txt", "b.txt"}));
    const std::string log = utf8::fromUtf16le(test::ReadFile(FDir / "daten/VB-Backup.log"));
    EXPECT_NE(log.find("quelle/geheim.txt added "), std::string::npos) << log;
    EXPECT_NE(log.find("quelle/geheim.txt skipped "), std::string::npos) << log;

    // A saved file that changed and can no longer be read keeps its previous version
    // in the archive, and the message says so instead of calling it missing.
    const std::string changed = (FSource / "b.txt").string();
    test::WriteFile(changed, "b.txt, neuer Stand");
    fs::permissions(changed, fs::perms::none);
    EXPECT_TRUE(runAsNobody());
    EXPECT_EQ(run.MissingFiles(), std::vector<std::string>{unreadable});
    EXPECT_EQ(run.OutdatedFiles(), std::vector<std::string>{changed});
    EXPECT_EQ(run.MissingFilesText(),
              "Die folgenden Dateien konnten nicht gelesen werden und fehlen in der Sicherung:\n\n" + unreadable +
                  "\n\nDie folgenden Dateien konnten nicht gelesen werden oder wurden während der Sicherung "
                  "verändert; die Sicherung enthält ihren vorigen Stand:\n\n" + changed);
    EXPECT_FALSE(run.JobComplete());
    names = EntryNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{" c.txt", "b.txt"}));
}

// Protection on and nobody to ask (an unattended pass without a display and no password
// in the environment): the job fails with its message and writes no archive.
TEST_F(BackupRunTest, ProtectedRunWithoutAnyoneToAskWritesNothing) {
    Definitions("Q," + FSource.string() + ",*.txt,1,0\r\n");
    FOptions.FUsePassword = true;
    FWindow.FCanPrompt = false;
    EXPECT_FALSE(Run());
    EXPECT_EQ(FWindow.FShown, std::vector<std::string>{"Meldung: Fehler beim Packen!\nKein Passwort für die geschützte "
                                                      "Sicherung angegeben (VORLIXBACKUP_PASSWORD_FILE oder "
                                                      "VORLIXBACKUP_PASSWORD)."});
    EXPECT_FALSE(fs::exists(FDir / "ziel/Job.zip"));
}

// A pass goes on after a job that fails: the next job's archive is written, and the
// pass as a whole counts as incomplete.
TEST_F(BackupRunTest, PassGoesOnAfterAFailingJob) {
    Definitions("Q," + FSource.string() + ",*.txt,1,0\r\n");
    test::WriteFile(FDir / "kein-ordner", "");  // a file where the first job's target folder should be
    test::WriteFile(FDir / "daten/Backupjobs.csv",
                    "BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\nErster," +
                        (FDir / "kein-ordner/ziel").string() + "," + (FDir / "def.csv").string() + ",1,\r\nJob," +
                        (FDir / "ziel").string() + "," + (FDir / "def.csv").string() + ",1,\r\n");
    FWindow.Jobs.SetFileName((FDir / "daten/Backupjobs.csv").string());
    FWindow.Jobs.Open();
    const bool unattended = true;
    test::WindowRuns runs(FWindow, *FDatabases, FOptions, unattended);
    runs.ThePass.Run(PassKind::Backup, "");
    ASSERT_EQ(FWindow.FShown.size(), 1u);
    EXPECT_NE(FWindow.FShown[0].find("kein-ordner/ziel"), std::string::npos) << FWindow.FShown[0];
    auto names = EntryNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{" c.txt", "b.txt"}));
    EXPECT_TRUE(runs.ThePass.Incomplete());
}

// The user moves the job table's row while the run packs (a click in the job grid
// while the window breathes): the job is reloaded in the middle of the run, and the
// run still names, records and reports its archive for its own job.
TEST_F(BackupRunTest, MovingTheJobRowDuringARunReloadsTheJobButTheRunKeepsItsOwn) {
    Definitions("Q," + FSource.string() + ",*.txt,1,0\r\n");
    test::WriteFile(FDir / "daten/Backupjobs.csv",
                    "BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\nAnderer," +
                        (FDir / "anderes-ziel").string() + "," + (FDir / "def.csv").string() + ",1,\r\nJob," +
                        (FDir / "ziel").string() + "," + (FDir / "def.csv").string() + ",1,\r\n");
    FWindow.Jobs.SetFileName((FDir / "daten/Backupjobs.csv").string());
    FWindow.Jobs.Open();
    FWindow.Jobs.MoveTo(1);
    ASSERT_EQ(FWindow.FJob.Bezeichnung, "Job");
    std::string reloaded;
    FWindow.FOnBreathe = [&] {
        if (!reloaded.empty()) return;
        FWindow.Jobs.MoveTo(0);
        reloaded = FWindow.FJob.Bezeichnung;
    };
    BackupRun run({FWindow.Jobs, FWindow.Defs, FWindow.DefRules, FWriter, *FDatabases, FOptions}, FWindow, FWindow);
    EXPECT_TRUE(run.BackupJob(FWindow.FJob));
    EXPECT_EQ(reloaded, "Anderer");
    EXPECT_TRUE(FWindow.FShown.empty()) << ::testing::PrintToString(FWindow.FShown);
    EXPECT_EQ(EntryNames().size(), 2u);
    EXPECT_FALSE(fs::exists(FDir / "anderes-ziel"));
    const int archiveColumn = FWindow.Jobs.FieldByName("BACKUPDATEI");
    EXPECT_EQ(FWindow.Jobs.TextAt(0, archiveColumn), "");
    EXPECT_EQ(FWindow.Jobs.TextAt(1, archiveColumn), "Job.zip");
    EXPECT_EQ(FWindow.FJob.BackupFilename, "");  // the other job has no archive of this run
    FWindow.Jobs.Close();
    EXPECT_NE(test::ReadFile(FDir / "daten/Backupjobs.csv").find("ziel," + (FDir / "def.csv").string() + ",1,Job.zip\r\n"),
              std::string::npos);
    EXPECT_EQ(test::ReadFile(FDir / "daten/Backupjobs.csv").find("anderes-ziel," + (FDir / "def.csv").string() + ",1,Job.zip"),
              std::string::npos);
}

}  // namespace
}  // namespace vb
