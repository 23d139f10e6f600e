#include "platform/ProcessRunner.h"

#include <fcntl.h>
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

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.Get(), 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), 1);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), 2);
    std::vector<char*> args;
    std::vector<std::string> copies = argv;
    for (auto& a : copies) args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.Reset();
    if (spawned != 0) {
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

bool RunsAsRoot() { return ::geteuid() == 0; }

std::string CurrentUserName() {
    if (const passwd* pw = ::getpwuid(::geteuid())) return pw->pw_name;
    return std::to_string(::geteuid());
}

}  // namespace vb::platform
