// The lock that keeps backup and restore passes apart.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/PassLock.h"
#include "support/TempDir.h"

namespace vb::platform {
namespace {

TEST(PassLockTest, SecondPassIsRefusedUntilTheFirstEnds) {
    test::TempDir dir;
    {
        PassLock first(dir.Path().string());
        try {
            PassLock second(dir.Path().string());
            FAIL() << "a second pass took the lock";
        } catch (const PassRunningError& e) {
            EXPECT_STREQ("Eine Sicherung oder Wiederherstellung läuft bereits.", e.what());
        }
    }
    EXPECT_NO_THROW(PassLock again(dir.Path().string()));
}

TEST(PassLockTest, MovedLockStaysHeld) {
    test::TempDir dir;
    PassLock first(dir.Path().string());
    PassLock moved(std::move(first));
    EXPECT_THROW(PassLock(dir.Path().string()), PassRunningError);
}

// A pass killed with SIGKILL leaves no lock behind.
TEST(PassLockTest, KilledHolderReleasesTheLock) {
    test::TempDir dir;
    int ready[2];
    ASSERT_EQ(0, ::pipe(ready));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        try {
            PassLock lock(dir.Path().string());
            (void)!::write(ready[1], "x", 1);
            for (;;) ::pause();
        } catch (...) {
            ::_exit(3);
        }
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(1, ::read(ready[0], &byte, 1)) << "the child could not take the lock";
    ::close(ready[0]);
    EXPECT_THROW(PassLock(dir.Path().string()), PassRunningError);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_NO_THROW(PassLock after(dir.Path().string()));
}

TEST(PassLockTest, UnusableLockFileIsAnErrorNamingIt) {
    test::TempDir dir;
    const std::string missing = (dir / "fehlt").string();
    try {
        PassLock lock(missing);
        FAIL() << "a lock in a missing folder";
    } catch (const PassRunningError&) {
        FAIL() << "a missing folder is no running pass";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(missing + "/.VorlixBackup.lock"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("die Datei oder der Ordner existiert nicht"), std::string::npos) << e.what();
    }
    // A FIFO in the lock file's place is refused at once instead of hanging the pass.
    ASSERT_EQ(0, ::mkfifo(PassLock::LockFile(dir.Path().string()).c_str(), 0600));
    try {
        PassLock lock(dir.Path().string());
        FAIL() << "a FIFO served as lock file";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("keine gewöhnliche Datei"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace vb::platform
