// The unattended /BACKUP with the copy to an rclone remote switched on, against a
// WebDAV server that rclone serves on localhost.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vb
