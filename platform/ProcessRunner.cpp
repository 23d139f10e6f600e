#include "platform/ProcessRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileIo.h"
#include "platform/UniqueFd.h"

extern char** environ;

namespace vb::platform {

namespace {

// Spawns `argv` (looked up on PATH) with standard input from `in` (from /dev/null
// when -1) and the two outputs into `out` and `err`; the pid, or -1 when it could not
// be started.
pid_t Spawn(const std::vector<std::string>& argv, int in, int out, int err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in >= 0)
        posix_spawn_file_actions_adddup2(&actions, in, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    std::vector<std::string> copies = argv;
    std::vector<char*> args;
    for (auto& a : copies) args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

int WaitForExit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

constexpr std::size_t kKeptErrors = 64 * 1024;

}  // namespace

CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input) {
    CommandResult result;
    // The input waits in a memory file, so that a large input cannot block the child
    // while this process reads its output.
    const UniqueFd in(::memfd_create("vb-input", MFD_CLOEXEC));
    if (!in.Valid()) return result;
    if (!WriteAll(in.Get(), input)) return result;
    ::lseek(in.Get(), 0, SEEK_SET);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return result;
    UniqueFd readEnd(pipeFds[0]), writeEnd(pipeFds[1]);
    const pid_t pid = Spawn(argv, in.Get(), writeEnd.Get(), writeEnd.Get());
    writeEnd.Reset();
    if (pid < 0) {
        result.ExitStatus = 127;
        return result;
    }
    // A read error ends the output like its end: the exit status still tells.
    [[maybe_unused]] const IoResult read = ReadToEnd(readEnd.Get(), result.Output);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

StreamedResult RunCommandStreamed(const std::vector<std::string>& argv,
                                  const std::function<void(std::string_view line)>& onErrorLine) {
    StreamedResult result;
    int outFds[2], errFds[2];
    if (::pipe2(outFds, O_CLOEXEC) != 0) return result;
    UniqueFd outRead(outFds[0]), outWrite(outFds[1]);
    if (::pipe2(errFds, O_CLOEXEC) != 0) return result;
    UniqueFd errRead(errFds[0]), errWrite(errFds[1]);
    const pid_t pid = Spawn(argv, -1, outWrite.Get(), errWrite.Get());
    outWrite.Reset();
    errWrite.Reset();
    if (pid < 0) {
        result.ExitStatus = 127;
        return result;
    }
    // Both pipes are drained together, so that neither can fill up and stop the child.
    std::string pendingLine;
    pollfd fds[2] = {{outRead.Get(), POLLIN, 0}, {errRead.Get(), POLLIN, 0}};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                fds[i].fd = -1;
                --open;
                continue;
            }
            if (i == 0) {
                result.Output.append(buffer, static_cast<std::size_t>(got));
                continue;
            }
            result.Errors.append(buffer, static_cast<std::size_t>(got));
            if (result.Errors.size() > 2 * kKeptErrors) result.Errors.erase(0, result.Errors.size() - kKeptErrors);
            pendingLine.append(buffer, static_cast<std::size_t>(got));
            std::size_t start = 0;
            for (std::size_t end; (end = pendingLine.find('\n', start)) != std::string::npos; start = end + 1) {
                if (onErrorLine) onErrorLine(std::string_view(pendingLine).substr(start, end - start));
            }
            pendingLine.erase(0, start);
        }
    }
    if (!pendingLine.empty() && onErrorLine) onErrorLine(pendingLine);
    result.ExitStatus = WaitForExit(pid);
    return result;
}

bool RunsAsRoot() { return ::geteuid() == 0; }

std::string CurrentUserName() {
    if (const passwd* pw = ::getpwuid(::geteuid())) return pw->pw_name;
    return std::to_string(::geteuid());
}

}  // namespace vb::platform
