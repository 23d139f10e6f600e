#pragma once
// The real program run as a scheduler would: /BACKUP, headless, with an isolated
// configuration and data folder. Shared by the end-to-end tests of the backup pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <fstream>

#include "platform/RegistryStore.h"
#include "support/Headless.h"
#include "support/RunCommand.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"
#include "util/Utf8.h"

namespace vb::test {

namespace fs = std::filesystem;
const std::string kProgram = VB_BINARY_DIR "/vorlixbackup";

class BackupEndToEndTest : public ::testing::Test {
protected:
    test::TempDir FDir;
    fs::path FData = FDir / "shared/VorlixBackup";
    fs::path FSource = FDir / "quelle";
    fs::path FTarget = FDir / "ziel";
    RegistryStore FRegistry{FDir / "home/.config/vorlix-backup/registry.reg"};

    void SetUp() override {
        fs::create_directories(FData);
        fs::create_directories(FSource / "Unterordner");
        test::WriteFile(FSource / "brief.txt", "Sehr geehrte Eltern,\r\n");
        test::WriteFile(FSource / "Sch\xC3\xBCler.mdb", std::string(5000, 'x'));
        test::WriteFile(FSource / "Unterordner/noten.ini", "[Noten]\r\n");
        test::WriteFile(FSource / "bild.jpg", "kein Text");
        WriteDefinition("def1.csv", "Quelle," + FSource.string() + ",*.txt;*.mdb;*.ini,1,1");
        WriteJobs({"Job 1," + FTarget.string() + "," + (FDir / "def1.csv").string() + ",1,"});
    }

    void WriteJobs(const std::vector<std::string>& rows) {
        std::string text = "BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\n";
        for (const auto& row : rows) text += row + "\r\n";
        test::WriteFile(FData / "Backupjobs.csv", text);
    }
    void WriteDefinition(const std::string& name, const std::string& row) {
        test::WriteFile(FDir / name, "NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\n" + row + "\r\n");
    }

    // The environment of a headless pass in this fixture's folders, with `extra`.
    std::map<std::string, std::string> Environment(const std::map<std::string, std::string>& extra = {}) const {
        auto env = test::HeadlessEnvironment(FDir.Path());
        env["VORLIXBACKUP_PASSWORD"] = "\x01";
        env["VORLIXBACKUP_PASSWORD_FILE"] = "\x01";
        for (const auto& [name, value] : extra) env[name] = value;
        return env;
    }

    test::ProgramResult Backup(std::vector<std::string> arguments = {},
                               std::map<std::string, std::string> extra = {}, test::ProgramLimits limits = {}) {
        arguments.insert(arguments.begin(), "/BACKUP");
        return test::RunProgram(kProgram, arguments, Environment(extra), FDir.Path().string(), limits);
    }

    std::string Log() const { return utf8::fromUtf16le(test::ReadFile(FData / "VB-Backup.log")); }
    std::vector<std::string> Archives() const {
        std::vector<std::string> names;
        if (fs::exists(FTarget)) {
            for (const auto& entry : fs::directory_iterator(FTarget)) names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Listing(const fs::path& archive) const {
        return test::CommandOutput("python3 -c \"import sys,zipfile; print('\\n'.join(zipfile.ZipFile(sys.argv[1]).namelist()))\" '" +
                     archive.string() + "'");
    }
};

}  // namespace vb::test
