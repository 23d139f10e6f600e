#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <functional>

#include "platform/OpenFiles.h"
#include "support/TempDir.h"
#include "util/Error.h"

namespace vb {
namespace {

// Each case prepares a hold on the file inside this process and names the reason the
// exclusive open must give; the reason shows which of the checks caught it.
TEST(ExclusiveFileTest, RefusesEveryKindOfHoldWithItsReason) {
    test::TempDir dir;
    const std::string file = (dir / "reports.mdb").string();
    test::WriteFile(file, std::string(4096, 'x'));
    ASSERT_EQ(::mkfifo((dir / "fifo.mdb").c_str(), 0600), 0);
    auto lockRange = [](int fd, int command) {
        struct flock lock{};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 100;
        lock.l_len = 1;
        return ::fcntl(fd, command, &lock) == 0;
    };
    struct Case {
        const char* name;
        std::string path;
        std::function<bool(int fd)> hold;  // given a descriptor of the file; none: no hold
        std::string reason;                // empty: the file is held
    } cases[] = {
        {"free", file, nullptr, ""},
        {"open elsewhere", file, [](int) { return true; }, ": Datei ist von einem anderen Programm geöffnet"},
        {"flock", file, [](int fd) { return ::flock(fd, LOCK_SH) == 0; }, ": Datei ist gesperrt"},
        {"POSIX record lock", file, [&](int fd) { return lockRange(fd, F_SETLK); }, ": Datei ist gesperrt"},
        {"OFD record lock", file, [&](int fd) { return lockRange(fd, F_OFD_SETLK); }, ": Datei ist gesperrt"},
        {"FIFO", (dir / "fifo.mdb").string(), nullptr, ": keine Datei"},
        {"missing", (dir / "fehlt.mdb").string(), nullptr, ": die Datei oder der Ordner existiert nicht"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UniqueFd holder;
        if (c.hold) {
            holder.Reset(::open(c.path.c_str(), O_RDWR | O_CLOEXEC));
            ASSERT_TRUE(holder.Valid());
            ASSERT_TRUE(c.hold(holder.Get()));
        }
        try {
            platform::ExclusiveFile held(c.path);
            EXPECT_EQ(c.reason, "") << "held although it should not be";
            EXPECT_GE(held.Fd(), 0);
        } catch (const Error& e) {
            EXPECT_EQ(e.what(), c.path + c.reason);
        }
    }
}

TEST(ExclusiveFileTest, HoldingTheFileShowsItInUseAndClosingFreesIt) {
    test::TempDir dir;
    const std::string file = (dir / "vxuser.mdb").string();
    test::WriteFile(file, "x");
    struct stat st{};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    {
        platform::ExclusiveFile held(file);
        EXPECT_FALSE(platform::IsFileInUse(st.st_dev, st.st_ino, held.Fd()));
        EXPECT_TRUE(platform::IsFileInUse(st.st_dev, st.st_ino, -1));
        EXPECT_THROW(platform::ExclusiveFile second(file), Error) << "a second hold in this process";
    }
    EXPECT_FALSE(platform::IsFileInUse(st.st_dev, st.st_ino, -1));
    EXPECT_NO_THROW(platform::ExclusiveFile again(file));
}

}  // namespace
}  // namespace vb
