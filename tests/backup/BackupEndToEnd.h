#pragma once
// The real program run as a scheduler would: /BACKUP, headless, with an isolated
// configuration and data folder, over a small tree to save. Shared by the end-to-end
// tests of the backup pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <fstream>

#include "support/PassEndToEnd.h"
#include "support/RunCommand.h"
#include "util/Utf8.h"

namespace vb::test {

namespace fs = std::filesystem;

class BackupEndToEndTest : public PassEndToEndTest {
protected:
    void SetUp() override {
        PassEndToEndTest::SetUp();
        fs::create_directories(FSource / "Unterordner");
        test::WriteFile(FSource / "brief.txt", "Sehr geehrte Eltern,\r\n");
        test::WriteFile(FSource / "Sch\xC3\xBCler.mdb", std::string(5000, 'x'));
        test::WriteFile(FSource / "Unterordner/noten.ini", "[Noten]\r\n");
        test::WriteFile(FSource / "bild.jpg", "kein Text");
        WriteDefinition("def1.csv", "Quelle," + FSource.string() + ",*.txt;*.mdb;*.ini,1,1");
        WriteJobs({"Job 1," + FTarget.string() + "," + (FDir / "def1.csv").string() + ",1,"});
    }

    test::ProgramResult Backup(std::vector<std::string> arguments = {},
                               std::map<std::string, std::string> extra = {}, test::ProgramLimits limits = {}) {
        arguments.insert(arguments.begin(), "/BACKUP");
        return Pass(arguments, extra, limits);
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
