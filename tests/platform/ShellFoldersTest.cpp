#include "platform/ShellFolders.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace vb {
namespace {

TEST(ShellFolders, DocumentsFolderFromUserDirs) {
    test::TempDir dir;
    test::ScopedEnv home("HOME", dir.Path().string());
    test::ScopedEnv config("XDG_CONFIG_HOME", (dir / "cfg").string());
    EXPECT_EQ(PersonalDocumentsFolder(), dir.Path().string() + "/Documents");

    std::filesystem::create_directories(dir / "cfg");
    test::WriteFile(dir / "cfg/user-dirs.dirs", "# comment\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                                                "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    EXPECT_EQ(PersonalDocumentsFolder(), dir.Path().string() + "/Dokumente");
    test::WriteFile(dir / "cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"/srv/docs/\"\n");
    EXPECT_EQ(PersonalDocumentsFolder(), "/srv/docs");
}

TEST(ShellFolders, SharedDataAndTemporaryFolder) {
    {
        test::ScopedEnv common("VORLIXBACKUP_COMMON_DOCUMENTS", "");
        EXPECT_EQ(SharedDataFolder(), "/var/lib/vorlixbackup");
    }
    test::ScopedEnv common("VORLIXBACKUP_COMMON_DOCUMENTS", "/srv/shared/");
    EXPECT_EQ(SharedDataFolder(), "/srv/shared/VorlixBackup");

    test::TempDir dir;
    test::ScopedEnv tmp("TMPDIR", dir.Path().string() + "/");
    EXPECT_EQ(TemporaryFolder(), dir.Path().string());
    test::ScopedEnv missing("TMPDIR", (dir / "missing").string());
    EXPECT_EQ(TemporaryFolder(), "/tmp");
}

// The help is found beside the program in a build tree and in the package's data
// folder when installed.
TEST(ShellFolders, ProgramDataFileBesideTheProgramElseInstalled) {
    test::TempDir dir;
    test::WriteFile(dir / "vorlixbackup.chm", "");
    const struct {
        const char* name;
        std::string folder;
        std::string expected;
    } cases[] = {
        {"build tree", dir.Path().string(), (dir / "vorlixbackup.chm").string()},
        {"build tree, trailing separator", dir.Path().string() + "/", (dir / "vorlixbackup.chm").string()},
        {"installed", "/usr/bin", "/usr/share/vorlixbackup/vorlixbackup.chm"},
        {"not beside this one", (dir / "missing").string(), "/usr/share/vorlixbackup/vorlixbackup.chm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ProgramDataFile(c.folder, "vorlixbackup.chm"), c.expected);
    }
}

}  // namespace
}  // namespace vb
