#pragma once
// The program entry: prepares the list separator, decides between the interactive
// window and one unattended pass, and returns the exit status.
#include <string>
#include <vector>

namespace vb {

// Exit status of the program: 0 when the pass ran and every job succeeded (or the
// window was closed), 1 when a job failed or an error was reported, 2 for a usage error
// or an interactive start without a display.
enum ExitStatus { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

int RunProgram(int argc, char** argv);

}  // namespace vb
