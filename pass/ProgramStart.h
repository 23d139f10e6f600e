#pragma once
// The start of the program up to the point where it needs a display: the command
// line, help and version, and an unattended pass without a display, with its boxes
// on standard error. None of it needs Qt, so the program's executable runs these
// without loading Qt at all; the window (and a pass that shows its boxes on a
// display) comes from the window module (see WindowModule.h in platform/).
#include <optional>
#include <string>

#include "pass/CommandLine.h"
#include "platform/RegistryStore.h"
#include "platform/RunPhases.h"
#include "util/RunHost.h"

namespace vb {

// Exit status of the program: 0 when the pass ran and every job succeeded (or the
// window was closed), 1 when a job failed or an error was reported, 2 for a usage error
// or an interactive start without a display.
enum ExitStatus { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// Whether a display server is named (DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM).
bool HasDisplay();

// The list separator of the current user must not be empty; nothing else reads it.
void EnsureListSeparator(RegistryStore& registry);

// An unattended pass (or a usage error) without any window: the options from the
// store, the boxes as chosen by the caller, and the pass engine. Never saves the
// options; leaves the pass's result in the data folder for the window's next start.
// `phase` is the running benchmark phase, ended when the pass starts.
int RunWithoutWindow(const EntryDecision& decision, RegistryStore& registry, Boxes& boxes,
                     std::optional<RunPhase>& phase);

// Help, version, and everything without a display, as `decision` says: returns the
// exit status. Returns nullopt, having done nothing, when a display is there and the
// window or boxes on it are wanted.
std::optional<int> RunWithoutDisplay(const EntryDecision& decision);

// The decision the command line makes (the program's path counts for the raw line).
EntryDecision DecideProgramEntry(int argc, char** argv);

}  // namespace vb
