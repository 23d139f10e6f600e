#pragma once
// The real program run as a scheduler would: one unattended pass, headless, with an
// isolated configuration and data folder below the test's folder. The end-to-end
// tests of the backup and the restore pass derive from it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/RegistryStore.h"
#include "support/Headless.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace vb::test {

inline const std::string kProgram = VB_BINARY_DIR "/vorlixbackup";

class PassEndToEndTest : public ::testing::Test {
protected:
    TempDir FDir;
    std::filesystem::path FData = FDir / "shared/VorlixBackup";
    std::filesystem::path FSource = FDir / "quelle";
    std::filesystem::path FTarget = FDir / "ziel";
    RegistryStore FRegistry{FDir / "home/.config/vorlix-backup/registry.reg"};

    void SetUp() override {
        std::filesystem::create_directories(FData);
        std::filesystem::create_directories(FSource);
    }

    // The job list with `rows`, each a line after the header.
    void WriteJobs(const std::vector<std::string>& rows) {
        std::string text = "BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\n";
        for (const auto& row : rows) text += row + "\r\n";
        WriteFile(FData / "Backupjobs.csv", text);
    }
    // A definition list <test folder>/<name> with one row.
    void WriteDefinition(const std::string& name, const std::string& row) {
        WriteFile(FDir / name, "NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\n" + row + "\r\n");
    }

    // The environment of a headless pass in this fixture's folders, without any
    // password the test's own environment may hold, and with `extra`.
    std::map<std::string, std::string> Environment(const std::map<std::string, std::string>& extra = {}) const {
        auto env = HeadlessEnvironment(FDir.Path());
        env["VORLIXBACKUP_PASSWORD"] = "\x01";
        env["VORLIXBACKUP_PASSWORD_FILE"] = "\x01";
        for (const auto& [name, value] : extra) env[name] = value;
        return env;
    }

    // Runs the program with `arguments` in the test's folder.
    ProgramResult Pass(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& extra = {},
                       ProgramLimits limits = {}) {
        return RunProgram(kProgram, arguments, Environment(extra), FDir.Path().string(), limits);
    }
};

}  // namespace vb::test
