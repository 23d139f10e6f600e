#pragma once
// The window lives in a module of its own, vorlixbackup-window.so, which links Qt: a
// pass without a display (the scheduler's nightly one) never loads Qt, which costs
// more than the rest of an update with nothing changed. The module is looked for
// beside the executable (the build folder), then in the program's library folder.

namespace vb::platform {

// Loads the module and runs its entry with the program's arguments, returning its
// exit status. A module that is missing, cannot be loaded, or could have been put
// there by another user (not owned by root or the running user, or writable by
// others) is reported on standard error in German, with exit status 1.
int RunWindowModule(int argc, char** argv);

}  // namespace vb::platform
