// The job list: the first start, the current job following the current row, and
// inserting, posting and deleting jobs.
#include <gtest/gtest.h>

#include "support/FakeHost.h"
#include "catalogue/CsvTable.h"
#include "catalogue/JobList.h"
#include "support/TempDir.h"
#include "util/Error.h"

namespace vb {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const std::string kFourColumnHeader = "BEZEICHNUNG:$255,ZIELVERZEICHNIS:$255,DEFINITIONSDATEI:$255,AUTOMATIK:!";

class JobListTest : public ::testing::Test {
protected:
    JobListTest() {
        FHost.FDatenDir = FDir.Path().string();
        FHost.FList = &FList;
    }
    std::string Daten(const std::string& name) const { return (FDir / name).string(); }

    // A job list with these rows (name, target) already on disk, opened.
    void OpenWith(const std::vector<std::pair<std::string, std::string>>& jobs) {
        std::string text = kFourColumnHeader + "\r\n";
        for (const auto& [name, target] : jobs) text += name + "," + target + "," + Daten("JobDef_" + name + ".csv") + ",1\r\n";
        WriteFile(FDir / "Backupjobs.csv", text);
        FList.Open(FHost.FDatenDir, "/opt");
    }
    std::vector<std::string> Rows() {
        std::vector<std::string> names;
        for (int row = 0; row < FTable.RecordCount(); ++row) names.push_back(FTable.TextAt(row, 0));
        return names;
    }

    TempDir FDir;
    CsvTable FTable{kJobListDefinition};
    test::FakeHost FHost;
    JobList FList{FTable, FHost, FHost};
};

TEST_F(JobListTest, FirstStartWritesTheDefaultFilesByteForByte) {
    test::FakeHost defHost;
    CsvTable defTable(kDefinitionListDefinition);
    DefinitionList definitions(defTable, defHost);

    FList.Open(FHost.FDatenDir, "/var/backups/vorlixbackup");
    EXPECT_EQ(FHost.FLoads, 1);  // opening made the first job current
    EXPECT_EQ(FHost.FJob.Bezeichnung, "Vorlix-Backup");
    EXPECT_EQ(FHost.FJob.DestDir, "/var/backups/vorlixbackup");
    EXPECT_EQ(FHost.FJob.DefFile, Daten("Vorlixbackup.csv"));
    EXPECT_TRUE(FHost.FJob.Auto);
    definitions.OpenWithDefaults(FHost.FJob, "/opt");

    const std::string jobs =
        kFourColumnHeader + "\r\nVorlix-Backup,/var/backups/vorlixbackup," + Daten("Vorlixbackup.csv") + ",1\r\n";
    EXPECT_EQ(ReadFile(FDir / "Backupjobs.csv"), jobs);
    EXPECT_EQ(ReadFile(FDir / "Vorlixbackup.csv"),
              "NAME:$255,PFAD:$255,DATEIMASKE:$255,SICHERN:!,REKURSIV:!\r\n"
              "Kursverwaltung,/opt/Kursverwaltung,*.blo,1,1\r\n"
              "Vorlix-Datenbank,/opt/Vorlix/DB,vorlix2000n.mdb,1,0\r\n"
              "Vorlix-Reportverzeichnis,/opt/Vorlix/Vorlix-Reports,*.rtm,1,1\r\n"
              "Vorlix-Programmverzeichnis,/opt/Vorlix,*.ini;*.txt;*.html,1,1\r\n"
              "Vorlix-Verwaltungsverzeichnis,/opt/Vorlix/Keytabs,*.mdb,1,0\r\n"
              "Standardtexte,/opt/Vorlix/Keytabs/Standardtexte,*.*,1,1\r\n"
              "Stundenplan,/opt/Plantafel,*.wpl;*.vpl;*.vp,1,0\r\n");
    EXPECT_EQ(defTable.RecordCount(), 7);

    // Nothing posted: the four-column header stays.
    FTable.Close();
    defTable.Close();
    EXPECT_EQ(ReadFile(FDir / "Backupjobs.csv"), jobs);

    // The second example: a job appended with its target folder, then the end.
    FList.Open(FHost.FDatenDir, "/opt");
    FTable.Append();
    FTable.SetText("ZIELVERZEICHNIS", "/mnt/Sicherung");
    ASSERT_TRUE(FTable.Post());
    FTable.Close();
    EXPECT_EQ(ReadFile(FDir / "Backupjobs.csv"),
              kFourColumnHeader + ",BACKUPDATEI\r\nJob_2,/mnt/Sicherung," + Daten("JobDef_2.csv") +
                  ",1,\r\nVorlix-Backup,/var/backups/vorlixbackup," + Daten("Vorlixbackup.csv") + ",1\r\n");
}

TEST_F(JobListTest, DataFolderWithACommaStaysOneField) {
    const auto daten = FDir / "Schule, alt";
    std::filesystem::create_directory(daten);
    FHost.FDatenDir = daten.string();
    FList.Open(daten.string(), "/opt");
    EXPECT_EQ(FHost.FJob.DefFile, (daten / "Vorlixbackup.csv").string());
    EXPECT_TRUE(FHost.FJob.Auto);
}

TEST_F(JobListTest, InsertProposesTheNextJob) {
    OpenWith({{"Job_1", "/a"}, {"Job_2", "/b"}});
    FTable.Insert();
    EXPECT_EQ(FTable.GetText("BEZEICHNUNG"), "Job_3");
    EXPECT_EQ(FTable.GetText("DEFINITIONSDATEI"), Daten("JobDef_3.csv"));
    EXPECT_EQ(FTable.GetText("ZIELVERZEICHNIS"), "");
    EXPECT_TRUE(FTable.GetBool("AUTOMATIK"));
    EXPECT_TRUE(FHost.FQuestions.empty());
    EXPECT_EQ(ReadFile(FDir / "JobDef_3.csv"), "NAME:$255,PFAD:$255,DATEIMASKE:$255,SICHERN:!,REKURSIV:!\r\n");
    // Cancelling leaves the file behind.
    FTable.Cancel();
    EXPECT_TRUE(std::filesystem::exists(FDir / "JobDef_3.csv"));
}

TEST_F(JobListTest, InsertAfterADeleteAsksBeforeOverwriting) {
    OpenWith({{"Job_1", "/a"}, {"Job_2", "/b"}});
    WriteFile(FDir / "JobDef_2.csv", "NAME\r\nschon,da\r\n");
    FTable.Delete();  // Job_1; "&Nein" keeps its definition file
    ASSERT_EQ(Rows(), (std::vector<std::string>{"Job_2"}));
    EXPECT_TRUE(FHost.FTrashed.empty());

    struct Case {
        bool answer;
        std::string fileAfter;
    } cases[] = {
        {false, "NAME\r\nschon,da\r\n"},
        {true, "NAME:$255,PFAD:$255,DATEIMASKE:$255,SICHERN:!,REKURSIV:!\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer ? "Ja" : "Nein");
        FHost.FQuestions.clear();
        FHost.FAnswers = {c.answer};
        FTable.Insert();
        ASSERT_EQ(FHost.FQuestions.size(), 1u);
        EXPECT_EQ(FHost.FQuestions[0], "JobDef_2.csv existiert bereits. Soll die Datei überschrieben werden?");
        EXPECT_EQ(ReadFile(FDir / "JobDef_2.csv"), c.fileAfter);
        EXPECT_EQ(FTable.GetText("BEZEICHNUNG"), "Job_2");
        EXPECT_EQ(FTable.GetText("DEFINITIONSDATEI"), Daten("JobDef_2.csv"));
        try {
            FTable.Post();
            ADD_FAILURE() << "the clashing name was posted";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), Daten("Backupjobs.csv") + " - Key is not unique ");
        }
        EXPECT_EQ(FTable.State(), CsvTableState::Insert);
        FTable.Cancel();
    }
}

TEST_F(JobListTest, InsertFailsWhenTheDataFolderIsGone) {
    OpenWith({{"Job_1", "/a"}});
    FHost.FDatenDir = Daten("weg");
    EXPECT_THROW(FTable.Insert(), Error);
    EXPECT_EQ(FTable.State(), CsvTableState::Insert);
    EXPECT_EQ(FTable.GetText("BEZEICHNUNG"), "");
    EXPECT_TRUE(FTable.IsNull(FTable.FieldByName("AUTOMATIK")));
}

TEST_F(JobListTest, PostSortsAndTheFirstJobBecomesCurrent) {
    OpenWith({{"Zeta", "/z"}, {"Alpha", "/a"}, {"job_a", "/j"}});
    FTable.First();  // Zeta
    FHost.FLoads = 0;
    FTable.Edit();
    FTable.SetText("ZIELVERZEICHNIS", "/neu");
    ASSERT_TRUE(FTable.Post());
    EXPECT_EQ(FHost.FJob.Bezeichnung, "Alpha");
    EXPECT_EQ(FHost.FLoads, 1);
    EXPECT_EQ(FHost.FFills, 1);
    EXPECT_EQ(FHost.FSelectorItems, (std::vector<std::string>{"Alpha", "Zeta", "job_a"}));

    FTable.Append();
    FTable.SetText("BEZEICHNUNG", "Job_B");
    ASSERT_TRUE(FTable.Post());
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Alpha", "Job_B", "Zeta", "job_a"}));
}

TEST_F(JobListTest, DeleteMovesTheDefinitionFileToTheTrashOnlyOnYes) {
    for (bool answer : {true, false}) {
        SCOPED_TRACE(answer ? "Ja" : "Nein");
        OpenWith({{"Job_1", "/a"}, {"Job_2", "/b"}});
        WriteFile(FDir / "JobDef_Job_1.csv", "NAME\r\n");
        FHost.FTrashed.clear();
        FHost.FQuestions.clear();
        FHost.FAnswers = {answer};
        FTable.Delete();
        EXPECT_EQ(FHost.FQuestions, (std::vector<std::string>{"Soll die Definitionsdatei gelöscht werden?"}));
        EXPECT_EQ(FHost.FTrashed, answer ? std::vector<std::string>{Daten("JobDef_Job_1.csv")} : std::vector<std::string>{});
        EXPECT_EQ(Rows(), (std::vector<std::string>{"Job_2"}));
        EXPECT_EQ(FHost.FJob.Bezeichnung, "Job_2");
        FTable.CloseDiscarding();
    }
    // No file: nothing to move.
    std::filesystem::remove(FDir / "JobDef_Job_1.csv");
    OpenWith({{"Job_1", "/a"}});
    FHost.FTrashed.clear();
    FHost.FAnswers = {true};
    FTable.Delete();
    EXPECT_TRUE(FHost.FTrashed.empty());
    EXPECT_TRUE(FTable.IsEmpty());
    EXPECT_EQ(FHost.FJob.Bezeichnung, "");  // no job left
}

TEST_F(JobListTest, ChooseByNameAndSelectorItems) {
    OpenWith({{"Alpha", "/a"}, {"Beta", "/b"}, {"Gamma", "/g"}});
    FTable.Next();  // Beta
    const int loads = FHost.FLoads;
    // Listing the names leaves the current job alone.
    EXPECT_EQ(FList.Names(), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
    EXPECT_EQ(FHost.FLoads, loads);
    EXPECT_EQ(FList.CurrentName(), "Beta");

    EXPECT_FALSE(FList.ChooseByName("Gam"));
    EXPECT_FALSE(FList.ChooseByName("gamma"));
    EXPECT_EQ(FHost.FJob.Bezeichnung, "Beta");
    EXPECT_TRUE(FList.ChooseByName("Gamma"));
    EXPECT_EQ(FHost.FJob.Bezeichnung, "Gamma");
    EXPECT_EQ(FHost.FJob.DestDir, "/g");

    // Edits in progress do not make another job current.
    FTable.Edit();
    FTable.SetText("ZIELVERZEICHNIS", "/x");
    EXPECT_EQ(FHost.FJob.DestDir, "/g");
}

// A run makes each of its jobs current through MakeCurrent: the job is loaded exactly
// once, whether its row was current already or not.
TEST_F(JobListTest, MakeCurrentLoadsTheRowsJobOnce) {
    OpenWith({{"Alpha", "/a"}, {"Beta", "/b"}});
    FHost.FJob.BackupFilename = "Alpha.zip";
    const struct {
        int row;
        const char* job;
        const char* dest;
    } steps[] = {{0, "Alpha", "/a"}, {1, "Beta", "/b"}, {1, "Beta", "/b"}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.row);
        const int loads = FHost.FLoads;
        FList.MakeCurrent(step.row);
        EXPECT_EQ(FHost.FLoads, loads + 1);
        EXPECT_EQ(FTable.CurrentRow(), step.row);
        EXPECT_EQ(FHost.FJob.Bezeichnung, step.job);
        EXPECT_EQ(FHost.FJob.DestDir, step.dest);
        EXPECT_EQ(FHost.FJob.DefFile, Daten(std::string("JobDef_") + step.job + ".csv"));
        EXPECT_TRUE(FHost.FJob.Auto);
    }
    // The copy leaves the archive name alone; the window's archive browser sets it.
    EXPECT_EQ(FHost.FJob.BackupFilename, "Alpha.zip");
}

// A job name with a slash or a NUL would put its archives outside the target folder:
// the post is refused like a name that is not unique, and the row stays in edit.
TEST_F(JobListTest, PostRefusesSlashAndNulInTheName) {
    OpenWith({{"Alpha", "/a"}});
    for (const std::string& name : {std::string("Klasse 5/6"), std::string("../x"), std::string("a\0b", 3)}) {
        SCOPED_TRACE(name);
        FTable.First();
        FTable.Edit();
        FTable.SetText("BEZEICHNUNG", name);
        try {
            FTable.Post();
            FAIL() << "posted";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(Daten("Backupjobs.csv") + " - Der Jobname"), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("darf keinen Schr\u00E4gstrich (/) und kein Nullzeichen"),
                      std::string::npos);
        }
        EXPECT_EQ(FTable.State(), CsvTableState::Edit);
        FTable.Cancel();
    }
    EXPECT_EQ(Rows(), std::vector<std::string>{"Alpha"});
}

// Recording archive names changes those cells of the file as it is on disk: rows
// and fields another program wrote meanwhile stay, unknown names change nothing.
TEST_F(JobListTest, RecordingArchiveNamesChangesOnlyThoseCells) {
    const std::string file = Daten("Backupjobs.csv");
    const std::string text = kFourColumnHeader + ",BACKUPDATEI\r\n"
                             "Beta,/b,\"/d/Beta, alt.csv\",1,alt.zip,extra\r\n"
                             "Alpha,/a,/d/a.csv,0\r\n"
                             "Neu,/n,/d/n.csv,1,\r\n";
    WriteFile(FDir / "Backupjobs.csv", text);
    RecordBackupFiles(file, {{"Alpha", "Alpha-26-12-10.zip"}, {"Beta", "Beta.zip"}, {"Fehlt", "x.zip"}});
    EXPECT_EQ(ReadFile(FDir / "Backupjobs.csv"), kFourColumnHeader + ",BACKUPDATEI\r\n"
                                                 "Beta,/b,\"/d/Beta, alt.csv\",1,Beta.zip,extra\r\n"
                                                 "Alpha,/a,/d/a.csv,0,Alpha-26-12-10.zip\r\n"
                                                 "Neu,/n,/d/n.csv,1,\r\n");
    // Nothing to change: the file is not written at all.
    const auto before = std::filesystem::last_write_time(FDir / "Backupjobs.csv");
    std::filesystem::last_write_time(FDir / "Backupjobs.csv", before - std::chrono::hours(1));
    RecordBackupFiles(file, {{"Fehlt", "x.zip"}});
    EXPECT_EQ(std::filesystem::last_write_time(FDir / "Backupjobs.csv"), before - std::chrono::hours(1));
}

}  // namespace
}  // namespace vb
