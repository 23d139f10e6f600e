#include "settings/Settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/RegistryStore.h"
#include "support/TempDir.h"

namespace vb {
namespace {

constexpr auto HKCU = RegistryRoot::CurrentUser;

TEST(Settings, LoadValueTable) {
    struct Case {
        const char* name;
        std::string storeText;  // body after the key line; empty = no key at all
        TOptions expected;
    } cases[] = {
        {"first start", "", {bsJedenTag, true, false, "DEFAULT"}},
        {"all values",
         "\"STRATEGIE\"=dword:00000001\n\"LOGGING\"=dword:00000000\n"
         "\"PASSWORTSCHUTZ\"=dword:00000001\n\"Datenverzeichnis\"=\"/daten\"\n",
         {bsDreiGenerationen, false, true, "/daten", false, false}},  // protection on before: ZipCrypto stays
        {"LOGGING as a string is unreadable", "\"LOGGING\"=\"0\"\n", {bsJedenTag, true, false, "DEFAULT"}},
        {"non-zero is true", "\"PASSWORTSCHUTZ\"=dword:00000007\n", {bsJedenTag, true, true, "DEFAULT", false, false}},
        {"AES chosen with protection on",
         "\"PASSWORTSCHUTZ\"=dword:00000001\n\"VERSCHLUESSELUNG\"=dword:00000001\n",
         {bsJedenTag, true, true, "DEFAULT", false, true}},
        {"ZipCrypto chosen",
         "\"VERSCHLUESSELUNG\"=dword:00000000\n",
         {bsJedenTag, true, false, "DEFAULT", false, false}},
        {"strategy out of range reads per day", "\"STRATEGIE\"=dword:00000005\n", {bsJedenTag, true, false, "DEFAULT"}},
        {"empty folder uses the default", "\"Datenverzeichnis\"=\"\"\n", {bsJedenTag, true, false, "DEFAULT"}},
        {"folder as DWORD is unreadable",
         "\"Datenverzeichnis\"=dword:00000001\n",
         {bsJedenTag, true, false, "DEFAULT"}},
        {"archive check on", "\"PRUEFEN\"=dword:00000001\n", {bsJedenTag, true, false, "DEFAULT", true}},
        {"archive check as a string is unreadable", "\"PRUEFEN\"=\"1\"\n", {bsJedenTag, true, false, "DEFAULT", false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        if (!c.storeText.empty()) {
            test::WriteFile(dir / "registry.reg", "Windows Registry Editor Version 5.00\n\n"
                                                  "[HKEY_CURRENT_USER\\Software\\Vorlix-Backup]\n" + c.storeText);
        }
        RegistryStore store(dir / "registry.reg");
        int defaultCalls = 0;
        const LoadedSettings loaded = LoadSettings(store, [&] { ++defaultCalls; return std::string("DEFAULT"); });
        EXPECT_TRUE(loaded.keyOpened);
        EXPECT_EQ(loaded.options.FStrategie, c.expected.FStrategie);
        EXPECT_EQ(loaded.options.FLogging, c.expected.FLogging);
        EXPECT_EQ(loaded.options.FUsePassword, c.expected.FUsePassword);
        EXPECT_EQ(loaded.options.FDatenDir, c.expected.FDatenDir);
        EXPECT_EQ(loaded.options.FPruefen, c.expected.FPruefen);
        EXPECT_EQ(loaded.options.FAes, c.expected.FAes);
        EXPECT_EQ(defaultCalls, c.expected.FDatenDir == "DEFAULT" ? 1 : 0);
        EXPECT_FALSE(store.ValueExists(HKCU, kSettingsKey, "Datenverzeichnis") && c.expected.FDatenDir == "DEFAULT" &&
                     store.ReadString(HKCU, kSettingsKey, "Datenverzeichnis") == "DEFAULT")
            << "the default is not written at load";
    }
}

TEST(Settings, KeyThatCannotBeCreatedKeepsInitialValues) {
    test::TempDir dir;
    test::WriteFile(dir / "blocker", "");
    RegistryStore store(dir / "blocker/registry.reg");
    const LoadedSettings loaded = LoadSettings(store, [] { return std::string("DEFAULT"); });
    EXPECT_FALSE(loaded.keyOpened);
    EXPECT_FALSE(loaded.options.FLogging);
    EXPECT_EQ(loaded.options.FDatenDir, "");
    EXPECT_FALSE(SaveSettings(store, loaded.options));
}

TEST(Settings, SaveWritesEveryOptionAsTypedValue) {
    test::TempDir dir;
    RegistryStore store(dir / "registry.reg");
    test::WriteFile(dir / "registry.reg", "Windows Registry Editor Version 5.00\n\n"
                                          "[HKEY_CURRENT_USER\\Software\\Vorlix-Backup]\n\"LOGGING\"=\"1\"\n");
    ASSERT_TRUE(SaveSettings(store, {bsGleicheDatei, true, false, "/d", true, false}));
    EXPECT_EQ(test::ReadFile(dir / "registry.reg"),
              "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Vorlix-Backup]\n"
              "\"LOGGING\"=dword:00000001\n\"STRATEGIE\"=dword:00000002\n"
              "\"PASSWORTSCHUTZ\"=dword:00000000\n\"Datenverzeichnis\"=\"/d\"\n\"PRUEFEN\"=dword:00000001\n"
              "\"VERSCHLUESSELUNG\"=dword:00000000\n\"ZWEITKOPIE\"=dword:00000000\n\"ZWEITKOPIE_ZIEL\"=\"\"\n"
              "\"ZWEITKOPIE_TAGE\"=dword:0000001e\n");
}

TEST(Settings, RemoteCopyValuesRoundTripAndDefault) {
    struct Case {
        const char* name;
        std::string storeText;
        bool on;
        std::string target;
        int days;
    } cases[] = {
        {"missing: off, 30 days", "\"LOGGING\"=dword:00000001\n", false, "", 30},
        {"set", "\"ZWEITKOPIE\"=dword:00000001\n\"ZWEITKOPIE_ZIEL\"=\"schule-nc:Sicherungen/Verwaltung\"\n"
                "\"ZWEITKOPIE_TAGE\"=dword:0000000e\n", true, "schule-nc:Sicherungen/Verwaltung", 14},
        {"zero days read as 30", "\"ZWEITKOPIE_TAGE\"=dword:00000000\n", false, "", 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        test::WriteFile(dir / "registry.reg", "Windows Registry Editor Version 5.00\n\n"
                                              "[HKEY_CURRENT_USER\\Software\\Vorlix-Backup]\n" + c.storeText);
        RegistryStore store(dir / "registry.reg");
        const TOptions loaded = LoadSettings(store, [] { return std::string("D"); }).options;
        EXPECT_EQ(loaded.FZweitkopie, c.on);
        EXPECT_EQ(loaded.FZweitkopieZiel, c.target);
        EXPECT_EQ(loaded.FZweitkopieTage, c.days);
        ASSERT_TRUE(SaveSettings(store, loaded));
        RegistryStore again(dir / "registry.reg");
        const TOptions reloaded = LoadSettings(again, [] { return std::string("D"); }).options;
        EXPECT_EQ(reloaded.FZweitkopie, c.on);
        EXPECT_EQ(reloaded.FZweitkopieZiel, c.target);
        EXPECT_EQ(reloaded.FZweitkopieTage, c.days);
    }
}

TEST(Settings, DefaultDataFolderIsCreatedBelowTheSharedDocuments) {
    test::TempDir dir;
    test::ScopedEnv common("VORLIXBACKUP_COMMON_DOCUMENTS", (dir / "shared").string());
    test::ScopedEnv home("HOME", (dir / "home").string());
    test::ScopedEnv config("XDG_CONFIG_HOME", (dir / "home/.config").string());
    EXPECT_EQ(DefaultDataFolder(), (dir / "shared/VorlixBackup").string());
    EXPECT_TRUE(std::filesystem::is_directory(dir / "shared/VorlixBackup"));

    // A shared folder that cannot receive the subfolder: the user's own documents.
    test::WriteFile(dir / "blocked", "");
    test::ScopedEnv blocked("VORLIXBACKUP_COMMON_DOCUMENTS", (dir / "blocked").string());
    EXPECT_EQ(DefaultDataFolder(), (dir / "home/Documents").string());
    EXPECT_TRUE(std::filesystem::is_directory(dir / "home/Documents"));
}

// The package's shared folder exists for everybody; a user outside its group, who may
// not write there, keeps the data in the own documents instead.
TEST(Settings, SharedFolderThisUserMayNotWriteIsPassedOver) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write into any folder";
    test::TempDir dir;
    test::ScopedEnv common("VORLIXBACKUP_COMMON_DOCUMENTS", (dir / "shared").string());
    test::ScopedEnv home("HOME", (dir / "home").string());
    test::ScopedEnv config("XDG_CONFIG_HOME", (dir / "home/.config").string());
    std::filesystem::create_directories(dir / "shared/VorlixBackup");
    std::filesystem::permissions(dir / "shared/VorlixBackup",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_EQ(DefaultDataFolder(), (dir / "home/Documents").string());
    std::filesystem::permissions(dir / "shared/VorlixBackup", std::filesystem::perms::owner_all);
    EXPECT_EQ(DefaultDataFolder(), (dir / "shared/VorlixBackup").string());
}

}  // namespace
}  // namespace vb
