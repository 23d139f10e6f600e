// rclone's remote control as the copy to a remote starts it: reachable only with the
// password drawn for it, and never outliving the process or object that started it.
#include "pass/RcloneDaemon.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "platform/LoopbackHttp.h"
#include "support/RcloneServer.h"
#include "support/TempDir.h"
#include "util/Error.h"

namespace vb {
namespace {

// A process that is gone or a zombie that nobody reaped: it runs no more.
bool Runs(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidText, name, state;
    if (!(stat >> pidText >> name >> state)) return false;
    return state != "Z" && state != "X";
}

// Waits (at most `limit`) until `pid` runs no more.
bool Ends(pid_t pid, std::chrono::seconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (Runs(pid)) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class RcloneDaemonTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveTool("rclone")) GTEST_SKIP() << "rclone is not installed";
    }
    test::TempDir FDir;
    test::RcloneConfig FConfig{FDir / "rclone.conf"};
};

TEST_F(RcloneDaemonTest, AnswersOnlyWithItsOwnPassword) {
    // A login that the environment offers rclone is not the one it takes.
    const test::ScopedEnv user("RCLONE_RC_USER", "lehrer");
    const test::ScopedEnv password("RCLONE_RC_PASS", "geheim");
    const test::ScopedEnv noAuth("RCLONE_RC_NO_AUTH", "true");
    const RcloneDaemon daemon({});
    EXPECT_EQ(daemon.Call("rc/noop", {{"probe", 7}}).value("probe", 0), 7);
    // Another user of the machine knows the port but not the password.
    for (const std::string authorization : {"", "Basic dm9ybGl4YmFja3VwOg==" /* "vorlixbackup:" */,
                                            "Basic bGVocmVyOmdlaGVpbQ==" /* "lehrer:geheim" */}) {
        const auto reply = platform::PostJson(daemon.Port(), "/operations/list", authorization,
                                              R"({"fs":"/","remote":""})", std::chrono::seconds(10));
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(reply->Status, 401) << reply->Body;
        EXPECT_EQ(reply->Body.find("\"list\""), std::string::npos);
    }
}

TEST_F(RcloneDaemonTest, RcloneErrorsArriveWithTheirStatusAndText) {
    const RcloneDaemon daemon({});
    try {
        daemon.Call("operations/list", {{"fs", "unbekannt:Ordner"}, {"remote", ""}});
        FAIL() << "an unknown remote was listed";
    } catch (const RcloneCallFailed& failed) {
        EXPECT_EQ(failed.Status, 500);
        EXPECT_NE(std::string(failed.what()).find("didn't find section in config file"), std::string::npos)
            << failed.what();
    }
}

TEST_F(RcloneDaemonTest, EndsWithTheObject) {
    pid_t pid;
    {
        const RcloneDaemon daemon({});
        pid = daemon.Pid();
        ASSERT_TRUE(Runs(pid));
    }
    EXPECT_FALSE(Runs(pid));
}

TEST_F(RcloneDaemonTest, EndsWhenTheProcessThatStartedItIsKilled) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t pass = ::fork();
    ASSERT_GE(pass, 0);
    if (pass == 0) {
        ::close(fds[0]);
        const RcloneDaemon daemon({});
        const pid_t pid = daemon.Pid();
        if (::write(fds[1], &pid, sizeof pid) != sizeof pid) ::_exit(1);
        while (true) ::pause();
    }
    ::close(fds[1]);
    pid_t daemonPid = 0;
    ASSERT_EQ(::read(fds[0], &daemonPid, sizeof daemonPid), static_cast<ssize_t>(sizeof daemonPid));
    ::close(fds[0]);
    ASSERT_TRUE(Runs(daemonPid));
    ::kill(pass, SIGKILL);
    ::waitpid(pass, nullptr, 0);
    // The kernel tells the daemon at once; the bound only keeps a broken test from hanging.
    EXPECT_TRUE(Ends(daemonPid, std::chrono::seconds(30)));
}

TEST_F(RcloneDaemonTest, MissingRcloneIsSaidInGerman) {
    test::ScopedEnv path("PATH", (FDir / "leer").string());
    try {
        RcloneDaemon daemon({});
        FAIL() << "started without rclone";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), RcloneDaemon::MissingText());
    }
}

}  // namespace
}  // namespace vb
