#pragma once
// The restore run's test fixture: the window and its boxes played by a fake (shared
// with the backup run's tests), a job
// whose definition list saves the restore root, and archives written by Python's
// zipfile (tests/restore/make_zip.py).
#include <gtest/gtest.h>

#include <cstdlib>

#include "dbcheck/ExclusiveUseTest.h"
#include "platform/RegistryStore.h"
#include "settings/Settings.h"
#include "support/FakeWindow.h"
#include "support/TempDir.h"
#include "util/Utf8.h"

namespace vb::test {

namespace fs = std::filesystem;

// The window of a restore: its password prompt is the restore's, and its browser
// opens the job's first archive after each job change.
class RestoreWindow : public FakeWindow {
public:
    RestoreWindow() {
        FBrowsesArchives = true;
        FStatus = "vorher";
    }
    std::optional<std::string> AskPassword(const std::string& title, const std::string& label) override {
        EXPECT_EQ(title, "Passworteingabe");
        EXPECT_EQ(label, "Passwort:");
        return FakeHost::AskPassword(title, label);
    }
};

class RestoreRunTest : public ::testing::Test {
protected:
    TempDir FDir;
    RestoreWindow FWindow;
    TOptions FOptions{bsGleicheDatei, true, false, (FDir / "daten").string()};
    RegistryStore FRegistry{FDir / "registry.reg"};
    ExclusiveUseTest FDatabases{FRegistry};
    bool FAuto = false;
    fs::path FArchives = FDir / "archive";
    fs::path FRoot = FDir / "wurzel";
    WindowRuns FRuns{FWindow, FDatabases, FOptions, FAuto};
    RestoreRun& FRun = FRuns.Restore;
    Pass& FPass = FRuns.ThePass;

    void SetUp() override {
        fs::create_directories(FDir / "daten");
        fs::create_directories(FArchives);
        fs::create_directories(FRoot);
        FWindow.FRestoreRoot = FRoot.string() + "/";
        SavedFolders({FRoot.string()});
        Jobs("");
    }
    // The job's definition list saves `folders`: an unattended restore writes below them only.
    void SavedFolders(const std::vector<std::string>& folders) {
        std::string lines = "NAME:$255,PFAD:$255,DATEIMASKE:$255,SICHERN:!,REKURSIV:!\r\n";
        for (const std::string& folder : folders) lines += "Ordner," + folder + ",*.*,1,1\r\n";
        WriteFile(FDir / "def.csv", lines);
    }
    void Jobs(const std::string& recorded) {
        if (FWindow.Jobs.Active()) FWindow.Jobs.Close();
        WriteFile(FDir / "daten/Backupjobs.csv",
                  "BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\nJob," + FArchives.string() +
                      "," + (FDir / "def.csv").string() + ",1," + recorded + "\r\n");
        FWindow.Jobs.SetFileName((FDir / "daten/Backupjobs.csv").string());
        FWindow.Jobs.Open();
    }
    static void MakeZip(const fs::path& archive, const std::vector<std::string>& items) {
        std::string command = "python3 " VB_SOURCE_DIR "/tests/restore/make_zip.py '" + archive.string() + "'";
        for (const std::string& item : items) command += " '" + item + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    // The job's first archive is open in the browser, as after a job change.
    void ShowJob() {
        FWindow.Jobs.First();
        FWindow.LoadCurrentJob();
    }
    std::string Log() const { return utf8::fromUtf16le(ReadFile(FDir / "daten/VB-Restore.log")); }
    std::string Read(const std::string& name) const { return ReadFile(FRoot / name); }
};

}  // namespace vb::test
