// The restore run's steps, with the window and its boxes played by a fake and
// archives written by Python's zipfile and Info-ZIP.
#include "restore/RestoreRun.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>

#include "restore/RestoreRunFixture.h"
#include "support/AsNobody.h"
#include "support/PasswordCheck.h"
#include "util/Error.h"

namespace vb {
namespace {

namespace fs = std::filesystem;
using test::RestoreRunTest;

TEST_F(RestoreRunTest, ExactlyTheSelectedEntriesWhateverTheRowOrder) {
    MakeZip(FArchives / "Job.zip", {"Daten/", "Daten/leer/", "Daten/a.txt:Alpha", "Daten/DB/b.txt:Beta:ro", "c.txt:Gamma"});
    ShowJob();
    ASSERT_EQ(FWindow.Rows.RowCount(), 3u);  // folders are not listed
    FWindow.Rows.SortBy(bcName);
    FWindow.Rows.SortBy(bcName);  // descending: c, b, a
    FWindow.Rows.Click(0, false, false);
    FWindow.Rows.Click(1, true, false);
    EXPECT_TRUE(FRun.RestoreJob(FWindow.FJob, false));

    EXPECT_EQ(Read("c.txt"), "Gamma");
    EXPECT_EQ(Read("Daten/DB/b.txt"), "Beta");
    EXPECT_FALSE(fs::exists(FRoot / "Daten/a.txt"));
    EXPECT_FALSE(fs::exists(FRoot / "Daten/leer"));
    // Read-only from the archive; the time stamp from the entry (local time).
    EXPECT_EQ(fs::status(FRoot / "Daten/DB/b.txt").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    struct stat st{};
    ASSERT_EQ(::stat((FRoot / "c.txt").c_str(), &st), 0);
    std::tm local{};
    localtime_r(&st.st_mtime, &local);
    EXPECT_EQ(std::vector<int>({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min}),
              std::vector<int>({2016, 10, 3, 14, 5}));
    // Step 7: selection and status cleared, hourglass gone; the archive stays open.
    EXPECT_EQ(FWindow.Rows.SelectedCount(), 0u);
    EXPECT_EQ(FWindow.FStatus, "");
    EXPECT_FALSE(FWindow.FBusy);
    EXPECT_TRUE(FWindow.Reader.IsOpen());
    EXPECT_TRUE(FWindow.FShown.empty());
    const std::string log = Log();
    EXPECT_EQ(log.rfind(FArchives.string() + "/Job.zip logging ", 0), 0u) << log;
    EXPECT_NE(log.find("\r\nDaten/DB/b.txt extracted "), std::string::npos);
    EXPECT_NE(log.find("\r\nc.txt extracted "), std::string::npos);
    EXPECT_EQ(log.find("a.txt"), std::string::npos);
}

TEST_F(RestoreRunTest, NothingSelectedRestoresNothingAndNoArchiveIsNamed) {
    MakeZip(FArchives / "Job.zip", {"c.txt:Gamma"});
    ShowJob();
    EXPECT_TRUE(FRun.RestoreJob(FWindow.FJob, false));
    EXPECT_TRUE(fs::is_empty(FRoot));

    fs::remove(FArchives / "Job.zip");
    EXPECT_FALSE(FPass.RestoreOne(FWindow.FJob));
    EXPECT_EQ(FWindow.FShown, std::vector<std::string>{"Fehler: Im Zielverzeichnis " + FArchives.string() +
                                                      " wurde keine Sicherung gefunden."});
    EXPECT_TRUE(FPass.Incomplete());
}

TEST_F(RestoreRunTest, ReplacedFileKeepsOwnerGroupAndModeNewFileTakesTheFolderGroup) {
    if (::geteuid() != 0) GTEST_SKIP() << "handing files to other owners needs root";
    MakeZip(FArchives / "Job.zip", {"Lehrer/alt.txt:neu:nomode", "Lehrer/neu.txt:frisch:nomode"});
    fs::create_directories(FRoot / "Lehrer");
    test::WriteFile(FRoot / "Lehrer/alt.txt", "alt");
    ASSERT_EQ(::chown((FRoot / "Lehrer").c_str(), 0, 4321), 0);
    ASSERT_EQ(::chown((FRoot / "Lehrer/alt.txt").c_str(), 1234, 1235), 0);
    ASSERT_EQ(::chmod((FRoot / "Lehrer/alt.txt").c_str(), 0640), 0);
    FAuto = true;
    ShowJob();
    EXPECT_TRUE(FRun.RestoreJob(FWindow.FJob, true));
    struct stat st{};
    ASSERT_EQ(::stat((FRoot / "Lehrer/alt.txt").c_str(), &st), 0);
    EXPECT_EQ(Read("Lehrer/alt.txt"), "neu");
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 1235u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    ASSERT_EQ(::stat((FRoot / "Lehrer/neu.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_gid, 4321u);
}

TEST_F(RestoreRunTest, PassTakesTheJobsOwnArchiveRestoresFoldersAndSkipsAFileInUse) {
    const fs::path jet = VB_FIXTURES_DIR "/jet/jet4-nopw.mdb";
    MakeZip(FArchives / "Anderer-Job.zip", {"fremd.txt:falsch"});
    // plan.txt keeps owner, group and mode in the archive, so the file it replaces
    // changes nothing of it: in use, it is left all the same.
    MakeZip(FArchives / "Job.zip", {"Daten/leer/", "Daten/a.txt:Alpha", "DB/reports.mdb@" + jet.string(),
                                    "Daten/plan.txt:neu:mode=0640:uid=0:gid=0"});
    Jobs("Job.zip");
    fs::create_directories(FRoot / "DB");
    fs::copy_file(jet, FRoot / "DB/reports.mdb");
    fs::create_directories(FRoot / "Daten");
    test::WriteFile(FRoot / "Daten/a.txt", "");
    test::WriteFile(FRoot / "Daten/plan.txt", "alt");
    FAuto = true;
    {
        // Other programs hold the database and the plan open.
        const int held = ::open((FRoot / "DB/reports.mdb").c_str(), O_RDONLY);
        const int plan = ::open((FRoot / "Daten/plan.txt").c_str(), O_RDONLY);
        ASSERT_GE(held, 0);
        ASSERT_GE(plan, 0);
        FPass.Run(PassKind::Restore, "");
        ::close(held);
        ::close(plan);
    }
    EXPECT_FALSE(fs::exists(FRoot / "fremd.txt"));
    EXPECT_EQ(Read("Daten/a.txt"), "Alpha");
    EXPECT_EQ(Read("Daten/plan.txt"), "alt");
    EXPECT_TRUE(fs::is_directory(FRoot / "Daten/leer"));
    EXPECT_TRUE(FPass.Incomplete());
    EXPECT_EQ(FWindow.FShown,
              (std::vector<std::string>{
                  "Fehler: DB/reports.mdb wurde nicht wiederhergestellt: die Datei ist noch ge\xC3\xB6" "ffnet",
                  "Fehler: Daten/plan.txt wurde nicht wiederhergestellt: die Datei ist noch ge\xC3\xB6" "ffnet"}));
    EXPECT_NE(Log().find("\r\nDB/reports.mdb skipped "), std::string::npos) << Log();

    // Once free, the next pass restores them and counts as complete.
    FWindow.FShown.clear();
    FPass.Run(PassKind::Restore, "");
    EXPECT_FALSE(FPass.Incomplete());
    EXPECT_TRUE(FWindow.FShown.empty());
    EXPECT_EQ(Read("DB/reports.mdb"), test::ReadFile(jet));
    EXPECT_EQ(Read("Daten/plan.txt"), "neu");
    struct stat st {};
    ASSERT_EQ(::stat((FRoot / "Daten/plan.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(RestoreRunTest, InteractiveFileInUseGetsItsBoxAndOtherFailuresOneList) {
    const fs::path jet = VB_FIXTURES_DIR "/jet/jet4-nopw.mdb";
    MakeZip(FArchives / "Job.zip", {"DB/reports.mdb@" + jet.string(), "../aussen.txt:x", "gut.txt:ok"});
    fs::create_directories(FRoot / "DB");
    fs::copy_file(jet, FRoot / "DB/reports.mdb");
    ShowJob();
    FWindow.Rows.SelectAll();
    const int held = ::open((FRoot / "DB/reports.mdb").c_str(), O_RDONLY);
    EXPECT_FALSE(FRun.RestoreJob(FWindow.FJob, false));
    ::close(held);
    EXPECT_EQ(Read("gut.txt"), "ok");
    ASSERT_EQ(FWindow.FShown.size(), 2u);
    EXPECT_EQ(FWindow.FShown[0],
              "Fehler: DB/reports.mdb ist noch ge\xC3\xB6" "ffnet und konnte deshalb nicht wiederhergestellt werden.\n\n"
              "Bitte schlie\xC3\x9F" "en Sie alle Anwendungen, die auf diese Datei zugreifen, und starten dann erneut.");
    EXPECT_EQ(FWindow.FShown[1].rfind("Fehler: Die folgenden Eintr\xC3\xA4ge wurden nicht wiederhergestellt:\n\n../aussen.txt (", 0), 0u)
        << FWindow.FShown[1];
    EXPECT_FALSE(fs::exists(FDir / "aussen.txt"));
}

TEST_F(RestoreRunTest, AnotherPassHoldingTheLockStopsTheRestore) {
    MakeZip(FArchives / "Job.zip", {"c.txt:Gamma"});
    FAuto = true;
    {
        platform::PassLock backup(FOptions.FDatenDir);
        FPass.Run(PassKind::Restore, "");
        EXPECT_TRUE(FPass.Incomplete());
        EXPECT_EQ(FWindow.FShown, std::vector<std::string>{std::string("Fehler: ") + platform::kPassRunningMessage});
        EXPECT_FALSE(fs::exists(FRoot / "c.txt"));
    }
    FWindow.FShown.clear();
    FPass.Run(PassKind::Restore, "");
    EXPECT_FALSE(FPass.Incomplete());
    EXPECT_EQ(Read("c.txt"), "Gamma");
    // The run has let go of the lock.
    EXPECT_NO_THROW(platform::PassLock(FOptions.FDatenDir));
}

TEST_F(RestoreRunTest, PasswordPromptAnswers) {
    const fs::path source = FDir / "quelle";
    fs::create_directories(source);
    test::WriteFile(source / "geheim.txt", "Zeugnisse");
    // zip's encryption header is random: the archive is made again until none of the
    // wrong answers below passes its check byte by chance.
    for (int attempt = 0;; ++attempt) {
        ASSERT_LT(attempt, 20);
        fs::remove(FArchives / "Job.zip");
        ASSERT_EQ(std::system(("cd '" + source.string() + "' && zip -q -P Sch\xC3\xBCler '" +
                               (FArchives / "Job.zip").string() + "' geheim.txt")
                                  .c_str()),
                  0);
        if (!test::AnyPassesTheCheck((FArchives / "Job.zip").string(), {"falsch", "a", "b", "c"})) break;
    }
    const struct {
        const char* name;
        std::deque<std::optional<std::string>> answers;
        bool restored;
        int requests;
    } cases[] = {
        {"right at the second request", {"falsch", "Sch\xC3\xBCler"}, true, 2},
        {"three wrong answers", {"a", "b", "c", "Sch\xC3\xBCler"}, false, 3},
        {"cancelled", {std::nullopt}, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(FRoot / "geheim.txt");
        FWindow.Reader.SetPassword("");
        FWindow.FShown.clear();
        FWindow.FPasswordPrompts.clear();
        FWindow.FPasswords = c.answers;
        ShowJob();
        FWindow.Rows.SelectAll();
        EXPECT_EQ(FRun.RestoreJob(FWindow.FJob, false), c.restored);
        EXPECT_EQ(FWindow.FPasswordPrompts.size(), std::size_t(c.requests));
        EXPECT_EQ(fs::exists(FRoot / "geheim.txt"), c.restored);
        EXPECT_EQ(FWindow.FShown.size(), c.restored ? 0u : 1u);
        if (c.restored) {
            EXPECT_EQ(Read("geheim.txt"), "Zeugnisse");
        }
    }
}

TEST_F(RestoreRunTest, BadArchivesAndRootsEndWithAMessageAndWriteNothing) {
    MakeZip(FDir / "gut.zip", {"a.txt:Alpha", "b.txt:" + std::string(3000, 'b')});
    const std::string good = test::ReadFile(FDir / "gut.zip");
    const struct {
        const char* name;
        std::string bytes;  // the archive's content; "-" for no file
        const char* root;   // below the temporary folder
        const char* message;
    } cases[] = {
        {"missing archive", "-", "wurzel", "File not found"},
        {"empty archive", "", "wurzel", "Invalid Stream"},
        {"no ZIP", std::string(400, 'x'), "wurzel", nullptr},
        {"truncated", good.substr(0, good.size() / 2), "wurzel", nullptr},
        {"restore root missing", good, "fehlt", "Das Wiederherstellungsziel "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(FArchives);
        fs::create_directories(FArchives);
        MakeZip(FArchives / "A.zip", {"x.txt:x"});  // the listed archive the browser shows
        if (c.bytes != "-") test::WriteFile(FArchives / "Job.zip", c.bytes);
        ShowJob();
        FWindow.FJob.BackupFilename = "Job.zip";
        FWindow.FRestoreRoot = (FDir / c.root).string() + "/";
        std::string message;
        try {
            FRun.RestoreJob(FWindow.FJob, false);
        } catch (const Error& e) {
            message = e.what();
        }
        EXPECT_FALSE(message.empty());
        if (c.message) {
            EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
        }
        EXPECT_FALSE(FWindow.FBusy);
        EXPECT_TRUE(fs::is_empty(FRoot));
    }
}

TEST_F(RestoreRunTest, TargetSideLinksFolderLinksFollowedFileLinksReplacedArchiveLinksNeverMade) {
    const fs::path elsewhere = FDir / "andere-platte";
    fs::create_directories(elsewhere / "home");
    test::WriteFile(FDir / "fremd.txt", "unberührt");
    fs::create_directory_symlink(elsewhere / "home", FRoot / "home");
    fs::create_symlink(FDir / "fremd.txt", FRoot / "verweis.txt");
    MakeZip(FArchives / "Job.zip", {"home/lehrer/noten.txt:Noten", "verweis.txt:ersetzt", "link->/etc/passwd",
                                    "/abs/datei.txt:y", "a\\..\\..\\b.txt:z"});
    FAuto = true;
    FPass.Run(PassKind::Restore, "");
    // The folder link is part of the system restored into.
    EXPECT_EQ(test::ReadFile(elsewhere / "home/lehrer/noten.txt"), "Noten");
    EXPECT_TRUE(fs::is_symlink(FRoot / "home"));
    // A file that is a link is replaced, never written through.
    EXPECT_FALSE(fs::is_symlink(FRoot / "verweis.txt"));
    EXPECT_EQ(Read("verweis.txt"), "ersetzt");
    EXPECT_EQ(test::ReadFile(FDir / "fremd.txt"), "unberührt");
    // An entry holding a link becomes a plain file; a backslash is part of a name.
    EXPECT_FALSE(fs::is_symlink(FRoot / "link"));
    EXPECT_EQ(Read("link"), "/etc/passwd");
    EXPECT_EQ(Read("a\\..\\..\\b.txt"), "z");
    // The absolute name is refused and named.
    EXPECT_FALSE(fs::exists("/abs/datei.txt"));
    ASSERT_EQ(FWindow.FShown.size(), 1u);
    EXPECT_EQ(FWindow.FShown[0].rfind("Fehler: /abs/datei.txt wurde nicht wiederhergestellt: ", 0), 0u) << FWindow.FShown[0];
}

TEST_F(RestoreRunTest, LyingSizesAndHugeEntriesKeepMemoryBoundedAndFilesWhole) {
    MakeZip(FArchives / "Job.zip", {"mehr.txt:Hallo Welt:claim=3", "weniger.txt:Hallo Welt:claim=100000",
                                    "riesig.bin:268435456:zeros"});
    test::WriteFile(FRoot / "mehr.txt", "alt");
    struct rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    FAuto = true;
    FPass.Run(PassKind::Restore, "");
    struct rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    // 256 MiB of data went through; the process grew by far less (ru_maxrss in KiB).
    EXPECT_EQ(fs::file_size(FRoot / "riesig.bin"), 268435456u);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);
    // An entry whose headers claim another size than its data holds is left out and
    // named: the old file stays whole, no cut or padded file appears.
    EXPECT_EQ(Read("mehr.txt"), "alt");
    EXPECT_FALSE(fs::exists(FRoot / "weniger.txt"));
    ASSERT_EQ(FWindow.FShown.size(), 2u) << ::testing::PrintToString(FWindow.FShown);
    EXPECT_EQ(FWindow.FShown[0].rfind("Fehler: mehr.txt wurde nicht wiederhergestellt: ", 0), 0u) << FWindow.FShown[0];
    EXPECT_EQ(FWindow.FShown[1].rfind("Fehler: weniger.txt wurde nicht wiederhergestellt: ", 0), 0u) << FWindow.FShown[1];
}

TEST_F(RestoreRunTest, FullDiskLeavesTheOldFileWholeAndNamesTheEntry) {
    MakeZip(FArchives / "Job.zip", {"gross.bin:3000000:zeros", "klein.txt:ok"});
    test::WriteFile(FRoot / "gross.bin", "alte Fassung");
    FAuto = true;
    struct rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = {1 << 20, old.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    FPass.Run(PassKind::Restore, "");
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, previous);
    EXPECT_EQ(Read("gross.bin"), "alte Fassung");
    EXPECT_EQ(Read("klein.txt"), "ok");
    ASSERT_EQ(FWindow.FShown.size(), 1u);
    EXPECT_EQ(FWindow.FShown[0].rfind("Fehler: gross.bin wurde nicht wiederhergestellt: ", 0), 0u) << FWindow.FShown[0];
    EXPECT_TRUE(FPass.Incomplete());
    for (const auto& item : fs::directory_iterator(FRoot)) {
        EXPECT_EQ(item.path().filename().string().find(".vbpart"), std::string::npos) << item.path();
    }
}

// A restore root that this user may not write to: the old file stays as it was, no
// folder or file appears, every entry is named and the pass says it is incomplete.
TEST_F(RestoreRunTest, ReadOnlyRootKeepsWhatIsThereAndNamesEveryEntry) {
    MakeZip(FArchives / "Job.zip", {"alt.txt:neu", "Ordner/b.txt:Beta", "c.txt:Gamma"});
    test::WriteFile(FRoot / "alt.txt", "alt");
    // Only the root is closed; the log's folder and the archives stay open to the user.
    fs::permissions(FDir.Path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(FDir / "daten", fs::perms::all);
    fs::permissions(FRoot, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
    FAuto = true;
    {
        test::AsNobody nobody;  // permission bits hold for root too
        FPass.Run(PassKind::Restore, "");
    }
    fs::permissions(FRoot, fs::perms::owner_all);
    EXPECT_EQ(Read("alt.txt"), "alt");
    EXPECT_FALSE(fs::exists(FRoot / "Ordner"));
    EXPECT_FALSE(fs::exists(FRoot / "c.txt"));
    EXPECT_TRUE(FPass.Incomplete());
    std::string shown;
    for (const std::string& line : FWindow.FShown) shown += line + "\n";
    for (const char* name : {"alt.txt", "Ordner/b.txt", "c.txt"}) {
        EXPECT_NE(shown.find(name), std::string::npos) << name << " is not named in:\n" << shown;
    }
    for (const auto& item : fs::directory_iterator(FRoot)) {
        EXPECT_EQ(item.path().filename().string().find(".vbpart"), std::string::npos) << item.path();
    }
}

}  // namespace
}  // namespace vb
