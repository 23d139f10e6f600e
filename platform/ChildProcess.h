#pragma once
// A program that runs beside this one for as long as the object lives, such as a
// server this program talks to. Each line it writes to its standard error goes to a
// handler, on a thread of the object's own. It ends with the object (SIGTERM, and
// SIGKILL when it has not ended two seconds later), and it ends when the thread that
// started it dies first: the kernel sends it SIGTERM then, so that nothing of it
// outlives a pass that was killed.
#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vb::platform {

class ChildProcess {
public:
    using LineHandler = std::function<void(std::string_view line)>;

    // Starts argv[0], looked up on PATH, with this process's environment and the
    // "NAME=value" entries of `moreEnvironment` (in place of those of the same name); standard input and output are
    // /dev/null. `onErrorLine` gets each line of standard error without its line end,
    // and an empty view once standard error has ended. Started() says whether the
    // program could be run at all.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& moreEnvironment,
                 LineHandler onErrorLine);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return FPid > 0; }
    pid_t Pid() const { return FPid; }

private:
    void ReadErrors(int fd);

    pid_t FPid = -1;
    LineHandler FOnErrorLine;
    std::thread FReader;
};

}  // namespace vb::platform
