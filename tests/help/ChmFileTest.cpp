// The compiled help as the build makes it: every context number of the window leads
// to its page's topic through the file's own map, wherever the file lies.
#include "help/ChmFile.h"

#include <gtest/gtest.h>

#include "help/VersionInfo.h"
#include "support/TempDir.h"
#include "util/Error.h"

namespace vb {
namespace {

const std::string kHelpFile = VB_BINARY_DIR "/vorlixbackup.chm";

TEST(ChmFile, ContextNumbersOfTheWindowMapToTheirTopics) {
    // Moved away from the build folder, as an installation does.
    test::TempDir dir;
    test::WriteFile(dir / "hilfe.chm", test::ReadFile(kHelpFile));
    const ChmFile help((dir / "hilfe.chm").string());
    const struct {
        std::uint32_t number;
        const char* topic;
    } cases[] = {
        {1000, "/html/fenster.htm"},         {2000, "/html/sichern.htm"},
        {3000, "/html/wiederherstellen.htm"}, {4000, "/html/einstellungen.htm"},
        {5000, "/html/logdateien.htm"},      {6000, "/html/jobs.htm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        ASSERT_EQ(help.TopicOfContext(c.number), std::optional<std::string>(c.topic));
        const auto page = help.Read(c.topic);
        ASSERT_TRUE(page);
        EXPECT_NE(page->find("<h1>"), std::string::npos);
    }
    for (const std::uint32_t unmapped : {0u, 1u, 2500u, 7000u}) EXPECT_EQ(help.TopicOfContext(unmapped), std::nullopt);
    EXPECT_EQ(help.DefaultTopic(), "/html/inhalt.htm");
    EXPECT_FALSE(help.Title().empty());
    // Every page of the contents is in the file, and so is the style sheet.
    const std::string contents = help.Read("/html/inhalt.htm").value_or("");
    for (const char* link : {"fenster.htm", "jobs.htm", "sichern.htm", "wiederherstellen.htm", "einstellungen.htm",
                             "logdateien.htm", "zeitgesteuert.htm", "datenbank.htm", "zweitkopie.htm"}) {
        SCOPED_TRACE(link);
        EXPECT_NE(contents.find(std::string("href=\"") + link), std::string::npos);
        EXPECT_TRUE(help.Read(std::string("/html/") + link));
    }
    EXPECT_TRUE(help.Read("/html/hilfe.css"));
}

TEST(ChmFile, TheHelpCoversWhatAnAdministratorNeeds) {
    const ChmFile help(kHelpFile);
    const std::string timed = help.Read("/html/zeitgesteuert.htm").value_or("");
    for (const char* needed : {"crontab -e", "OnCalendar=", "systemctl --user enable --now vorlixbackup.timer",
                               "VORLIXBACKUP_PASSWORD_FILE", "600", "Rückgabewert", "loginctl enable-linger"}) {
        SCOPED_TRACE(needed);
        EXPECT_NE(timed.find(needed), std::string::npos);
    }
    // The copy to a remote: the three kinds of remote, each with its rclone command.
    const std::string offsite = help.Read("/html/zweitkopie.htm").value_or("");
    for (const char* needed : {"rclone config create schule-nc webdav", "vendor=nextcloud", "rclone config create schule-sftp sftp",
                               "rclone config create schule-s3 s3", "rclone listremotes", "RCLONE_CONFIG",
                               "Verbindung testen"}) {
        SCOPED_TRACE(needed);
        EXPECT_NE(offsite.find(needed), std::string::npos);
    }
    const std::string restore = help.Read("/html/wiederherstellen.htm").value_or("");
    EXPECT_NE(restore.find("ursprünglichen"), std::string::npos);
    EXPECT_NE(restore.find("/media/stick"), std::string::npos);
    for (const char* feature :
         {"Mit Festplatte vergleichen", "Neuere behalten", "Versionen", "(Stand 03.12.2026)", "--versions"}) {
        EXPECT_NE(restore.find(feature), std::string::npos) << feature;
    }
    EXPECT_TRUE(help.Read("/html/vergleich.png"));
    EXPECT_TRUE(help.Read("/html/versionen.png"));
    const std::string settings = help.Read("/html/einstellungen.htm").value_or("");
    for (const char* strategy : {"Pro Sicherungstag", "drei Generationen", "gleichen Datei"})
        EXPECT_NE(settings.find(strategy), std::string::npos) << strategy;
    EXPECT_NE(help.Read("/html/datenbank.htm").value_or("").find("smbstatus"), std::string::npos);
}

TEST(ChmFile, MappedPathsResolveByTheirTrailingSegments) {
    const std::vector<std::string> topics = {"/html/a.htm", "/a.htm", "/html/sub/b.htm", "/inhalt.htm"};
    const struct {
        const char* mapped;
        std::optional<std::string> topic;
    } cases[] = {
        {"/home/builder/src/help/html/a.htm", "/html/a.htm"},
        {"C:\\Projekte\\Hilfe\\HTML\\A.HTM", "/html/a.htm"},
        {"html/sub/b.htm", "/html/sub/b.htm"},
        {"/elsewhere/a.htm", "/a.htm"},
        {"/build/other/b.htm", std::nullopt},  // the file name alone is no match for a deeper topic
        {"/build/help/missing.htm", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mapped);
        EXPECT_EQ(ResolveMappedTopic(c.mapped, topics), c.topic);
    }
}

TEST(ChmFile, AFileThatIsNoCompiledHelpIsReported) {
    test::TempDir dir;
    test::WriteFile(dir / "kaputt.chm", "ITSF but nothing more");
    EXPECT_THROW(ChmFile((dir / "kaputt.chm").string()), Error);
    EXPECT_THROW(ChmFile((dir / "missing.chm").string()), Error);
}

TEST(VersionInfo, CopyrightTakesTheBuildYear) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"%d Vorlix", "2016 Vorlix"},
        {"Vorlix GmbH", "Vorlix GmbH"},
        {"2000-%d, 100%% Vorlix", "2000-2016, 100% Vorlix"},
        {"%6d", "  2016"},
        {"%s und %x", "%s und %x"},
        {"am Ende %", "am Ende %"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FormatCopyright(c.text, 2016), c.expected);
    }
}

}  // namespace
}  // namespace vb
