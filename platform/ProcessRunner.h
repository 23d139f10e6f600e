#pragma once
// Running a system program (systemctl, crontab, loginctl) and who runs this one.
#include <string>
#include <vector>

namespace vb::platform {

struct CommandResult {
    int ExitStatus = -1;   // 127 when the program could not be started
    std::string Output;    // standard output and standard error together
};

// Runs `argv` (looked up on PATH) with `input` on its standard input and waits for it.
CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input = {});

// True for the superuser; the login name of the user this process runs as.
bool RunsAsRoot();
std::string CurrentUserName();

}  // namespace vb::platform
