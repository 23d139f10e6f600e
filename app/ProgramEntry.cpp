#include "app/ProgramEntry.h"

#include <optional>

#include "app/ApplicationSetup.h"
#include "app/TMainFrm.h"
#include "app/VbApplication.h"
#include "gui/MessageBoxes.h"
#include "platform/TerminationSignals.h"

namespace vb {

int RunProgram(int argc, char** argv) {
    const EntryDecision decision = DecideProgramEntry(argc, argv);
    if (const auto status = RunWithoutDisplay(decision)) return *status;
    std::optional<RunPhase> phase(std::in_place, "start-up");
    const bool unattended = decision.mode != EntryMode::Interactive && decision.mode != EntryMode::Versions;
    // From here on SIGTERM ends the window like a close (once the event loop runs);
    // an unattended pass keeps the default and never saves the options.
    if (!unattended) platform::CatchTerminationSignals();

    RegistryStore registry(RegistryStore::DefaultPath());
    EnsureListSeparator(registry);

    // With a display, the pass shows its boxes and prompts as message boxes, but no
    // window.
    VbApplication app(argc, argv);
    SetUpApplication(app);
    if (unattended) {
        gui::WidgetBoxes boxes(nullptr);
        const int status = RunWithoutWindow(decision, registry, boxes, phase);
        phase.reset();
        return status;
    }
    TMainFrm window(registry);
    app.SetErrorHandler([&window](const std::string& message) { window.HandleError(message); });
    CloseWithTheSession(app, window);
    window.show();
    if (decision.mode == EntryMode::Versions) window.ShowVersionsOf(decision.path);
    phase.reset();
    VbApplication::exec();
    return kExitOk;
}

}  // namespace vb
