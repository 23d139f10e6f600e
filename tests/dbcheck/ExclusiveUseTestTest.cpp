#include "dbcheck/ExclusiveUseTest.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "JetFixtures.h"
#include "dbcheck/DBPassword.h"
#include "platform/OpenFiles.h"
#include "platform/RegistryStore.h"
#include "util/Error.h"

namespace vb {
namespace {

namespace fs = std::filesystem;
using test::JetFixture;
using test::WriteFile;

const std::string kPrefix = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
const std::string kSuffix = ";Mode=Share Exclusive;Persist Security Info=False";
const std::string kPasswordPart = ";Jet OLEDB:Database Password=";

// Another process that holds a file until it is told to end.
class FileHolder {
public:
    enum class How { Open, OpenAndFlock, MapThenClose };

    FileHolder(const fs::path& path, How how) {
        int ready[2], release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0) throw std::runtime_error("pipe");
        FPid = ::fork();
        if (FPid < 0) throw std::runtime_error("fork");
        if (FPid == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            const int fd = ::open(path.c_str(), O_RDONLY);
            if (fd < 0) ::_exit(1);
            if (how == How::OpenAndFlock && ::flock(fd, LOCK_SH) != 0) ::_exit(1);
            if (how == How::MapThenClose) {
                if (::mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0) == MAP_FAILED) ::_exit(1);
                ::close(fd);
            }
            char byte = 1;
            if (::write(ready[1], &byte, 1) != 1) ::_exit(1);
            while (::read(release[0], &byte, 1) > 0) {
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        FRelease = release[1];
        char byte = 0;
        const bool held = ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
        if (!held) throw std::runtime_error("the holding process did not start");
    }
    ~FileHolder() { End(); }

    // Ends the process and waits for it.
    void End() {
        if (FPid <= 0) return;
        ::close(FRelease);
        int status = 0;
        ::waitpid(FPid, &status, 0);
        FPid = -1;
    }

private:
    pid_t FPid = -1;
    int FRelease = -1;
};

bool InUse(const fs::path& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) throw std::runtime_error("stat");
    return platform::IsFileInUse(st.st_dev, st.st_ino, -1);
}

class ExclusiveUseTestTest : public ::testing::Test {
protected:
    void SetUp() override {
        FStore.WriteString(kProductKey, kPasswordValue, ScrambleText("ucanaccess"));
    }
    void Copy(const std::string& fixture, const std::string& name) {
        fs::create_directories((FDir / name).parent_path());
        test::CopyJetFixture(fixture, FDir / name);
    }
    std::string PathOf(const std::string& name) const { return (FDir / name).string(); }

    test::TempDir FDir;
    RegistryStore FStore{FDir / "registry.reg"};
    ExclusiveUseTest FTest{FStore};
};

TEST_F(ExclusiveUseTestTest, BuildsTheConnectionStringByFileName) {
    const std::string sub = PathOf("Daten/Sub Ordner");
    struct Case {
        std::string path;
        std::optional<std::string> expected;
    } cases[] = {
        {sub + "/vorlixintern.mdb", kPrefix + sub + "/vorlixintern.mdb" + kSuffix + kPasswordPart + "ucanaccess"},
        {"VorlixIntern.MDB", kPrefix + "VorlixIntern.MDB" + kSuffix + kPasswordPart + "ucanaccess"},
        {sub + "/vxuser.mdb", kPrefix + sub + "/vxuser.mdb" + kSuffix + kPasswordPart + "xz857"},
        {sub + "/VXUSER.Mdb", kPrefix + sub + "/VXUSER.Mdb" + kSuffix + kPasswordPart + "xz857"},
        {sub + "/Reports.MDB", kPrefix + sub + "/Reports.MDB" + kSuffix},
        {sub + "/reports.mdb.bak", std::nullopt},
        {sub + "/notes.mdb", std::nullopt},
        {sub + "/vxuser.mdb/", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FTest.ConnectionStringFor(c.path), c.expected);
    }
}

TEST_F(ExclusiveUseTestTest, OpensTheRealDatabasesOnlyWithTheirPassword) {
    test::WriteJetWithPassword("jet4-nopw.mdb", FDir / "jet4-xz857.mdb", "xz857");
    test::WriteJetWithPassword("jet3-nopw.mdb", FDir / "jet3-xz857.mdb", "xz857");
    test::WriteJetWithPassword("jet3-nopw.mdb", FDir / "jet3-XZ857.mdb", "XZ857");
    struct Case {
        std::string source;  // a fixture name, or a file made above
        std::string name;
        bool free;
    } cases[] = {
        {"jet4-pw-ucanaccess.mdb", "a/vorlixintern.mdb", true},
        {"jet4-pw-password.mdb", "b/vorlixintern.mdb", false},
        {"jet4-pw-ucanaccess.mdb", "c/VORLIXINTERN.MDB", true},
        {"jet3-encrypted-nopw.mdb", "d/vorlixintern.mdb", true},
        {"jet4-xz857.mdb", "e/vxuser.mdb", true},
        {"jet4-xz857.mdb", "f/VxUser.MDB", true},
        {"jet3-xz857.mdb", "g/vxuser.mdb", true},
        {"jet3-XZ857.mdb", "h/vxuser.mdb", false},
        {"jet4-pw-password.mdb", "i/vxuser.mdb", false},
        {"jet4-nopw.mdb", "j/vxuser.mdb", true},
        {"jet4-nopw.mdb", "k/reports.mdb", true},
        {"jet3-nopw.mdb", "l/Reports.MDB", true},
        {"jet4-pw-password.mdb", "m/reports.mdb", false},
        {"jet4-pw-password.mdb", "n/notes.mdb", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " from " + c.source);
        const fs::path made = FDir / c.source;
        if (fs::exists(made)) {
            fs::create_directories((FDir / c.name).parent_path());
            fs::copy_file(made, FDir / c.name);
        } else {
            Copy(c.source, c.name);
        }
        EXPECT_EQ(FTest.TestExclusive(PathOf(c.name)), c.free);
        EXPECT_EQ(FTest.LastConnectionString(), FTest.ConnectionStringFor(PathOf(c.name)).value_or(""));
        EXPECT_FALSE(InUse(FDir / c.name)) << "the test leaves the file closed";
    }
    EXPECT_EQ(FTest.LastConnectionString(), "") << "notes.mdb is never opened";
}

TEST_F(ExclusiveUseTestTest, RegistryPasswordIsReadForEveryTest) {
    Copy("jet4-pw-password.mdb", "vorlixintern.mdb");
    EXPECT_FALSE(FTest.TestExclusive(PathOf("vorlixintern.mdb")));
    FStore.WriteString(kProductKey, kPasswordValue, ScrambleText("password"));
    EXPECT_TRUE(FTest.TestExclusive(PathOf("vorlixintern.mdb")));
    // The password goes into the text unquoted, yet a ';' in it still opens the database.
    fs::create_directories(FDir / "x");
    test::WriteJetWithPassword("jet4-nopw.mdb", FDir / "x/vorlixintern.mdb", "a;b=c");
    FStore.WriteString(kProductKey, kPasswordValue, ScrambleText("a;b=c"));
    EXPECT_TRUE(FTest.TestExclusive(PathOf("x/vorlixintern.mdb")));
    EXPECT_EQ(FTest.LastConnectionString(), kPrefix + PathOf("x/vorlixintern.mdb") + kSuffix + kPasswordPart + "a;b=c");
}

TEST_F(ExclusiveUseTestTest, PasswordErrorsReachTheCallerButOnlyForAnExistingFile) {
    FStore.WriteString(kProductKey, kPasswordValue, "14 Bytes lang!");
    EXPECT_TRUE(FTest.TestExclusive(PathOf("fehlt/vorlixintern.mdb")));
    Copy("jet4-pw-ucanaccess.mdb", "vorlixintern.mdb");
    EXPECT_THROW(FTest.TestExclusive(PathOf("vorlixintern.mdb")), RangeError);
    Copy("jet4-nopw.mdb", "reports.mdb");
    EXPECT_TRUE(FTest.TestExclusive(PathOf("reports.mdb"))) << "other names need no registry password";
}

TEST_F(ExclusiveUseTestTest, WhatIsNoFileIsFreeAndWhatIsNoDatabaseIsInUse) {
    fs::create_directories(FDir / "vxuser.mdb");
    WriteFile(FDir / "reports.mdb", "Dies ist keine Datenbank.\n");
    fs::create_directories(FDir / "a");
    WriteFile(FDir / "a/vxuser.mdb", "");
    fs::create_directories(FDir / "b");
    fs::create_directories(FDir / "c");
    test::CopyJetFixture("jet4-nopw.mdb", FDir / "b/vxuser.mdb");
    fs::resize_file(FDir / "b/vxuser.mdb", 3000);  // cut inside its first page
    ASSERT_EQ(::mkfifo((FDir / "c/reports.mdb").c_str(), 0600), 0);
    struct Case {
        std::string path;
        bool free;
    } cases[] = {
        {PathOf("vxuser.mdb"), true},       // a folder named like a database
        {PathOf("fehlt/reports.mdb"), true},
        {"", true},
        {PathOf("reports.mdb"), false},     // text
        {PathOf("a/vxuser.mdb"), false},    // empty
        {PathOf("b/vxuser.mdb"), false},    // truncated
        {PathOf("c/reports.mdb"), false},   // a FIFO: no wait, and nothing may write into it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FTest.TestExclusive(c.path), c.free);
    }
}

TEST_F(ExclusiveUseTestTest, DatabaseHeldByAnotherProcessIsInUseUntilItEnds) {
    test::WriteJetWithPassword("jet4-nopw.mdb", FDir / "vxuser.mdb", "xz857");
    const std::string path = PathOf("vxuser.mdb");
    for (FileHolder::How how : {FileHolder::How::Open, FileHolder::How::OpenAndFlock, FileHolder::How::MapThenClose}) {
        SCOPED_TRACE(static_cast<int>(how));
        ASSERT_TRUE(FTest.TestExclusive(path));
        FileHolder holder(FDir / "vxuser.mdb", how);
        EXPECT_FALSE(FTest.TestExclusive(path));
        EXPECT_FALSE(FTest.TestExclusive(path)) << "the failed test leaves nothing behind";
        holder.End();
        EXPECT_TRUE(FTest.TestExclusive(path));
        EXPECT_FALSE(InUse(FDir / "vxuser.mdb"));
    }
}

TEST_F(ExclusiveUseTestTest, DatabaseOpenOrLockedInThisProcessIsInUse) {
    Copy("jet4-nopw.mdb", "reports.mdb");
    const std::string path = PathOf("reports.mdb");
    {
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(fd.Valid());
        EXPECT_FALSE(FTest.TestExclusive(path));
    }
    EXPECT_TRUE(FTest.TestExclusive(path));
    // A POSIX record lock on a byte range, as Samba and Wine hold them.
    {
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
        ASSERT_TRUE(fd.Valid());
        struct flock lock{};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 0x1000;
        lock.l_len = 1;
        ASSERT_EQ(::fcntl(fd.Get(), F_SETLK, &lock), 0);
        EXPECT_FALSE(FTest.TestExclusive(path));
    }
    EXPECT_TRUE(FTest.TestExclusive(path));
}

TEST_F(ExclusiveUseTestTest, FindOpenDatabaseTestsTheProductDatabasePath) {
    EXPECT_EQ(FTest.FindOpenDatabase(), "") << "the path of the product database stays empty";

    // Were the path known, that file would be tested with the registry password,
    // whatever its name.
    test::WriteJetWithPassword("jet4-nopw.mdb", FDir / "produkt.mdb", "ucanaccess");
    const std::string product = PathOf("produkt.mdb");
    ExclusiveUseTest known(FStore, product);
    EXPECT_EQ(known.ConnectionStringFor(product), kPrefix + product + kSuffix + kPasswordPart + "ucanaccess");
    EXPECT_EQ(known.FindOpenDatabase(), "");
    {
        FileHolder holder(FDir / "produkt.mdb", FileHolder::How::Open);
        EXPECT_EQ(known.FindOpenDatabase(), product);
    }
    EXPECT_EQ(known.FindOpenDatabase(), "");
    FStore.WriteString(kProductKey, kPasswordValue, ScrambleText("falsch"));
    EXPECT_EQ(known.FindOpenDatabase(), product) << "a wrong password reads as in use";
    // The comparison takes the whole path as it is.
    EXPECT_EQ(known.ConnectionStringFor(PathOf("Produkt.mdb")), std::nullopt);
}

}  // namespace
}  // namespace vb
