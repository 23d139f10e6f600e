// Runs the real program headless, as a scheduler would, with an isolated configuration.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <vector>

#include "platform/RegistryStore.h"
#include "support/Headless.h"
#include "support/RunCommand.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace vb {
namespace {

const std::string kProgram = VB_BINARY_DIR "/vorlixbackup";

class ProgramEntryTest : public ::testing::Test {
protected:
    test::TempDir FDir;
    std::map<std::string, std::string> Headless() const { return test::HeadlessEnvironment(FDir.Path()); }
    std::filesystem::path RegistryFile() const { return FDir / "home/.config/vorlix-backup/registry.reg"; }
};

TEST_F(ProgramEntryTest, UsageErrorGoesToStandardErrorWithStatusTwo) {
    const auto result = test::RunProgram(kProgram, {"/help", "/backupx"}, Headless());
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_NE(result.standardError.find("Fehler: Unzulässiger Parameter! (/help) "
                                        "Aufruf: VorlixBackup /BACKUP oder VorlixBackup /RESTORE"),
              std::string::npos)
        << result.standardError;
}

TEST_F(ProgramEntryTest, InteractiveStartWithoutDisplayExplainsAndFails) {
    const auto result = test::RunProgram(kProgram, {}, Headless());
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_NE(result.standardError.find("Keine grafische Anzeige"), std::string::npos) << result.standardError;
}

TEST_F(ProgramEntryTest, UnattendedRunPreparesStoreAndDataFolderButLeavesOptions) {
    const auto result = test::RunProgram(kProgram, {"/BACKUP", "NoSuchJob"}, Headless());
    // A name that is no job is a failure that says so.
    EXPECT_EQ(result.exitStatus, 1) << result.standardError;
    EXPECT_NE(result.standardError.find("\u201ENoSuchJob\u201C"), std::string::npos) << result.standardError;
    RegistryStore store(RegistryFile());
    EXPECT_EQ(store.ReadString(RegistryRoot::CurrentUser, "Control Panel\\International", "sList"), ";");
    EXPECT_TRUE(std::filesystem::is_directory(FDir / "shared/VorlixBackup"));
    EXPECT_TRUE(std::filesystem::exists(FDir / "shared/VorlixBackup/Backupjobs.csv"));
    // The window is never closed in an unattended run, so no option is written.
    EXPECT_FALSE(store.ValueExists(RegistryRoot::CurrentUser, "Software\\Vorlix-Backup", "LOGGING"));
    EXPECT_FALSE(store.ValueExists(RegistryRoot::CurrentUser, "Software\\Vorlix-Backup", "Datenverzeichnis"));
}

TEST_F(ProgramEntryTest, FaultOfTheFirstJobConcernsThatJobAlone) {
    // The first job's definition list cannot be read at start: that job fails with
    // its message, once, and the second job still runs.
    std::filesystem::create_directories(FDir / "shared/VorlixBackup");
    test::WriteFile(FDir / "blocker", "");
    test::WriteFile(FDir / "quelle.txt", "Daten");
    test::WriteFile(FDir / "def2.csv", "NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nQ," + FDir.Path().string() +
                                           ",quelle.txt,1,0\r\n");
    test::WriteFile(FDir / "shared/VorlixBackup/Backupjobs.csv",
                    "BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK\r\n"
                    "A," + (FDir / "ziel1").string() + "," + (FDir / "blocker/def.csv").string() + ",1\r\n"
                    "B," + (FDir / "ziel2").string() + "," + (FDir / "def2.csv").string() + ",1\r\n");
    const auto result = test::RunProgram(kProgram, {"/BACKUP"}, Headless());
    EXPECT_EQ(result.exitStatus, 1);
    const std::string message = "Die Definitionsdatei " + (FDir / "blocker/def.csv").string();
    const auto first = result.standardError.find(message);
    EXPECT_NE(first, std::string::npos) << result.standardError;
    EXPECT_EQ(result.standardError.find(message, first + 1), std::string::npos) << result.standardError;
    EXPECT_FALSE(std::filesystem::exists(FDir / "ziel1"));
    EXPECT_TRUE(std::filesystem::is_directory(FDir / "ziel2") && !std::filesystem::is_empty(FDir / "ziel2"))
        << result.standardError;
}

TEST_F(ProgramEntryTest, ExistingListSeparatorIsKept) {
    std::filesystem::create_directories(RegistryFile().parent_path());
    test::WriteFile(RegistryFile(), "Windows Registry Editor Version 5.00\n\n"
                                    "[HKEY_CURRENT_USER\\Control Panel\\International]\n\"sList\"=\",\"\n");
    test::RunProgram(kProgram, {"/BACKUP", "NoSuchJob"}, Headless());
    RegistryStore store(RegistryFile());
    EXPECT_EQ(store.ReadString(RegistryRoot::CurrentUser, "Control Panel\\International", "sList"), ",");
}

// The scheduler's pass runs on the engine alone: no Qt library is loaded.
TEST_F(ProgramEntryTest, PassWithoutDisplayLoadsNoQtLibrary) {
    auto environment = Headless();
    environment["LD_DEBUG"] = "libs";
    const auto result = test::RunProgram(kProgram, {"/BACKUP", "NoSuchJob"}, environment);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.standardError.find("calling init: "), std::string::npos) << "no loader trace";
    EXPECT_EQ(result.standardError.find("libQt6"), std::string::npos) << result.standardError;
}

// The window module is loaded from beside the executable only when nobody else could
// have put it there.
TEST_F(ProgramEntryTest, WindowModuleWritableByOthersIsRefused) {
    const auto folder = FDir / "bin";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(kProgram, folder / "vorlixbackup");
    std::filesystem::copy_file(VB_BINARY_DIR "/vorlixbackup-window.so", folder / "vorlixbackup-window.so");
    std::filesystem::permissions(folder / "vorlixbackup-window.so", std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::add);
    auto environment = Headless();
    environment["QT_QPA_PLATFORM"] = "offscreen";
    const auto result = test::RunProgram((folder / "vorlixbackup").string(), {"/BACKUP"}, environment);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.standardError.find("Das Programmfenster (" + (folder / "vorlixbackup-window.so").string() +
                                        ") kann nicht geladen werden: Die Datei gehört einem anderen Benutzer oder "
                                        "ist für andere beschreibbar."),
              std::string::npos)
        << result.standardError;
    EXPECT_FALSE(std::filesystem::exists(FDir / "shared/VorlixBackup/Backupjobs.csv"));  // nothing ran
}

// SIGTERM (a logout, a shutdown) ends the window like "Beenden": the options and the
// placement are saved and the program exits normally.
TEST_F(ProgramEntryTest, TerminationSignalClosesTheWindowAndSaves) {
    auto environment = Headless();
    environment["QT_QPA_PLATFORM"] = "offscreen";
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (!environment.count(name)) envStrings.push_back(entry);
    }
    for (const auto& [name, value] : environment) {
        if (value != "\x01") envStrings.push_back(name + "=" + value);
    }
    std::vector<char*> envp;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string program = kProgram;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()), 0);

    // The job list appears during the creation step; the signal may come at once.
    const auto jobs = FDir / "shared/VorlixBackup/Backupjobs.csv";
    for (int i = 0; i < 400 && !std::filesystem::exists(jobs); ++i) ::usleep(50'000);
    ASSERT_TRUE(std::filesystem::exists(jobs));
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = -1;
    for (int i = 0; i < 400 && ::waitpid(pid, &status, WNOHANG) == 0; ++i) ::usleep(50'000);
    if (!WIFEXITED(status) && !WIFSIGNALED(status)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        FAIL() << "the program did not end after SIGTERM";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    RegistryStore store(RegistryFile());
    const auto HKCU = RegistryRoot::CurrentUser;
    EXPECT_EQ(store.ReadDword(HKCU, "Software\\Vorlix-Backup", "LOGGING"), std::optional<std::uint32_t>(1));
    EXPECT_EQ(store.ReadString(HKCU, "Software\\Vorlix-Backup", "Datenverzeichnis"),
              std::optional<std::string>((FDir / "shared/VorlixBackup").string()));
    EXPECT_TRUE(store.ReadString(HKCU, "Software\\Vorlix-Backup\\MainFrm", "NormPos").has_value());
}

}  // namespace
}  // namespace vb

namespace vb {
namespace {

TEST(ProgramHelp, HelpSwitchesPrintTheUsageWithoutADisplay) {
    for (const char* help : {"--help", "'/?'", "-?"}) {
        SCOPED_TRACE(help);
        std::string out;
        EXPECT_EQ(test::RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + kProgram + " " + help, &out), 0);
        EXPECT_EQ(out.rfind("Aufruf: VorlixBackup /BACKUP oder VorlixBackup /RESTORE\n", 0), 0u) << out;
        EXPECT_NE(out.find("VORLIXBACKUP_PASSWORD_FILE"), std::string::npos);
    }
}

TEST(ProgramHelp, VersionSwitchPrintsTheVersionWithoutADisplay) {
    std::string out;
    EXPECT_EQ(test::RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + kProgram + " --version", &out),
              0);
    EXPECT_EQ(out, "VorlixBackup " VB_FILE_VERSION "\n");
}

// The German page and the English one, built beside the program.
TEST(ProgramHelp, ManualPagesAreBuiltBesideTheProgramAndRenderWithoutWarnings) {
    const struct {
        const char* file;
        std::vector<const char*> parts;
    } pages[] = {
        {"vorlixbackup.de.1",
         {"BEZEICHNUNG", "/BACKUP", "/RESTORE", "--version", "RÜCKGABEWERT", "VORLIXBACKUP_PASSWORD_FILE",
          "/var/lib/vorlixbackup", "/var/backups/vorlixbackup"}},
        {"vorlixbackup.1",
         {"NAME", "/BACKUP", "/RESTORE", "--version", "EXIT STATUS", "VORLIXBACKUP_PASSWORD_FILE",
          "/var/lib/vorlixbackup", "/var/backups/vorlixbackup"}},
    };
    if (!test::HaveTool("man")) GTEST_SKIP() << "man (man-db) is not installed";
    for (const auto& page : pages) {
        SCOPED_TRACE(page.file);
        const std::string path = VB_BINARY_DIR "/" + std::string(page.file);
        ASSERT_TRUE(std::filesystem::exists(path));
        std::string warnings;
        EXPECT_EQ(test::RunCommand("(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l " + path + " >/dev/null)", &warnings),
                  0);
        EXPECT_EQ(warnings, "");
        // man may break a long word with a hyphen at the line end; the check reads the
        // text without such breaks.
        const std::string text = test::CommandOutput("LC_ALL=C.UTF-8 MANWIDTH=200 man -l " + path);
        for (const char* part : page.parts) EXPECT_NE(text.find(part), std::string::npos) << part;
    }
}

}  // namespace
}  // namespace vb
