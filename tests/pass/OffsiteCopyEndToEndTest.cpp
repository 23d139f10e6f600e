// The unattended /BACKUP with the copy to an rclone remote switched on, against a
// WebDAV server that rclone serves on localhost.
#include <gtest/gtest.h>

#include <map>

#include "backup/BackupEndToEnd.h"
#include "support/RcloneServer.h"

namespace vb {
namespace {

namespace fs = std::filesystem;

class OffsiteCopyEndToEndTest : public test::BackupEndToEndTest {
protected:
    fs::path FServed = FDir / "served";
    std::optional<test::RcloneConfig> FConfig;
    std::optional<test::RcloneServer> FServer;

    void SetUp() override {
        test::BackupEndToEndTest::SetUp();
        if (!test::HaveTool("rclone")) GTEST_SKIP() << "rclone is not installed";
        fs::create_directories(FServed);
        FConfig.emplace(FDir / "rclone.conf");
        FServer.emplace(test::ServerKind::WebDav, FServed, FDir / "cache");
        FConfig->AddRemote("schule", FServer->RemoteLines(FServer->Port(), test::RcloneServer::kPassword));
        FConfig->AddRemote("falsch", FServer->RemoteLines(FServer->Port(), "nicht-das-passwort"));
        FRegistry.WriteDword("Software\\Vorlix-Backup", "STRATEGIE", 2);
        FRegistry.WriteDword("Software\\Vorlix-Backup", "ZWEITKOPIE", 1);
    }
    void SetTarget(const std::string& target) {
        FRegistry.WriteString("Software\\Vorlix-Backup", "ZWEITKOPIE_ZIEL", target);
    }
};

TEST_F(OffsiteCopyEndToEndTest, EveryNewArchiveAlsoGoesToTheRemote) {
    SetTarget("schule:Extern");
    const test::ProgramResult result = Backup();
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    ASSERT_TRUE(fs::exists(FTarget / "Job 1.zip"));
    EXPECT_EQ(test::ReadFile(FServed / "Extern/Job 1.zip"), test::ReadFile(FTarget / "Job 1.zip"));
}

// A refused login fails the pass with exit status 1 and a German line on standard
// error; the archive stays, and the next pass that reaches the remote copies it.
TEST_F(OffsiteCopyEndToEndTest, RefusedLoginFailsThePassAndTheNextOneCopies) {
    SetTarget("falsch:Extern");
    test::ProgramResult result = Backup();
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.standardError.find("Die Zweitkopie des Jobs \u201EJob 1\u201C nach \u201Efalsch:Extern\u201C ist "
                                        "fehlgeschlagen: Die Anmeldung am Ziel \u201Efalsch\u201C wurde abgelehnt"),
              std::string::npos)
        << result.standardError;
    ASSERT_TRUE(fs::exists(FTarget / "Job 1.zip"));
    EXPECT_EQ(test::CommandOutput("unzip -tq " + test::Quote((FTarget / "Job 1.zip").string())).rfind("No errors", 0),
              0u);
    EXPECT_FALSE(fs::exists(FServed / "Extern"));

    SetTarget("schule:Extern");
    result = Backup();
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(test::ReadFile(FServed / "Extern/Job 1.zip"), test::ReadFile(FTarget / "Job 1.zip"));
}

// A pass over two jobs starts rclone once, for both copies.
TEST_F(OffsiteCopyEndToEndTest, OnePassStartsRcloneOnceForAllItsCopies) {
    SetTarget("schule:Extern");
    const fs::path second = FDir / "ziel2";
    fs::create_directories(second);
    WriteJobs({"Job 1," + FTarget.string() + "," + (FDir / "def1.csv").string() + ",1,",
               "Job 2," + second.string() + "," + (FDir / "def1.csv").string() + ",1,"});
    // rclone as the pass finds it on PATH: the real one, with each start written down.
    const fs::path bin = FDir / "bin";
    const fs::path starts = FDir / "rclone-starts.txt";
    fs::create_directories(bin);
    test::WriteFile(bin / "rclone", "#!/bin/sh\necho \"$1\" >> " + test::Quote(starts.string()) + "\nexec " +
                                        test::CommandOutput("command -v rclone | tr -d '\\n'") + " \"$@\"\n");
    fs::permissions(bin / "rclone", fs::perms::owner_all);
    const test::ProgramResult result = Backup({}, {{"PATH", bin.string() + ":" + std::getenv("PATH")}});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(test::ReadFile(FServed / "Extern/Job 1.zip"), test::ReadFile(FTarget / "Job 1.zip"));
    EXPECT_EQ(test::ReadFile(FServed / "Extern/Job 2.zip"), test::ReadFile(second / "Job 2.zip"));
    EXPECT_EQ(test::ReadFile(starts), "rcd\n");
}

// Every file below `folder` with its bytes, by path relative to it.
std::map<std::string, std::string> Tree(const fs::path& folder) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(entry.path(), folder).string();
        tree[name] = entry.is_regular_file() ? test::ReadFile(entry.path()) : std::string("<Ordner>");
    }
    return tree;
}

// /RESTORE when the target folder has lost the archive: the newest one comes from the
// remote and gives the same tree as the local archive did; nothing of the download
// stays in the data folder.
TEST_F(OffsiteCopyEndToEndTest, RestoreTakesTheRemoteArchiveWhenTheLocalOneIsMissing) {
    SetTarget("schule:Extern");
    ASSERT_EQ(Backup().exitStatus, 0);
    fs::remove_all(FSource);
    test::ProgramResult result = Pass({"/RESTORE"});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const auto fromLocal = Tree(FSource);
    EXPECT_EQ(fromLocal.count("brief.txt"), 1u);
    EXPECT_EQ(fromLocal.count("bild.jpg"), 0u);

    fs::remove_all(FSource);
    fs::remove(FTarget / "Job 1.zip");
    result = Pass({"/RESTORE"});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_NE(result.standardError.find("aus der Zweitkopie Job 1.zip auf schule:Extern wiederhergestellt"),
              std::string::npos)
        << result.standardError;
    EXPECT_EQ(Tree(FSource), fromLocal);
    EXPECT_FALSE(fs::exists(FTarget / "Job 1.zip")) << "the target folder is not refilled by a restore";
    for (const auto& [name, bytes] : Tree(FData)) {
        EXPECT_EQ(name.find("vb-zweitkopie"), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace vb
