#include "pass/ProgramStart.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

#include "pass/LastPass.h"
#include "pass/StandAlonePass.h"
#include "pass/StandardErrorBoxes.h"
#include "settings/Settings.h"

namespace vb {
namespace {

// The pass leaves its result in the data folder, for the window's next start.
void RecordPass(const std::string& datenDir, bool restore, int status, const std::string& firstError) {
    if (datenDir.empty()) return;
    try {
        RecordLastPass(datenDir, {restore, std::time(nullptr), status, firstError});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Fehler: %s\n", e.what());
    }
}

}  // namespace

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

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

EntryDecision DecideProgramEntry(int argc, char** argv) {
    std::vector<std::string> parameters(argv + 1, argv + argc);
    const std::string programPath = argc > 0 ? std::filesystem::absolute(argv[0]).string() : "vorlixbackup";
    return DecideEntry(parameters, RawCommandLine(programPath, parameters), CharacterCount(programPath));
}

std::optional<int> RunWithoutDisplay(const EntryDecision& decision) {
    // Benchmarks see start-up, the pass and the end apart (VB_BENCH_PHASES).
    std::optional<RunPhase> phase(std::in_place, "start-up");
    if (decision.mode == EntryMode::Help || decision.mode == EntryMode::Version) {
        std::fputs((decision.mode == EntryMode::Help ? UsageText() : VersionText()).c_str(), stdout);
        return kExitOk;
    }
    if (HasDisplay()) return std::nullopt;
    // The window cannot be used without a display; an unattended pass needs none.
    if (decision.mode == EntryMode::Interactive || decision.mode == EntryMode::Versions) {
        std::fprintf(stderr,
                     "Vorlix-Backup: Keine grafische Anzeige gefunden (DISPLAY ist nicht gesetzt).\n"
                     "Unbeaufsichtigt: vorlixbackup /BACKUP oder vorlixbackup /RESTORE\n");
        return kExitUsage;
    }
    // Nobody can answer a box of a pass: the boxes go to standard error.
    RegistryStore registry(RegistryStore::DefaultPath());
    EnsureListSeparator(registry);
    StandardErrorBoxes standardError;
    const int status = RunWithoutWindow(decision, registry, standardError, phase);
    phase.reset();
    return status;
}

}  // namespace vb
