// The executable: help, version and passes without a display run here without Qt;
// the window comes from the window module.
#include "pass/ProgramStart.h"
#include "platform/HeapRelease.h"
#include "platform/WindowModule.h"

int main(int argc, char** argv) {
    vb::platform::ReturnLargeBlocksToSystem();
    if (const auto status = vb::RunWithoutDisplay(vb::DecideProgramEntry(argc, argv))) return *status;
    return vb::platform::RunWindowModule(argc, argv);
}
