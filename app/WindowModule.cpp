// The entry of the window module (vorlixbackup-window.so), which the executable loads
// when a display is there; everything else in the module stays hidden.
#include "app/ProgramEntry.h"

extern "C" __attribute__((visibility("default"))) int vorlixbackup_run_window(int argc, char** argv) {
    return vb::RunProgram(argc, argv);
}
