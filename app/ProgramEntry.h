#pragma once
// The program entry with a display: the window, or one unattended pass that shows its
// boxes and prompts as message boxes. Without a display it runs what
// pass/ProgramStart.h runs.
#include "pass/ProgramStart.h"

namespace vb {

int RunProgram(int argc, char** argv);

}  // namespace vb
