// The real program backing up as root over folders that users own: a link a user puts
// on the way to a job's folder, or in its place, is not followed, so the user can
// never make root pack files they may not read.
#include <sys/stat.h>
#include <unistd.h>

#include "backup/BackupEndToEnd.h"

namespace vb {
namespace {

namespace fs = std::filesystem;
using test::BackupEndToEndTest;

TEST_F(BackupEndToEndTest, ALinkOfAnotherUserOnTheWayToTheSourceIsNotFollowed) {
    if (::geteuid() != 0) GTEST_SKIP() << "a user's link against root needs root";
    FRegistry.WriteDword("Software\\Vorlix-Backup", "STRATEGIE", 2);
    fs::permissions(FDir.Path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    // Files only root may read.
    fs::create_directories(FDir / "geheim/innen");
    test::WriteFile(FDir / "geheim/zeugnis.txt", "nur root");
    test::WriteFile(FDir / "geheim/innen/zeugnis.txt", "nur root");
    ::chmod((FDir / "geheim").c_str(), 0700);
    // The user's home, where they swap their backed-up folder for a link to them.
    const fs::path home = FDir / "home/lehrer";
    fs::create_directories(home / "daten");
    ASSERT_EQ(test::RunCommand("chown -R nobody:nogroup " + test::Quote(home.string())), 0);
    const std::string asUser = "runuser -u nobody -- sh -c ";
    ASSERT_EQ(test::RunCommand(asUser + test::Quote("cd " + home.string() + " && mv daten weg && ln -s " +
                                                    (FDir / "geheim").string() + " daten && ln -s " +
                                                    (FDir / "geheim").string() + " umweg")),
              0);
    // A link root made itself is part of the system and is followed.
    fs::create_directories(FDir / "echt");
    test::WriteFile(FDir / "echt/brief.txt", "Brief");
    fs::create_directory_symlink(FDir / "echt", FDir / "verweis-von-root");

    struct Case {
        const char* Name;
        fs::path Folder;
        std::string Said;  // what standard error says, "" when the pass succeeds
    };
    const Case cases[] = {
        {"the source folder swapped for a link", home / "daten",
         "führt über " + (home / "daten").string() +
             ", eine Verknüpfung eines anderen Benutzers (Eigentümer 65534), die nicht verfolgt wird"},
        {"a link on the way", home / "umweg/innen",
         "führt über " + (home / "umweg").string() +
             ", eine Verknüpfung eines anderen Benutzers (Eigentümer 65534), die nicht verfolgt wird"},
        {"a link of root", FDir / "verweis-von-root", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove_all(FTarget);
        WriteDefinition("def1.csv", "Quelle," + c.Folder.string() + ",*.*,1,1");
        const auto result = Backup();
        if (c.Said.empty()) {
            EXPECT_EQ(result.exitStatus, 0) << result.standardError;
            EXPECT_EQ(Listing(FTarget / "Job 1.zip"), (FDir / "verweis-von-root/brief.txt").string().substr(1) + "\n");
            continue;
        }
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_NE(result.standardError.find(c.Said), std::string::npos) << result.standardError;
        // Nothing was packed: no archive at all, so none holds the root-only files.
        EXPECT_TRUE(Archives().empty());
    }
}

}  // namespace
}  // namespace vb
