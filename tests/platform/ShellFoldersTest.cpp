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

TEST(ShellFolders, CommonDocumentsAndTemporaryFolder) {
    {
        test::ScopedEnv common("VORLIXBACKUP_COMMON_DOCUMENTS", "");
        EXPECT_EQ(CommonDocumentsFolder(), "/var/opt");
    }
    test::ScopedEnv common("VORLIXBACKUP_COMMON_DOCUMENTS", "/srv/shared/");
    EXPECT_EQ(CommonDocumentsFolder(), "/srv/shared");

    test::TempDir dir;
    test::ScopedEnv tmp("TMPDIR", dir.Path().string() + "/");
    EXPECT_EQ(TemporaryFolder(), dir.Path().string());
    test::ScopedEnv missing("TMPDIR", (dir / "missing").string());
    EXPECT_EQ(TemporaryFolder(), "/tmp");
}

}  // namespace
}  // namespace vb
