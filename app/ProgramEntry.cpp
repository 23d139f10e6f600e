#include "app/ProgramEntry.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>

#include "app/ApplicationSetup.h"
#include "app/CommandLine.h"
#include "app/LastPass.h"
#include "app/TMainFrm.h"
#include "app/VbApplication.h"
#include "pass/StandAlonePass.h"
#include "platform/RegistryStore.h"
#include "platform/TerminationSignals.h"
#include "settings/Settings.h"
#include "util/MessageBoxes.h"
#include "util/RunPhases.h"
#include "util/StandardErrorBoxes.h"

namespace vb {
namespace {

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

// The list separator of the current user must not be empty; nothing else reads it.
void EnsureListSeparator(RegistryStore& registry) {
    const char* key = "\\Control Panel\\International";
    if (!registry.CreateKey(RegistryRoot::CurrentUser, key)) return;
    const auto separator = registry.ReadString(RegistryRoot::CurrentUser, key, "sList");
    if (separator && !separator->empty()) return;
    try {
        registry.WriteString(key, "sList", ";");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Fehler: %s\n", e.what());
    }
}

// The pass leaves its result in the data folder, for the window's next start.
void RecordPass(const std::string& datenDir, bool restore, int status, const std::string& firstError) {
    if (datenDir.empty()) return;
    try {
        RecordLastPass(datenDir, {restore, std::time(nullptr), status, firstError});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Fehler: %s\n", e.what());
    }
}

// An unattended pass (or a usage error) without any window: the options from the
// store, the boxes as chosen by the entry, and the pass engine. Never saves the
// options.
int RunWithoutWindow(const EntryDecision& decision, RegistryStore& registry, Boxes& boxes,
                     std::optional<RunPhase>& phase) {
    BoxesOnlyHost host(boxes);
    if (decision.mode == EntryMode::UsageError) {
        host.ShowError(decision.errorMessage);
        return kExitUsage;
    }
    const TOptions options = LoadSettings(registry, DefaultDataFolder).options;
    // A damaged or unreadable settings file is said at once, and the pass does not
    // start, since it would run with settings nobody chose.
    if (!registry.Problem().empty()) host.ShowError(registry.Problem());
    const bool restore = decision.mode == EntryMode::Restore;
    bool incomplete = false;
    if (!host.Errors().Any()) {
        phase.reset();
        phase.emplace("pass");
        StandAlonePass pass(registry, options, host);
        pass.Run(restore ? PassKind::Restore : PassKind::Backup, decision.jobs);
        incomplete = pass.Incomplete();
    }
    const int status = host.Errors().Any() || incomplete ? kExitFailed : kExitOk;
    RecordPass(options.FDatenDir, restore, status, host.Errors().First());
    return status;
}

}  // namespace

int RunProgram(int argc, char** argv) {
    // Benchmarks see start-up, the pass and the end apart (VB_BENCH_PHASES).
    std::optional<RunPhase> phase(std::in_place, "start-up");
    std::vector<std::string> parameters(argv + 1, argv + argc);
    const std::string programPath = argc > 0 ? std::filesystem::absolute(argv[0]).string() : "vorlixbackup";
    const EntryDecision decision = DecideEntry(parameters, RawCommandLine(programPath, parameters), CharacterCount(programPath));
    if (decision.mode == EntryMode::Help || decision.mode == EntryMode::Version) {
        std::fputs((decision.mode == EntryMode::Help ? UsageText() : VersionText()).c_str(), stdout);
        return kExitOk;
    }

    // The window cannot be used without a display; an unattended pass needs none.
    const bool headless = !HasDisplay();
    const bool unattended = decision.mode != EntryMode::Interactive && decision.mode != EntryMode::Versions;
    if (headless && !unattended) {
        std::fprintf(stderr,
                     "Vorlix-Backup: Keine grafische Anzeige gefunden (DISPLAY ist nicht gesetzt).\n"
                     "Unbeaufsichtigt: vorlixbackup /BACKUP oder vorlixbackup /RESTORE\n");
        return kExitUsage;
    }
    // From here on SIGTERM ends the window like a close (once the event loop runs);
    // an unattended pass keeps the default and never saves the options.
    if (!unattended) platform::CatchTerminationSignals();

    RegistryStore registry(RegistryStore::DefaultPath());
    EnsureListSeparator(registry);

    // Without a display nobody can answer a box of a pass: the boxes go to standard
    // error, and no part of Qt's display is started. With one, the pass shows its
    // boxes and prompts as message boxes, but no window.
    if (headless) {
        StandardErrorBoxes standardError;
        const int status = RunWithoutWindow(decision, registry, standardError, phase);
        phase.reset();
        return status;
    }
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
