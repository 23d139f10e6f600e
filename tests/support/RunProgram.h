#pragma once
// Runs the real program as a child process with a given environment and collects its
// exit status and standard error.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace vb::test {

struct ProgramResult {
    int exitStatus = -1;
    std::string standardError;
    bool timedOut = false;  // killed after the time allowed
};

// Limits for one run: a time after which the program counts as hanging and is
// killed, and a largest file size (RLIMIT_FSIZE, with SIGXFSZ ignored so that a
// write beyond it fails with EFBIG as on a full disk; 0: no limit).
struct ProgramLimits {
    int timeoutSeconds = 120;
    rlim_t fileSize = 0;
};

// `environment` replaces the named variables; a value of nullptr-like "\x01" removes one.
// A started program: its process and the read end of its standard error.
struct StartedProgram {
    pid_t pid = -1;
    int standardError = -1;
};

inline StartedProgram StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                                   const std::map<std::string, std::string>& environment,
                                   const std::string& workingDir = {}, rlim_t fileSizeLimit = 0) {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const auto eq = entry.find('=');
        if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [name, value] : environment) {
        if (value == "\x01") {
            env.erase(name);
        } else {
            env[name] = value;
        }
    }
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : env) envStrings.push_back(name + "=" + value);
    std::vector<char*> envp, argv;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = {program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    for (auto& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!workingDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    // The child inherits the limit and the ignored signal; this process gets its own
    // back at once.
    rlimit oldLimit{};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    struct sigaction ignore{}, oldAction{};
    if (fileSizeLimit != 0) {
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &oldAction);
        const rlimit limit{fileSizeLimit, oldLimit.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    if (fileSizeLimit != 0) {
        ::setrlimit(RLIMIT_FSIZE, &oldLimit);
        ::sigaction(SIGXFSZ, &oldAction, nullptr);
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return {};
    }
    return {pid, pipeFds[0]};
}

// Collects the standard error of a started program until it ends; one that is still
// running after `timeoutSeconds` is killed and reported as timed out.
inline ProgramResult FinishProgram(StartedProgram started, int timeoutSeconds = 120) {
    ProgramResult result;
    if (started.pid < 0) return result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{started.standardError, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) == 0) {
            result.timedOut = true;
            ::kill(started.pid, SIGKILL);
            break;
        }
        const ssize_t n = ::read(started.standardError, buffer, sizeof buffer);
        if (n <= 0) break;
        result.standardError.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(started.standardError);
    int status = 0;
    ::waitpid(started.pid, &status, 0);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

inline ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                                const std::map<std::string, std::string>& environment,
                                const std::string& workingDir = {}, ProgramLimits limits = {}) {
    return FinishProgram(StartProgram(program, arguments, environment, workingDir, limits.fileSize),
                         limits.timeoutSeconds);
}

}  // namespace vb::test
