#include "platform/RegistryStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/TempDir.h"
#include "util/Error.h"

namespace vb {
namespace {

using test::ReadFile;
using test::WriteFile;
constexpr auto HKCU = RegistryRoot::CurrentUser;
constexpr auto HKLM = RegistryRoot::LocalMachine;

class RegistryStoreTest : public ::testing::Test {
protected:
    test::TempDir FDir;
    std::filesystem::path FFile = FDir / "cfg/vorlix-backup/registry.reg";
    RegistryStore FStore{FFile};
};

TEST_F(RegistryStoreTest, WritesTheRegTextFormat) {
    FStore.WriteDword("Software\\Vorlix-Backup", "STRATEGIE", 2);
    FStore.WriteString("Software\\Vorlix-Backup", "Datenverzeichnis", "/srv/a \"b\" \\c");
    FStore.WriteString("\\Control Panel\\International", "sList", ";");
    EXPECT_EQ(ReadFile(FFile),
              "Windows Registry Editor Version 5.00\n"
              "\n[HKEY_CURRENT_USER\\Software\\Vorlix-Backup]\n"
              "\"STRATEGIE\"=dword:00000002\n"
              "\"Datenverzeichnis\"=\"/srv/a \\\"b\\\" \\\\c\"\n"
              "\n[HKEY_CURRENT_USER\\Control Panel\\International]\n"
              "\"sList\"=\";\"\n");
    struct stat st{};
    ASSERT_EQ(::stat(FFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(RegistryStoreTest, ReadsAreTypedAndNamesIgnoreCase) {
    FStore.WriteDword("Software\\Vorlix-Backup", "LOGGING", 1);
    FStore.WriteString("Software\\Vorlix-Backup", "Datenverzeichnis", "/daten");
    EXPECT_EQ(FStore.ReadDword(HKCU, "software\\VORLIX-backup", "logging"), 1u);
    EXPECT_EQ(FStore.ReadString(HKCU, "Software\\Vorlix-Backup", "DATENVERZEICHNIS"), "/daten");
    EXPECT_EQ(FStore.ReadString(HKCU, "Software\\Vorlix-Backup", "LOGGING"), std::nullopt);
    EXPECT_EQ(FStore.ReadDword(HKCU, "Software\\Vorlix-Backup", "Datenverzeichnis"), std::nullopt);
    EXPECT_EQ(FStore.ReadDword(HKCU, "Software\\Vorlix-Backup", "Missing"), std::nullopt);
    EXPECT_EQ(FStore.ReadDword(HKLM, "Software\\Vorlix-Backup", "LOGGING"), std::nullopt);
}

TEST_F(RegistryStoreTest, HandEditedFileWithOtherTypesSurvivesRewrite) {
    std::filesystem::create_directories(FFile.parent_path());
    const std::string original =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "; edited by hand\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
        "\"ProgramFilesDir\"=\"/usr/local\"\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Vorlix2000]\r\n"
        "\"Multi\"=hex(7):41,00,00,00,\\\r\n  00,00\r\n"
        "\"Bin\"=hex:de,ad\r\n"
        "\"Nul\"=hex(1):61,00,00,00,62,00,00,00\r\n"
        "\"Word\"=hex(4):02,01,00,00\r\n";
    WriteFile(FFile, original);
    EXPECT_EQ(FStore.ReadString(HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"),
              "/usr/local");
    EXPECT_EQ(FStore.ReadString(HKCU, "Software\\Vorlix2000", "Nul"), "a");
    EXPECT_EQ(FStore.ReadDword(HKCU, "Software\\Vorlix2000", "Word"), 0x102u);
    EXPECT_EQ(FStore.ReadString(HKCU, "Software\\Vorlix2000", "Multi"), std::nullopt);

    FStore.WriteString("Software\\Vorlix2000", "DBPWD", "x");
    const std::string rewritten = ReadFile(FFile);
    EXPECT_NE(rewritten.find("\"Multi\"=hex(7):41,00,00,00,00,00\n"), std::string::npos);
    EXPECT_NE(rewritten.find("\"Bin\"=hex:de,ad\n"), std::string::npos);
    EXPECT_NE(rewritten.find("\"Nul\"=hex(1):61,00,00,00,62,00,00,00\n"), std::string::npos);
    EXPECT_EQ(FStore.ReadString(HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"),
              "/usr/local");
    EXPECT_EQ(FStore.ReadString(HKCU, "Software\\Vorlix2000", "DBPWD"), "x");
}

TEST_F(RegistryStoreTest, StringsWithNulOrLineBreakUseHexAndReadBackUpToTheNul) {
    FStore.WriteString("K", "nul", std::string("ab\0cd", 5));
    FStore.WriteString("K", "lines", "a\r\nb");
    EXPECT_EQ(FStore.ReadString(HKCU, "K", "nul"), "ab");
    EXPECT_EQ(FStore.ReadString(HKCU, "K", "lines"), "a\r\nb");
    EXPECT_NE(ReadFile(FFile).find("\"nul\"=hex(1):61,00,62,00,00,00,63,00,64,00,00,00\n"), std::string::npos);
}

TEST_F(RegistryStoreTest, DamagedFileReadsEmptyAndIsKeptAsideOnWrite) {
    std::filesystem::create_directories(FFile.parent_path());
    const char* damaged[] = {"garbage\n", "Windows Registry Editor Version 5.00\n\"a\"=dword:1\n",
                             "Windows Registry Editor Version 5.00\n[K]\n\"a\"=dword:xyz\n",
                             "Windows Registry Editor Version 5.00\n[K]\n\"a\"=\"unterminated\n",
                             "Windows Registry Editor Version 5.00\n[K]\n\"a\"=\"\xFF\"\n"};
    int round = 0;
    for (const char* text : damaged) {
        SCOPED_TRACE(text);
        WriteFile(FFile, text);
        EXPECT_EQ(FStore.ReadDword(HKCU, "K", "a"), std::nullopt);
        EXPECT_EQ(ReadFile(FFile), text) << "reading must not change the file";
        FStore.WriteDword("K", "b", 7);
        EXPECT_EQ(FStore.ReadDword(HKCU, "K", "b"), 7u);
        const std::string aside = FFile.string() + (round == 0 ? ".bad" : ".bad." + std::to_string(round));
        EXPECT_EQ(ReadFile(aside), text);
        ++round;
    }
}

// One bad line costs that line only: the other values are read, the report names
// the line, and a write keeps them (the damaged file stays aside).
TEST_F(RegistryStoreTest, DamagedFileKeepsWhatCanBeParsedAndSaysWhere) {
    std::filesystem::create_directories(FFile.parent_path());
    const std::string text =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Vorlix-Backup]\n"
        "\"PASSWORTSCHUTZ\"=dword:00000001\nkaputte Zeile\n\"STRATEGIE\"=dword:00000001\n";
    WriteFile(FFile, text);
    EXPECT_EQ(FStore.ReadDword(HKCU, "Software\\Vorlix-Backup", "PASSWORTSCHUTZ"), 1u);
    EXPECT_EQ(FStore.ReadDword(HKCU, "Software\\Vorlix-Backup", "STRATEGIE"), 1u);
    EXPECT_NE(FStore.Problem().find("ist besch\xC3\xA4" "digt:\nZeile 5: "), std::string::npos) << FStore.Problem();
    FStore.WriteDword("Software\\Vorlix-Backup", "LOGGING", 0);
    EXPECT_EQ(ReadFile(FFile.string() + ".bad"), text);
    EXPECT_EQ(FStore.ReadDword(HKCU, "Software\\Vorlix-Backup", "PASSWORTSCHUTZ"), 1u);
    EXPECT_EQ(FStore.ReadDword(HKCU, "Software\\Vorlix-Backup", "STRATEGIE"), 1u);
    EXPECT_FALSE(FStore.Problem().empty()) << "the report stays for the program to show";
}

// A store file that cannot be read is never written over; a FIFO in its place is
// refused at once.
TEST_F(RegistryStoreTest, UnreadableFileIsNeverReplaced) {
    std::filesystem::create_directories(FFile.parent_path());
    ASSERT_EQ(::mkfifo(FFile.c_str(), 0600), 0);
    EXPECT_EQ(FStore.ReadDword(HKCU, "K", "a"), std::nullopt);
    EXPECT_THROW(FStore.WriteDword("K", "a", 1), RegistryError);
    EXPECT_FALSE(FStore.CreateKey(HKCU, "K"));
    EXPECT_TRUE(std::filesystem::is_fifo(FFile));
    EXPECT_NE(FStore.Problem().find("kann nicht gelesen werden: keine gew\xC3\xB6hnliche Datei"), std::string::npos)
        << FStore.Problem();
}

TEST_F(RegistryStoreTest, ConcurrentWritersLoseNothingTheyDidNotBothWrite) {
    // Several processes write distinct values at once; every value must survive.
    constexpr int kWriters = 4, kValues = 25;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            RegistryStore store(FFile);
            for (int v = 0; v < kValues; ++v) store.WriteDword("K", "w" + std::to_string(w) + "v" + std::to_string(v), v);
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int w = 0; w < kWriters; ++w) {
        for (int v = 0; v < kValues; ++v) {
            EXPECT_EQ(FStore.ReadDword(HKCU, "K", "w" + std::to_string(w) + "v" + std::to_string(v)),
                      static_cast<std::uint32_t>(v));
        }
    }
}

TEST_F(RegistryStoreTest, UnwritableFolderFailsCleanly) {
    // A plain file where the configuration folder should be: no one, root included,
    // can create the folder.
    WriteFile(FDir / "blocker", "");
    RegistryStore store(FDir / "blocker/vorlix-backup/registry.reg");
    EXPECT_FALSE(store.CreateKey(HKCU, "K"));
    EXPECT_THROW(store.WriteDword("K", "a", 1), RegistryError);
    EXPECT_EQ(store.ReadDword(HKCU, "K", "a"), std::nullopt);
}

TEST_F(RegistryStoreTest, PathFollowsXdgConfigHome) {
    test::ScopedEnv xdg("XDG_CONFIG_HOME", "/x/cfg");
    EXPECT_EQ(RegistryStore::DefaultPath(), "/x/cfg/vorlix-backup/registry.reg");
    test::ScopedEnv empty("XDG_CONFIG_HOME", "");
    test::ScopedEnv home("HOME", "/home/u");
    EXPECT_EQ(RegistryStore::DefaultPath(), "/home/u/.config/vorlix-backup/registry.reg");
}

}  // namespace
}  // namespace vb
