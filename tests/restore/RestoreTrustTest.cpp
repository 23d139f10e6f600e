// A restore run by root over folders that users own: nothing a user plants in the
// target tree makes root write elsewhere, files come back no more readable than they
// were, files another program holds open stay as they are, and an unattended restore
// writes only where its job backs up.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "restore/RestoreRunFixture.h"
#include "support/SmallFileSystem.h"
#include "support/RunCommand.h"
#include "util/Error.h"

namespace vb {
namespace {

namespace fs = std::filesystem;
using test::RestoreRunTest;

struct stat StatOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// A user's own moves in their folder, made as that user.
void AsUser(const std::string& user, const std::string& command) {
    ASSERT_EQ(test::RunCommand("runuser -u " + user + " -- sh -c " + test::Quote(command)), 0) << command;
}

TEST_F(RestoreRunTest, ALinkAUserPlantsInTheTargetIsNotFollowed) {
    if (::geteuid() != 0) GTEST_SKIP() << "a user's link against root needs root";
    fs::permissions(FDir.Path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    // A folder only root may write, with a set-user-id program in it.
    const fs::path system = FDir / "system";
    fs::create_directories(system);
    test::WriteFile(system / "programm", "echt");
    ::chmod((system / "programm").c_str(), 04755);
    // The user's own folder, in which they swap a subfolder for a link to it.
    fs::create_directories(FRoot / "home/lehrer/sub");
    fs::permissions(FRoot, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    ASSERT_EQ(test::RunCommand("chown -R nobody:nogroup " + test::Quote((FRoot / "home").string())), 0);
    AsUser("nobody", "cd " + (FRoot / "home/lehrer").string() + " && rm -rf sub && ln -s " + system.string() + " sub");
    MakeZip(FArchives / "Job.zip",
            {"home/lehrer/sub/programm:boese:mode=04755", "home/lehrer/sub/neu.txt:x", "home/lehrer/ok.txt:gut"});
    FAuto = true;
    FPass.Run(PassKind::Restore, "");

    EXPECT_EQ(test::ReadFile(system / "programm"), "echt");
    EXPECT_EQ(StatOf(system / "programm").st_mode & 07777, 04755u);
    EXPECT_FALSE(fs::exists(system / "neu.txt"));
    EXPECT_TRUE(fs::is_symlink(FRoot / "home/lehrer/sub"));
    EXPECT_EQ(Read("home/lehrer/ok.txt"), "gut");
    EXPECT_TRUE(FPass.Incomplete());
    const std::string shown = Joined(FWindow.FShown);
    for (const char* name : {"home/lehrer/sub/programm", "home/lehrer/sub/neu.txt"}) {
        EXPECT_NE(
            shown.find(std::string("Fehler: ") + name + " wurde nicht wiederhergestellt: Der Pfad " +
                       (FRoot / "home/lehrer/sub").string() +
                       " ist eine Verknüpfung eines anderen Benutzers (Eigentümer 65534) und wird nicht verfolgt."),
            std::string::npos)
            << shown;
    }
}

TEST_F(RestoreRunTest, OwnerGroupAndModeComeBackAndSetIdBitsNever) {
    if (::geteuid() != 0) GTEST_SKIP() << "handing files to other owners needs root";
    fs::create_directories(FRoot / "bin");
    test::WriteFile(FRoot / "bin/prog", "alt");
    ::chmod((FRoot / "bin/prog").c_str(), 04755);
    fs::create_directories(FRoot / "privat");
    ::chown((FRoot / "privat").c_str(), 1234, 1235);
    ::chmod((FRoot / "privat").c_str(), 0750);
    MakeZip(
        FArchives / "Job.zip",
        {"lehrer/noten.xls:Noten:mode=0600:uid=1234:gid=1235", "lehrer/skript.sh:Skript:mode=0750:uid=1234:gid=1235",
         "lehrer/setuid:Programm:mode=06755", "lehrer/offen.txt:Offen:mode=0666", "bin/prog:neu:nomode",
         "privat/neu.txt:neu:nomode"});
    ::chmod(FRoot.c_str(), 0700);
    FAuto = true;
    FPass.Run(PassKind::Restore, "");
    EXPECT_FALSE(FPass.Incomplete()) << Joined(FWindow.FShown);

    struct Case {
        const char* Name;
        uid_t Owner;
        gid_t Group;
        mode_t Mode;
    };
    const Case cases[] = {
        {"lehrer/noten.xls", 1234, 1235, 0600},  // as stored
        {"lehrer/skript.sh", 1234, 1235, 0750},
        {"lehrer/setuid", 0, 0, 0755},         // set-id bits never applied
        {"lehrer/offen.txt", 0, 0, 0666},      // as stored, though the umask narrows a new file
        {"bin/prog", 0, 0, 0755},              // nor inherited from the file replaced
        {"privat/neu.txt", 1234, 1235, 0640},  // no more for others than the folder allows
        {"lehrer", 0, 0, 0700},                // made on the way: its folder's owner and mode
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const struct stat st = StatOf(FRoot / c.Name);
        EXPECT_EQ(st.st_uid, c.Owner);
        EXPECT_EQ(st.st_gid, c.Group);
        EXPECT_EQ(st.st_mode & 07777, c.Mode);
    }
}

// A child process that holds `file` open (for writing with `write`) until it is killed.
class Holder {
public:
    Holder(const fs::path& file, bool write) {
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        FPid = ::fork();
        if (FPid == 0) {
            const int fd = ::open(file.c_str(), write ? O_RDWR : O_RDONLY);
            const char byte = fd >= 0 ? 'y' : 'n';
            (void)!::write(ready[1], &byte, 1);
            ::pause();
            ::_exit(0);
        }
        char byte = 0;
        EXPECT_EQ(::read(ready[0], &byte, 1), 1);
        EXPECT_EQ(byte, 'y');
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~Holder() {
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
    }

private:
    pid_t FPid = -1;
};

TEST_F(RestoreRunTest, AFileAnotherProgramHoldsOpenIsNeverReplaced) {
    MakeZip(FArchives / "Job.zip", {"Daten/offen.dat:neu", "Daten/lesend.dat:neu", "Daten/frei.dat:neu"});
    fs::create_directories(FRoot / "Daten");
    for (const char* name : {"offen.dat", "lesend.dat", "frei.dat"}) test::WriteFile(FRoot / "Daten" / name, "alt");
    FAuto = true;
    {
        Holder writer(FRoot / "Daten/offen.dat", true);
        Holder reader(FRoot / "Daten/lesend.dat", false);
        FPass.Run(PassKind::Restore, "");
    }
    EXPECT_EQ(Read("Daten/offen.dat"), "alt");
    EXPECT_EQ(Read("Daten/lesend.dat"), "alt");
    EXPECT_EQ(Read("Daten/frei.dat"), "neu");
    EXPECT_TRUE(FPass.Incomplete());
    const std::string shown = Joined(FWindow.FShown);
    EXPECT_NE(shown.find("Fehler: Daten/offen.dat wurde nicht wiederhergestellt: die Datei ist noch geöffnet"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("Fehler: Daten/lesend.dat wurde nicht wiederhergestellt: die Datei ist noch geöffnet"),
              std::string::npos)
        << shown;

    // Once closed, the next pass replaces them.
    FWindow.FShown.clear();
    FPass.Run(PassKind::Restore, "");
    EXPECT_FALSE(FPass.Incomplete()) << Joined(FWindow.FShown);
    EXPECT_EQ(Read("Daten/offen.dat"), "neu");
}

TEST_F(RestoreRunTest, UnattendedRestoreWritesOnlyBelowTheFoldersItsJobSaves) {
    SavedFolders({(FRoot / "Daten").string() + "/", (FRoot / "Leer").string()});
    MakeZip(FArchives / "Job.zip", {"Daten/a.txt:A", "Datenbank/b.txt:B", "etc/cron.d/job:C"});
    FAuto = true;
    FPass.Run(PassKind::Restore, "");
    EXPECT_EQ(Read("Daten/a.txt"), "A");
    EXPECT_FALSE(fs::exists(FRoot / "Datenbank"));
    EXPECT_FALSE(fs::exists(FRoot / "etc"));
    EXPECT_TRUE(FPass.Incomplete());
    EXPECT_EQ(FWindow.FShown, (std::vector<std::string>{"Fehler: Datenbank/b.txt wurde nicht wiederhergestellt: liegt "
                                                        "nicht unter einem Ordner, den der Job sichert",
                                                        "Fehler: etc/cron.d/job wurde nicht wiederhergestellt: liegt "
                                                        "nicht unter einem Ordner, den der Job sichert"}));

    // By hand the administrator chooses what to restore and where.
    FAuto = false;
    FWindow.FShown.clear();
    ShowJob();
    FWindow.Rows.SelectAll();
    EXPECT_TRUE(FRun.RestoreJob(FWindow.FJob, false)) << Joined(FWindow.FShown);
    EXPECT_EQ(Read("etc/cron.d/job"), "C");
}

TEST_F(RestoreRunTest, UnattendedRestoreRefusesAnArchiveOthersCouldHavePlaced) {
    MakeZip(FArchives / "Job.zip", {"a.txt:A"});
    struct Case {
        const char* Name;
        mode_t Archive;
        mode_t Folder;
        std::string Message;  // "" when the archive is trusted
    };
    const Case cases[] = {
        {"everyone writes the archive", 0666, 0755,
         "Fehler: Die Sicherung " + (FArchives / "Job.zip").string() +
             " ist für alle Benutzer beschreibbar und wird nicht wiederhergestellt. Bitte entziehen Sie das "
             "Schreibrecht (chmod o-w)."},
        {"everyone writes its folder", 0600, 0777,
         "Fehler: Der Ordner " + FArchives.string() + "/ der Sicherung " + (FArchives / "Job.zip").string() +
             " ist für alle Benutzer beschreibbar; die Sicherung wird nicht wiederhergestellt. Bitte entziehen Sie "
             "das Schreibrecht (chmod o-w) oder setzen Sie das Sticky-Bit (chmod +t)."},
        {"a sticky folder like /tmp", 0600, 01777, ""},
        {"a folder of the group", 0660, 0770, ""},
    };
    FAuto = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove_all(FRoot / "a.txt");
        FWindow.FShown.clear();
        ::chmod((FArchives / "Job.zip").c_str(), c.Archive);
        ::chmod(FArchives.c_str(), c.Folder);
        FPass.Run(PassKind::Restore, "");
        if (c.Message.empty()) {
            EXPECT_EQ(Read("a.txt"), "A");
            EXPECT_TRUE(FWindow.FShown.empty()) << Joined(FWindow.FShown);
        } else {
            EXPECT_FALSE(fs::exists(FRoot / "a.txt"));
            EXPECT_EQ(FWindow.FShown, std::vector<std::string>{c.Message});
            EXPECT_TRUE(FPass.Incomplete());
        }
    }
}

TEST_F(RestoreRunTest, EntriesThatCannotFitRestoreNothing) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    const fs::path small = FDir / "klein";
    const test::SmallFileSystem mounted(small, "1m");
    if (!mounted.Mounted()) GTEST_SKIP() << "no tmpfs here";
    SavedFolders({small.string()});
    test::WriteFile(small / "alt.txt", "alt");
    MakeZip(FArchives / "Job.zip", {"klein.txt:ok", "gross.bin:3000000:zeros", "alt.txt:neu"});
    FWindow.FRestoreRoot = small.string() + "/";
    FAuto = true;
    FPass.Run(PassKind::Restore, "");
    EXPECT_EQ(test::ReadFile(small / "alt.txt"), "alt");
    EXPECT_FALSE(fs::exists(small / "klein.txt"));
    EXPECT_FALSE(fs::exists(small / "gross.bin"));
    EXPECT_TRUE(FPass.Incomplete());
    ASSERT_EQ(FWindow.FShown.size(), 1u);
    EXPECT_EQ(FWindow.FShown[0].rfind("Fehler: Auf dem Ziellaufwerk ist nicht genug Platz frei: Die Wiederherstellung "
                                      "braucht 3.000.005 Bytes, frei sind ",
                                      0),
              0u)
        << FWindow.FShown[0];
}

// Names as other hosts and other tools write them: a backslash of a DOS or Windows
// host separates folders, a drive is dropped, and a name with control characters is
// refused and shown escaped, never raw.
TEST_F(RestoreRunTest, NamesOfOtherHostsAndControlCharacters) {
    MakeZip(FArchives / "Job.zip", {"dir\\sub\\x.txt:X:nomode", "C:\\Daten\\y.txt:Y:nomode", "C:/z.txt:Z",
                                    "unix\\name.txt:U", "esc\x1b[31m.txt:E", "zeile\nzwei.txt:N"});
    FAuto = true;
    FPass.Run(PassKind::Restore, "");
    EXPECT_EQ(Read("dir/sub/x.txt"), "X");
    EXPECT_EQ(Read("Daten/y.txt"), "Y");
    EXPECT_EQ(Read("z.txt"), "Z");
    EXPECT_EQ(Read("unix\\name.txt"), "U");  // made on Unix: the backslash is part of the name
    EXPECT_FALSE(fs::exists(FRoot / "esc\x1b[31m.txt"));
    EXPECT_FALSE(fs::exists(FRoot / "zeile\nzwei.txt"));
    EXPECT_EQ(
        FWindow.FShown,
        (std::vector<std::string>{
            "Fehler: esc\\x1b[31m.txt wurde nicht wiederhergestellt: Der Name esc\\x1b[31m.txt enthält Steuerzeichen",
            "Fehler: zeile\\x0azwei.txt wurde nicht wiederhergestellt: Der Name zeile\\x0azwei.txt enthält "
            "Steuerzeichen"}));
    const std::string log = Log();
    EXPECT_NE(log.find("esc\\x1b[31m.txt skipped "), std::string::npos) << log;
    EXPECT_EQ(log.find('\x1b'), std::string::npos);
}

}  // namespace
}  // namespace vb
