#pragma once
// Running a system program (systemctl, crontab, loginctl, rclone) and who runs this one.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vb::platform {

struct CommandResult {
    int ExitStatus = -1;   // 127 when the program could not be started
    std::string Output;    // standard output and standard error together
};

// Runs `argv` (looked up on PATH) with `input` on its standard input and waits for it.
CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input = {});

// Runs `argv` (looked up on PATH) with nothing on its standard input, keeping its
// standard output in `Output` and handing each line of its standard error (without
// the line end) to `onErrorLine` as it comes, so that a long transfer can show its
// progress. The last lines of standard error (up to 64 KiB) stay in `Errors`.
struct StreamedResult {
    int ExitStatus = -1;  // 127 when the program could not be started
    std::string Output;
    std::string Errors;
};
StreamedResult RunCommandStreamed(const std::vector<std::string>& argv,
                                  const std::function<void(std::string_view line)>& onErrorLine);

// True for the superuser; the login name of the user this process runs as.
bool RunsAsRoot();
std::string CurrentUserName();

}  // namespace vb::platform
