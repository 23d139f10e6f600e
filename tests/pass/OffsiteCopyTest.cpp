// The copy of a job's archives to an rclone remote, against real WebDAV and SFTP
// servers that rclone serves on localhost.
#include "pass/OffsiteCopy.h"

#include <gtest/gtest.h>

#include <set>

#include <unistd.h>

#include "catalogue/JobArchives.h"
#include "catalogue/TJob.h"
#include "pass/RcloneRemote.h"
#include "settings/Settings.h"
#include "support/ErrorOf.h"
#include "support/FakeHost.h"
#include "support/RandomBytes.h"
#include "support/RcloneServer.h"
#include "support/SmallFileSystem.h"
#include "support/TempDir.h"
#include "util/Utf8.h"

namespace vb {
namespace {

namespace fs = std::filesystem;
using test::ServerKind;

// 10 December 2026, the day of the per-day archives below.
std::tm Today() {
    std::tm now{};
    now.tm_year = 126, now.tm_mon = 11, now.tm_mday = 10, now.tm_hour = 21;
    return now;
}

class OffsiteCopyTest : public ::testing::TestWithParam<ServerKind> {
protected:
    test::TempDir FDir;
    fs::path FServed = FDir / "served";
    fs::path FData = FDir / "daten";
    test::RcloneConfig FConfig{FDir / "rclone.conf"};
    std::optional<test::RcloneServer> FServer;
    test::FakeHost FHost;
    TOptions FOptions;
    TJob FJob;

    void SetUp() override {
        if (!test::HaveTool("rclone")) GTEST_SKIP() << "rclone is not installed";
        fs::create_directories(FServed / "Sicherungen");
        fs::create_directories(FData);
        FServer.emplace(GetParam(), FServed, FDir / "cache");
        FConfig.AddRemote("schule", FServer->RemoteLines(FServer->Port(), test::RcloneServer::kPassword));
        FOptions.FDatenDir = FData.string();
        FOptions.FLogging = true;
        FOptions.FZweitkopie = true;
        FOptions.FZweitkopieZiel = "schule:Sicherungen/Verwaltung";
        FJob.Bezeichnung = "Verwaltung";
        FJob.DestDir = (FDir / "ziel").string();
        fs::create_directories(FJob.DestDir);
    }

    fs::path Remote() const { return FServed / "Sicherungen/Verwaltung"; }

    // A local archive of `size` random bytes.
    std::string WriteArchive(const std::string& name, std::size_t size) {
        const std::string bytes = test::RandomBytes(size, static_cast<unsigned>(name.size() + size));
        test::WriteFile(fs::path(FJob.DestDir) / name, bytes);
        return bytes;
    }

    bool Copy(const std::tm& now = Today()) {
        FHost.FShown.clear();
        return OffsiteCopy(FOptions, FHost).CopyJob(FJob, now);
    }

    // The names in the remote folder, and in the target folder.
    static std::set<std::string> Names(const fs::path& folder) {
        std::set<std::string> names;
        if (!fs::exists(folder)) return names;
        for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
        return names;
    }
    // Every archive of the target folder lies on the remote with the same bytes, and
    // the remote holds nothing else.
    void ExpectRemoteMirrorsTarget() {
        EXPECT_EQ(Names(Remote()), Names(FJob.DestDir));
        for (const std::string& name : Names(FJob.DestDir)) {
            EXPECT_EQ(test::ReadFile(Remote() / name), test::ReadFile(fs::path(FJob.DestDir) / name)) << name;
        }
    }
};

TEST_P(OffsiteCopyTest, ArchiveLandsWholeUnderItsNameAndIsLogged) {
    WriteArchive("Verwaltung-26-12-10.zip", 3'000'000);
    ASSERT_TRUE(Copy()) << ::testing::PrintToString(FHost.FShown);
    ExpectRemoteMirrorsTarget();
    EXPECT_TRUE(FHost.FShown.empty());
    EXPECT_NE(utf8::fromUtf16le(test::ReadFile(FData / "VB-Backup.log"))
                  .find("schule:Sicherungen/Verwaltung/Verwaltung-26-12-10.zip Zweitkopie geschrieben "),
              std::string::npos);
    EXPECT_EQ(LastCopyText(FData.string()), "10.12.2026 21:00:00 (Job \u201EVerwaltung\u201C nach " +
                                                FOptions.FZweitkopieZiel + ")");
    // A pass with nothing new leaves the remote's copy as it is.
    const auto written = fs::last_write_time(Remote() / "Verwaltung-26-12-10.zip");
    ASSERT_TRUE(Copy());
    EXPECT_EQ(fs::last_write_time(Remote() / "Verwaltung-26-12-10.zip"), written);
}

// The connection ends after 1 MB of a 3 MB upload: the final name never appears, the
// local archive stays, and the next pass (connected again) copies it whole.
TEST_P(OffsiteCopyTest, ConnectionCutMidUploadLeavesNoPartUnderTheFinalName) {
    const std::string bytes = WriteArchive("Verwaltung-26-12-10.zip", 3'000'000);
    test::CuttingProxy proxy(FServer->Port(), 1'000'000);
    FConfig.AddRemote("wackelig", FServer->RemoteLines(proxy.Port(), test::RcloneServer::kPassword));
    FOptions.FZweitkopieZiel = "wackelig:Sicherungen/Verwaltung";
    EXPECT_FALSE(Copy());
    ASSERT_EQ(FHost.FShown.size(), 1u);
    EXPECT_NE(FHost.FShown[0].find("ist fehlgeschlagen: Die Verbindung zum Ziel \u201Ewackelig\u201C ist "
                                   "fehlgeschlagen oder abgebrochen."),
              std::string::npos)
        << FHost.FShown[0];
    EXPECT_FALSE(fs::exists(Remote() / "Verwaltung-26-12-10.zip"));
    EXPECT_EQ(test::ReadFile(fs::path(FJob.DestDir) / "Verwaltung-26-12-10.zip"), bytes);
    EXPECT_EQ(LastCopyText(FData.string()), "");

    FOptions.FZweitkopieZiel = "schule:Sicherungen/Verwaltung";
    ASSERT_TRUE(Copy()) << ::testing::PrintToString(FHost.FShown);
    ExpectRemoteMirrorsTarget();
}

// What cannot work fails the copy with a German reason and costs nothing local.
TEST_P(OffsiteCopyTest, FailuresKeepTheLocalArchiveAndSayWhy) {
    const std::string bytes = WriteArchive("Verwaltung-26-12-10.zip", 200'000);
    FConfig.AddRemote("falsch", FServer->RemoteLines(FServer->Port(), "nicht-das-passwort"));
    test::TempDir noTools;
    struct Case {
        const char* name;
        std::string target;
        std::string path;  // PATH, empty: unchanged
        std::string reason;
    } cases[] = {
        {"wrong password", "falsch:Sicherungen", "",
         "Die Anmeldung am Ziel \u201Efalsch\u201C wurde abgelehnt; bitte Benutzername und Passwort in der "
         "rclone-Konfiguration pr\u00FCfen."},
        {"unknown remote", "gibtsnicht:Sicherungen", "",
         "Das Ziel \u201Egibtsnicht\u201C ist in der rclone-Konfiguration nicht eingerichtet (rclone config)."},
        {"no rclone", "schule:Sicherungen", noTools.Path().string(),
         "Das Programm rclone wurde nicht gefunden; bitte das Debian-Paket \u201Erclone\u201C installieren."},
        {"no target", "", "", "F\u00FCr die Zweitkopie ist kein Ziel eingestellt"},
        {"a target rclone would take for an option", "--config=/tmp/x:y", "",
         "Das Ziel \u201E--config=/tmp/x:y\u201C ist kein rclone-Ziel der Form remote:Ordner."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<test::ScopedEnv> path;
        if (!c.path.empty()) path.emplace("PATH", c.path);
        FOptions.FZweitkopieZiel = c.target;
        EXPECT_FALSE(Copy());
        ASSERT_EQ(FHost.FShown.size(), 1u);
        EXPECT_EQ(FHost.FShown[0].rfind("Fehler: Die Zweitkopie des Jobs \u201EVerwaltung\u201C nach \u201E" +
                                            c.target + "\u201C ist fehlgeschlagen: " + c.reason,
                                        0),
                  0u)
            << FHost.FShown[0];
        EXPECT_EQ(test::ReadFile(fs::path(FJob.DestDir) / "Verwaltung-26-12-10.zip"), bytes);
        EXPECT_TRUE(Names(FServed / "Sicherungen").empty());
        EXPECT_NE(utf8::fromUtf16le(test::ReadFile(FData / "VB-Backup.log")).find(" Zweitkopie fehlgeschlagen: " +
                                                                                  c.reason),
                  std::string::npos);
    }
}

// A remote whose disk fills up during the upload: the reason says so, and neither the
// part nor anything under the final name stays there.
TEST_P(OffsiteCopyTest, FullRemoteIsSaidAndKeepsNoPart) {
    if (GetParam() != ServerKind::Sftp) GTEST_SKIP() << "rclone serve webdav answers a full disk with 405";
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a small file system";
    const fs::path small = FServed / "klein";
    const test::SmallFileSystem mounted(small, "1m");
    if (!mounted.Mounted()) GTEST_SKIP() << "no tmpfs here";
    const std::string bytes = WriteArchive("Verwaltung-26-12-10.zip", 3'000'000);
    FOptions.FZweitkopieZiel = "schule:klein";
    EXPECT_FALSE(Copy());
    ASSERT_EQ(FHost.FShown.size(), 1u);
    EXPECT_NE(FHost.FShown[0].find("Auf dem Ziel \u201Eschule\u201C ist kein Platz mehr frei."), std::string::npos)
        << FHost.FShown[0];
    EXPECT_EQ(test::ReadFile(fs::path(FJob.DestDir) / "Verwaltung-26-12-10.zip"), bytes);
    for (const auto& entry : fs::recursive_directory_iterator(small))
        EXPECT_FALSE(entry.is_regular_file()) << entry.path();
}

// An upload sends the whole file also where a file of the same size lies under its
// name: a WebDAV remote keeps no times, so size alone would take the two for the same.
TEST_P(OffsiteCopyTest, UploadReplacesAFileOfTheSameSize) {
    fs::create_directories(Remote());
    test::WriteFile(Remote() / "Verwaltung.zip.vbteil", std::string(1000, 'a'));
    const std::string bytes = WriteArchive("Verwaltung.zip", 1000);
    const RcloneRemote remote(FOptions.FZweitkopieZiel);
    remote.Upload((fs::path(FJob.DestDir) / "Verwaltung.zip").string(), "Verwaltung.zip.vbteil", {});
    EXPECT_EQ(test::ReadFile(Remote() / "Verwaltung.zip.vbteil"), bytes);
}

// Four passes of the three-generation strategy, the local rotation done by the
// backup run's own code: the remote follows with the same three names and contents.
TEST_P(OffsiteCopyTest, GenerationsRotateOnTheRemote) {
    FOptions.FStrategie = bsDreiGenerationen;
    for (int pass = 1; pass <= 4; ++pass) {
        SCOPED_TRACE(pass);
        test::WriteFile(PendingGenerationPath(FJob), test::RandomBytes(100'000 + pass * 1000, pass));
        ASSERT_TRUE(RotateGenerations(FJob));
        ASSERT_TRUE(Copy()) << ::testing::PrintToString(FHost.FShown);
        ExpectRemoteMirrorsTarget();
        EXPECT_EQ(Names(Remote()).size(), static_cast<std::size_t>(std::min(pass, 3)));
    }
}

// Kept 30 days on 10 December: 10 November stays, 9 November goes from the remote,
// and the target folder keeps everything. Another job's archive is not touched.
TEST_P(OffsiteCopyTest, PerDayArchivesOlderThanTheKeptDaysGoOnTheRemoteOnly) {
    FOptions.FStrategie = bsJedenTag;
    fs::create_directories(Remote());
    for (const char* name : {"Verwaltung-26-11-09.zip", "Verwaltung-26-11-10.zip", "Andere-26-01-01.zip"})
        test::WriteFile(Remote() / name, "alt");
    WriteArchive("Verwaltung-26-10-01.zip", 1000);
    WriteArchive("Verwaltung-26-11-09.zip", 1100);
    WriteArchive("Verwaltung-26-12-09.zip", 1200);
    WriteArchive("Verwaltung-26-12-10.zip", 1300);
    ASSERT_TRUE(Copy()) << ::testing::PrintToString(FHost.FShown);
    EXPECT_EQ(Names(Remote()), (std::set<std::string>{"Andere-26-01-01.zip", "Verwaltung-26-11-10.zip",
                                                      "Verwaltung-26-12-09.zip", "Verwaltung-26-12-10.zip"}));
    EXPECT_EQ(test::ReadFile(Remote() / "Verwaltung-26-12-09.zip"),
              test::ReadFile(fs::path(FJob.DestDir) / "Verwaltung-26-12-09.zip"));
    EXPECT_EQ(Names(FJob.DestDir).size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Servers, OffsiteCopyTest, ::testing::Values(ServerKind::WebDav, ServerKind::Sftp),
                         [](const auto& info) { return std::string(test::KindName(info.param)); });

// A local file whose hash cannot be had is named as such, not as a remote.
TEST(RcloneRemoteTest, AHashThatCannotBeHadNamesTheLocalFile) {
    if (!test::HaveTool("rclone")) GTEST_SKIP() << "rclone is not installed";
    test::TempDir dir;
    const std::string missing = (dir / "fehlt.zip").string();
    const std::string said = test::ErrorOf([&] { RcloneRemote("schule:Sicherungen").LocalHash(missing, "MD5"); });
    EXPECT_EQ(said.rfind("rclone konnte die Pr\u00FCfsumme (MD5) der Datei " + missing + " nicht berechnen.", 0), 0u)
        << said;
}

}  // namespace
}  // namespace vb
