// Backs up a tree with the real program, spoils it, and restores it as a scheduler
// would: /RESTORE, headless, with an isolated configuration and data folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/PassEndToEnd.h"

namespace vb {
namespace {

namespace fs = std::filesystem;
const fs::path kJet4 = VB_FIXTURES_DIR "/jet/jet4-nopw.mdb";
const fs::path kJet3 = VB_FIXTURES_DIR "/jet/jet3-nopw.mdb";

// Another program that holds a file open until it is ended.
class Holder {
public:
    explicit Holder(const fs::path& file) {
        FPid = ::fork();
        if (FPid == 0) {
            if (::open(file.c_str(), O_RDONLY) < 0) ::_exit(1);
            for (;;) ::pause();
        }
        // Wait until the child has the file open.
        for (int i = 0; i < 500 && !HasOpen(file); ++i) ::usleep(10000);
    }
    ~Holder() { End(); }
    void End() {
        if (FPid <= 0) return;
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
        FPid = -1;
    }

private:
    bool HasOpen(const fs::path& file) const {
        std::error_code ec;
        for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(FPid) + "/fd", ec)) {
            if (fs::read_symlink(fd.path(), ec) == file) return true;
        }
        return false;
    }
    pid_t FPid = -1;
};

class RestoreEndToEndTest : public test::PassEndToEndTest {
protected:
    void SetUp() override {
        PassEndToEndTest::SetUp();
        fs::create_directories(FSource / "Unterordner");
        fs::create_directories(FSource / "Leer");
        fs::create_directories(FSource / "DB");
        test::WriteFile(FSource / "brief.txt", "Sehr geehrte Eltern,\r\n");
        test::WriteFile(FSource / "Unterordner/noten.ini", "[Noten]\r\n");
        fs::permissions(FSource / "Unterordner/noten.ini", fs::perms::owner_read | fs::perms::group_read);
        fs::copy_file(kJet4, FSource / "DB/reports.mdb");
        SetTime(FSource / "brief.txt", 1459944000);  // 2016-04-06 12:00:00 UTC, an even second
        WriteDefinition("def.csv", "Quelle," + FSource.string() + ",*,1,1");
        WriteJobs({"Job 1," + FTarget.string() + "," + (FDir / "def.csv").string() + ",1,"});
        FRegistry.WriteDword("Software\\Vorlix-Backup", "STRATEGIE", 2);
    }
    static void SetTime(const fs::path& file, std::time_t t) {
        struct timespec times[2] = {{t, 0}, {t, 0}};
        ::utimensat(AT_FDCWD, file.c_str(), times, 0);
    }
    test::ProgramResult Run(const std::string& pass, const std::map<std::string, std::string>& extra = {}) {
        return Pass({pass}, extra);
    }
    // The stored name of a file below the source: its path without the leading "/".
    std::string Stored(const std::string& name) const { return (FSource / name).string().substr(1); }
};

TEST_F(RestoreEndToEndTest, SpoiledTreeComesBackAndAFileInUseWaitsForTheNextPass) {
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown((FSource / "brief.txt").c_str(), 1234, 1235), 0);
    }
    fs::permissions(FSource / "brief.txt", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    auto result = Run("/BACKUP");
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;

    // The bad day: a file changed, a file and an empty folder gone, the database
    // replaced by another one that a program holds open.
    test::WriteFile(FSource / "brief.txt", "verdorben");
    fs::permissions(FSource / "Unterordner/noten.ini", fs::perms::owner_all);
    fs::remove(FSource / "Unterordner/noten.ini");
    fs::remove(FSource / "Leer");
    fs::remove(FSource / "DB/reports.mdb");
    fs::copy_file(kJet3, FSource / "DB/reports.mdb");
    Holder holder(FSource / "DB/reports.mdb");

    result = Run("/RESTORE");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.standardError.find(Stored("DB/reports.mdb") + " wurde nicht wiederhergestellt: die Datei ist noch ge"),
              std::string::npos)
        << result.standardError;
    EXPECT_EQ(test::ReadFile(FSource / "brief.txt"), "Sehr geehrte Eltern,\r\n");
    EXPECT_EQ(test::ReadFile(FSource / "Unterordner/noten.ini"), "[Noten]\r\n");
    EXPECT_TRUE(fs::is_directory(FSource / "Leer"));
    EXPECT_EQ(test::ReadFile(FSource / "DB/reports.mdb"), test::ReadFile(kJet3));
    struct stat st{};
    ASSERT_EQ(::stat((FSource / "brief.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1459944000);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // the replaced file's permissions
    if (root) {
        EXPECT_EQ(st.st_uid, 1234u);
        EXPECT_EQ(st.st_gid, 1235u);
    }
    ASSERT_EQ(::stat((FSource / "Unterordner/noten.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);  // read-only from the archive
    const std::string log = test::ReadFile(FData / "VB-Restore.log");
    EXPECT_FALSE(log.empty());

    // Once the other program has ended, the next pass restores the database.
    holder.End();
    result = Run("/RESTORE");
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(test::ReadFile(FSource / "DB/reports.mdb"), test::ReadFile(kJet4));
}

TEST_F(RestoreEndToEndTest, PassOutcomesAndExitStatus) {
    ASSERT_EQ(Run("/BACKUP").exitStatus, 0);
    fs::remove_all(FDir / "leer");
    fs::create_directories(FDir / "leer");
    const std::string empty = (FDir / "leer").string();
    const struct {
        const char* name;
        std::vector<std::string> jobs;  // rows after the header
        const char* archiveBytes;       // replaces the job's archive when set
        int exitStatus;
        std::string message;            // a line of standard error, "" for none
    } cases[] = {
        {"restored", {"Job 1," + FTarget.string() + "," + (FDir / "def.csv").string() + ",1,Job 1.zip"}, nullptr, 0, ""},
        {"no archive in the target folder",
         {"Job 1," + empty + "," + (FDir / "def.csv").string() + ",1,Job 1.zip"},
         nullptr,
         1,
         "Fehler: Im Zielverzeichnis " + empty + " wurde keine Sicherung gefunden."},
        {"job not automatic", {"Job 1," + empty + "," + (FDir / "def.csv").string() + ",0,"}, nullptr, 0, ""},
        {"no ZIP archive", {"Job 1," + FTarget.string() + "," + (FDir / "def.csv").string() + ",1,Job 1.zip"},
         "kein Archiv, nur Text", 1, "Fehler: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteJobs(c.jobs);
        if (c.archiveBytes) test::WriteFile(FTarget / "Job 1.zip", c.archiveBytes);
        fs::remove(FSource / "brief.txt");
        const auto result = Run("/RESTORE");
        EXPECT_EQ(result.exitStatus, c.exitStatus) << result.standardError;
        if (c.message.empty()) {
            EXPECT_EQ(result.standardError.find("Fehler"), std::string::npos) << result.standardError;
        } else {
            EXPECT_NE(result.standardError.find(c.message), std::string::npos) << result.standardError;
        }
        EXPECT_EQ(fs::exists(FSource / "brief.txt"), c.exitStatus == 0 && c.jobs[0].find(",1,") != std::string::npos);
    }
}

TEST_F(RestoreEndToEndTest, ProtectedArchiveTakesThePasswordFromTheEnvironment) {
    FRegistry.WriteDword("Software\\Vorlix-Backup", "PASSWORTSCHUTZ", 1);
    ASSERT_EQ(Run("/BACKUP", {{"VORLIXBACKUP_PASSWORD", "Zeugnis"}}).exitStatus, 0);
    fs::remove(FSource / "brief.txt");
    auto result = Run("/RESTORE", {{"VORLIXBACKUP_PASSWORD", "falsch"}});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.standardError.find(Stored("brief.txt") + " wurde nicht wiederhergestellt: "), std::string::npos)
        << result.standardError;
    EXPECT_FALSE(fs::exists(FSource / "brief.txt"));
    result = Run("/RESTORE", {{"VORLIXBACKUP_PASSWORD", "Zeugnis"}});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(test::ReadFile(FSource / "brief.txt"), "Sehr geehrte Eltern,\r\n");
}

}  // namespace
}  // namespace vb
