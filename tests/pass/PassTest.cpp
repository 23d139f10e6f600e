// The pass engine: both directions choose, run and report their jobs alike.
#include "pass/Pass.h"

#include <gtest/gtest.h>

#include <set>

#include "dbcheck/ExclusiveUseTest.h"
#include "platform/PassLock.h"
#include "platform/RegistryStore.h"
#include "settings/Settings.h"
#include "support/FakeWindow.h"
#include "support/TempDir.h"

namespace vb {
namespace {

namespace fs = std::filesystem;

struct Row {
    std::string Name;
    bool Automatic;
};

struct Case {
    const char* Title;
    std::vector<Row> Rows;
    std::string Names;                  // the job-list text of the pass
    std::set<std::string> Done;         // the jobs whose files are saved, or come back
    std::vector<std::string> Messages;  // what the pass says, in order; "@B" stands for the failing job's message
    bool Incomplete[2];                 // after the backup pass, after the restore pass
};

// Job "B" cannot work: its target folder lies below a file, so it can be neither
// made nor hold an archive.
const Case kCases[] = {
    {"automatic rows", {{"A", true}, {"M", false}, {"C", true}}, "", {"A", "C"}, {}, {false, false}},
    {"a failing job between two good ones", {{"A", true}, {"B", true}, {"C", true}}, "", {"A", "C"}, {"@B"}, {true, true}},
    {"named jobs, automatic or not, in the order named",
     {{"A", true}, {"M", false}, {"C", true}},
     " M ,C",
     {"M", "C"},
     {},
     {false, false}},
    {"unknown names",
     {{"A", true}, {"C", true}},
     "Nix,A, ,C",
     {"A", "C"},
     {"Fehler: Einen Job namens \u201ENix\u201C gibt es in der Jobliste @LIST nicht; er wurde nicht @DONE.",
      "Fehler: Einen Job namens \u201E\u201C gibt es in der Jobliste @LIST nicht; er wurde nicht @DONE."},
     {true, true}},
    {"no automatic job",
     {{"M", false}},
     "",
     {},
     {"@KIND: Die Jobliste @LIST enth\u00E4lt keinen automatischen Job; es wurde nichts @DONE."},
     {true, false}},
};

class PassTest : public ::testing::TestWithParam<PassKind> {
protected:
    test::TempDir FDir;
    test::FakeWindow FWindow;
    TOptions FOptions{bsGleicheDatei, true, false, (FDir / "daten").string()};
    RegistryStore FRegistry{FDir / "registry.reg"};
    ExclusiveUseTest FDatabases{FRegistry};
    const bool FUnattended = true;
    test::WindowRuns FRuns{FWindow, FDatabases, FOptions, FUnattended};

    fs::path Source(const std::string& job) const { return FDir / "quelle" / job; }
    fs::path Target(const std::string& job) const { return job == "B" ? FDir / "blocker/ziel" : FDir / "ziel" / job; }
    std::string JobList() const { return (FDir / "daten/Backupjobs.csv").string(); }

    // Each job saves its own folder with one file into its own target folder.
    void Prepare(const std::vector<Row>& rows) {
        fs::create_directories(FDir / "daten");
        test::WriteFile(FDir / "blocker", "");
        FWindow.FDatenDir = FOptions.FDatenDir;
        FWindow.FRestoreRoot = "/";
        std::string list = "BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\n";
        for (const Row& row : rows) {
            fs::create_directories(Source(row.Name));
            test::WriteFile(Source(row.Name) / (row.Name + ".txt"), "Daten " + row.Name);
            const fs::path definitions = FDir / ("def" + row.Name + ".csv");
            test::WriteFile(definitions, "NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nQ," + Source(row.Name).string() +
                                             ",*.txt,1,0\r\n");
            list += row.Name + "," + Target(row.Name).string() + "," + definitions.string() + "," +
                    (row.Automatic ? "1" : "0") + ",\r\n";
        }
        test::WriteFile(JobList(), list);
        FWindow.Jobs.SetFileName(JobList());
        FWindow.Jobs.Open();
    }

    // The jobs whose work is there: an archive after a backup, the file after a restore.
    std::set<std::string> Done(const std::vector<Row>& rows) const {
        std::set<std::string> done;
        for (const Row& row : rows) {
            const bool there = GetParam() == PassKind::Backup ? fs::exists(Target(row.Name) / (row.Name + ".zip"))
                                                              : fs::exists(Source(row.Name) / (row.Name + ".txt"));
            if (there) done.insert(row.Name);
        }
        return done;
    }

    std::string Expected(std::string message) const {
        const auto put = [&](const std::string& mark, const std::string& text) {
            for (std::size_t at; (at = message.find(mark)) != std::string::npos;) message.replace(at, mark.size(), text);
        };
        put("@LIST", JobList());
        put("@DONE", GetParam() == PassKind::Backup ? "gesichert" : "wiederhergestellt");
        // Nothing to restore is no failure: the restore pass only says so.
        put("@KIND", GetParam() == PassKind::Backup ? "Fehler" : "Meldung");
        return message;
    }
};

TEST_P(PassTest, BothPassesChooseRunAndReportTheirJobsAlike) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.Title);
        FWindow.Jobs.Close();
        fs::remove_all(FDir / "quelle");
        fs::remove_all(FDir / "ziel");
        Prepare(c.Rows);
        if (GetParam() == PassKind::Restore) {
            // Every job that can has its archive; then its files are gone.
            std::string good;
            for (const Row& row : c.Rows) {
                if (row.Name != "B") good += (good.empty() ? "" : ",") + row.Name;
            }
            if (!good.empty()) FRuns.ThePass.Run(PassKind::Backup, good);
            ASSERT_TRUE(FWindow.FShown.empty()) << ::testing::PrintToString(FWindow.FShown);
            for (const Row& row : c.Rows) fs::remove(Source(row.Name) / (row.Name + ".txt"));
        }
        FRuns.ThePass.Run(GetParam(), c.Names);
        EXPECT_EQ(Done(c.Rows), c.Done);
        ASSERT_EQ(FWindow.FShown.size(), c.Messages.size()) << ::testing::PrintToString(FWindow.FShown);
        for (std::size_t i = 0; i < c.Messages.size(); ++i) {
            if (c.Messages[i] == "@B") {
                EXPECT_EQ(FWindow.FShown[i].rfind("Fehler: ", 0), 0u) << FWindow.FShown[i];
                EXPECT_NE(FWindow.FShown[i].find(Target("B").string()), std::string::npos) << FWindow.FShown[i];
            } else {
                EXPECT_EQ(FWindow.FShown[i], Expected(c.Messages[i]));
            }
        }
        EXPECT_EQ(FRuns.ThePass.Incomplete(), c.Incomplete[GetParam() == PassKind::Backup ? 0 : 1]);
        FWindow.FShown.clear();
    }
}

// The pass takes the data folder's lock once for all its jobs: while another pass
// holds it, nothing runs; afterwards the lock is free again.
TEST_P(PassTest, AnotherRunningPassStopsThisOne) {
    Prepare({{"A", true}});
    {
        platform::PassLock running(FOptions.FDatenDir);
        FRuns.ThePass.Run(GetParam(), "");
        EXPECT_EQ(FWindow.FShown, std::vector<std::string>{std::string("Fehler: ") + platform::kPassRunningMessage});
        EXPECT_TRUE(FRuns.ThePass.Incomplete());
    }
    EXPECT_NO_THROW(platform::PassLock(FOptions.FDatenDir));
}

INSTANTIATE_TEST_SUITE_P(BothDirections, PassTest, ::testing::Values(PassKind::Backup, PassKind::Restore),
                         [](const auto& info) { return info.param == PassKind::Backup ? "Backup" : "Restore"; });

}  // namespace
}  // namespace vb
