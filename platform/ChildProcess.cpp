#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "platform/UniqueFd.h"

extern char** environ;

namespace vb::platform {
namespace {

// The file that execvp would run for `name`; resolved before the fork, because the
// child of a process with threads may only make async-signal-safe calls.
std::string ProgramPath(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const std::size_t colon = dirs.find(':');
        std::string candidate(colon == 0 ? std::string_view(".") : dirs.substr(0, colon));
        candidate.append(1, '/').append(name);
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        if (colon == std::string_view::npos) return {};
        dirs.remove_prefix(colon + 1);
    }
}

bool Reaped(pid_t pid) {
    int status = 0;
    const pid_t ended = ::waitpid(pid, &status, WNOHANG);
    return ended == pid || (ended < 0 && errno == ECHILD);
}

// Reaps `pid` once it has ended, waiting at most `patience`; false when it still runs.
bool WaitUntilEnded(pid_t pid, std::chrono::milliseconds patience) {
    const auto until = std::chrono::steady_clock::now() + patience;
    // A descriptor of the process becomes readable the moment it ends.
    const UniqueFd process(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    while (!Reaped(pid)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        if (process.Valid()) {
            pollfd ended{process.Get(), POLLIN, 0};
            ::poll(&ended, 1, static_cast<int>(left.count()));
        } else {
            ::usleep(10'000);
        }
    }
    return true;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& moreEnvironment,
                           LineHandler onErrorLine)
    : FOnErrorLine(std::move(onErrorLine)) {
    const std::string program = argv.empty() ? std::string() : ProgramPath(argv[0]);
    if (program.empty()) return;
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (std::string& a : args) argp.push_back(a.data());
    argp.push_back(nullptr);
    std::vector<std::string> env = moreEnvironment;
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    // An entry of this process's environment with a name that `moreEnvironment` sets
    // gives way to it.
    const auto setHere = [&](std::string_view entry) {
        const std::string_view name = entry.substr(0, entry.find('=') + 1);
        for (const std::string& e : moreEnvironment)
            if (std::string_view(e).substr(0, e.find('=') + 1) == name) return true;
        return false;
    };
    for (char** e = environ; *e; ++e)
        if (!setHere(*e)) envp.push_back(*e);
    envp.push_back(nullptr);

    int errFds[2], execFds[2];
    if (::pipe2(errFds, O_CLOEXEC) != 0) return;
    UniqueFd errRead(errFds[0]), errWrite(errFds[1]);
    // Closed by a successful exec; carries errno when the exec failed.
    if (::pipe2(execFds, O_CLOEXEC) != 0) return;
    UniqueFd execRead(execFds[0]), execWrite(execFds[1]);
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull < 0) return;
    const UniqueFd nullFd(devNull);
    const pid_t parent = ::getpid();

    const pid_t pid = ::fork();
    if (pid < 0) return;
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(127);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        ::dup2(nullFd.Get(), 0);
        ::dup2(nullFd.Get(), 1);
        ::dup2(errWrite.Get(), 2);
        ::execve(program.c_str(), argp.data(), envp.data());
        const int error = errno;
        [[maybe_unused]] const ssize_t told = ::write(execWrite.Get(), &error, sizeof error);
        ::_exit(127);
    }
    errWrite.Reset();
    execWrite.Reset();
    int error = 0;
    ssize_t got;
    while ((got = ::read(execRead.Get(), &error, sizeof error)) < 0 && errno == EINTR) {
    }
    if (got > 0) {
        WaitUntilEnded(pid, std::chrono::seconds(5));
        return;
    }
    FPid = pid;
    FReader = std::thread([this, fd = errRead.Release()] { ReadErrors(fd); });
}

ChildProcess::~ChildProcess() {
    if (FPid > 0) {
        ::kill(FPid, SIGTERM);
        if (!WaitUntilEnded(FPid, std::chrono::seconds(2))) {
            ::kill(FPid, SIGKILL);
            WaitUntilEnded(FPid, std::chrono::seconds(10));
        }
    }
    if (FReader.joinable()) FReader.join();
}

void ChildProcess::ReadErrors(int fd) {
    const UniqueFd errors(fd);
    std::string pending;
    char buffer[4096];
    while (true) {
        const ssize_t got = ::read(errors.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        pending.append(buffer, static_cast<std::size_t>(got));
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
            if (end > start && FOnErrorLine) FOnErrorLine(std::string_view(pending).substr(start, end - start));
        }
        pending.erase(0, start);
    }
    if (!pending.empty() && FOnErrorLine) FOnErrorLine(pending);
    if (FOnErrorLine) FOnErrorLine({});
}

}  // namespace vb::platform
