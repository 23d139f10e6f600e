// The record of the last unattended pass: what a pass leaves in the data folder and
// what the window makes of it.
#include "pass/LastPass.h"

#include <gtest/gtest.h>

#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace vb {
namespace {

TEST(LastPass, RecordRoundTripsEveryField) {
    const LastPass cases[] = {
        {false, 1765387805, 0, ""},
        {true, 1765387805, 1, "Fehler beim Packen!\nDas Archiv C:\\Daten\\x.zip ist beschädigt\r\nzweite Zeile"},
        {false, 0, 2, "\\n bleibt \\n"},
        {false, 1765387805, 1, "Fehler", true},
    };
    for (const LastPass& c : cases) {
        SCOPED_TRACE(c.FirstError);
        test::TempDir dir;
        RecordLastPass(dir.Path().string(), c);
        const auto read = ReadLastPass(dir.Path().string());
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->Restore, c.Restore);
        EXPECT_EQ(read->Time, c.Time);
        EXPECT_EQ(read->ExitStatus, c.ExitStatus);
        EXPECT_EQ(read->FirstError, c.FirstError);
        EXPECT_EQ(read->Acknowledged, c.Acknowledged);
    }
}

TEST(LastPass, MissingOrDamagedRecordIsNone) {
    test::TempDir dir;
    EXPECT_FALSE(ReadLastPass(dir.Path().string()).has_value());
    for (const char* text : {"", "ART=BACKUP\nSTATUS=1\n", "ZEIT=12x\nSTATUS=1\n", "ZEIT=12\nSTATUS=\n"}) {
        SCOPED_TRACE(text);
        test::WriteFile(dir / "VB-LetzterLauf.txt", text);
        EXPECT_FALSE(ReadLastPass(dir.Path().string()).has_value());
    }
}

TEST(LastPass, TextNamesKindTimeStatusAndTheErrorOnOneLine) {
    std::tm local{};
    local.tm_year = 126, local.tm_mon = 11, local.tm_mday = 10, local.tm_hour = 18, local.tm_min = 30, local.tm_sec = 5;
    local.tm_isdst = -1;
    const std::time_t t = std::mktime(&local);
    EXPECT_EQ(LastPassText({false, t, 1, "Fehler beim Packen!\nDisk voll"}),
              "Letzte unbeaufsichtigte Sicherung am 10.12.2026 um 18:30:05 fehlgeschlagen (Status 1): "
              "Fehler beim Packen! Disk voll");
    EXPECT_EQ(LastPassText({true, t, 1, ""}),
              "Letzte unbeaufsichtigte Wiederherstellung am 10.12.2026 um 18:30:05 fehlgeschlagen (Status 1)");
    EXPECT_EQ(LastPassText({false, t, 0, ""}), "Letzte unbeaufsichtigte Sicherung am 10.12.2026 um 18:30:05 erfolgreich");
}

// The real program records each unattended pass: a failed one with its first error,
// and the next successful one replaces it.
TEST(LastPass, EachUnattendedPassRecordsItsResult) {
    test::TempDir dir;
    const std::filesystem::path data = dir / "shared/VorlixBackup";
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(dir / "quelle");
    test::WriteFile(dir / "quelle/a.txt", "Daten");
    test::WriteFile(dir / "def.csv", "NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nQ," + (dir / "quelle").string() +
                                         ",*.txt,1,1\r\n");
    test::WriteFile(data / "Backupjobs.csv", "BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\n"
                                             "Job," + (dir / "ziel").string() + "," + (dir / "def.csv").string() +
                                             ",1,\r\n");
    const std::map<std::string, std::string> env = {
        {"DISPLAY", "\x01"}, {"WAYLAND_DISPLAY", "\x01"}, {"QT_QPA_PLATFORM", "\x01"},
        {"HOME", (dir / "home").string()}, {"XDG_CONFIG_HOME", (dir / "home/.config").string()},
        {"XDG_RUNTIME_DIR", dir.Path().string()}, {"VORLIXBACKUP_COMMON_DOCUMENTS", (dir / "shared").string()},
        {"VORLIXBACKUP_PASSWORD", "\x01"}, {"VORLIXBACKUP_PASSWORD_FILE", "\x01"}};
    // Protection on and no password to be had: the job fails.
    std::filesystem::create_directories(dir / "home/.config/vorlix-backup");
    test::WriteFile(dir / "home/.config/vorlix-backup/registry.reg",
                    "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Vorlix-Backup]\n"
                    "\"PASSWORTSCHUTZ\"=dword:00000001\n");
    const std::time_t before = std::time(nullptr);
    auto result = test::RunProgram(VB_BINARY_DIR "/vorlixbackup", {"/BACKUP"}, env, dir.Path().string());
    ASSERT_EQ(result.exitStatus, 1) << result.standardError;
    auto pass = ReadLastPass(data.string());
    ASSERT_TRUE(pass.has_value());
    EXPECT_FALSE(pass->Restore);
    EXPECT_EQ(pass->ExitStatus, 1);
    EXPECT_GE(pass->Time, before);
    EXPECT_NE(pass->FirstError.find("Kein Passwort"), std::string::npos) << pass->FirstError;

    test::WriteFile(dir / "home/.config/vorlix-backup/registry.reg",
                    "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Vorlix-Backup]\n");
    result = test::RunProgram(VB_BINARY_DIR "/vorlixbackup", {"/BACKUP"}, env, dir.Path().string());
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    pass = ReadLastPass(data.string());
    ASSERT_TRUE(pass.has_value());
    EXPECT_FALSE(pass->Failed());
    EXPECT_EQ(pass->FirstError, "");
}

}  // namespace
}  // namespace vb
