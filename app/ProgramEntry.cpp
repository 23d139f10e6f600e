#include "app/ProgramEntry.h"

#include <QTimer>
#include <QtGlobal>
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
#include "platform/RegistryStore.h"
#include "platform/TerminationSignals.h"
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
void RecordPass(const TMainFrm& window, bool restore, int status) {
    if (window.Options().FDatenDir.empty()) return;
    try {
        RecordLastPass(window.Options().FDatenDir, {restore, std::time(nullptr), status, window.FirstError()});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Fehler: %s\n", e.what());
    }
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

    // Without a display an unattended pass runs on the offscreen platform with its
    // boxes on standard error; the window cannot be used without one.
    const bool headless = !HasDisplay();
    if (headless && decision.mode == EntryMode::Interactive) {
        std::fprintf(stderr,
                     "Vorlix-Backup: Keine grafische Anzeige gefunden (DISPLAY ist nicht gesetzt).\n"
                     "Unbeaufsichtigt: vorlixbackup /BACKUP oder vorlixbackup /RESTORE\n");
        return kExitUsage;
    }
    if (headless) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // From here on SIGTERM ends the window like a close (once the event loop runs);
    // an unattended pass keeps the default and never saves the options.
    if (decision.mode == EntryMode::Interactive) platform::CatchTerminationSignals();

    RegistryStore registry(RegistryStore::DefaultPath());
    EnsureListSeparator(registry);

    // Qt's own diagnostics of the offscreen platform (size hints it cannot pass on, a
    // missing runtime folder) say nothing about the pass: standard error keeps the
    // program's messages alone, so that a scheduler's log and the record of the last
    // pass hold only what went wrong. Qt's critical and fatal messages still pass.
    if (headless) {
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
            if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(message));
        });
    }
    VbApplication app(argc, argv);
    SetUpApplication(app);
    const bool unattended = decision.mode != EntryMode::Interactive;
    // Nobody can answer a box of a pass without a display: the boxes go to standard
    // error, once and for the whole run.
    StandardErrorBoxes standardError;
    const bool nobodyToAsk = unattended && VbApplication::platformName() == "offscreen";

    TMainFrm window(registry, nobodyToAsk ? &standardError : nullptr, nullptr, unattended);
    app.SetErrorHandler([&window](const std::string& message) { window.HandleError(message); });
    if (!unattended) CloseWithTheSession(app, window);
    // Without a display nobody sees the window: it is shown (its pages and runs behave
    // as in a window) but never painted.
    if (nobodyToAsk) window.setUpdatesEnabled(false);
    window.show();

    if (!unattended) {
        VbApplication::exec();
        return kExitOk;
    }
    window.SetAuto(true);
    phase.reset();
    phase.emplace("pass");
    // An error while the window was created has been shown already; a pass on a window
    // that is only half set up could only do harm, so the remaining work is skipped.
    const bool started = !window.ErrorReported();
    int status = kExitOk;
    switch (started ? decision.mode : EntryMode::Interactive) {
    case EntryMode::Backup:
        window.Guard([&] { window.doBackup(decision.jobs); });
        break;
    case EntryMode::Restore:
        window.Guard([&] { window.doRestore(""); });
        break;
    case EntryMode::UsageError:
        window.ShowError(decision.errorMessage);
        status = kExitUsage;
        break;
    case EntryMode::Interactive:
    case EntryMode::Help:
    case EntryMode::Version: break;
    }
    if (status == kExitOk && window.PassFailed()) status = kExitFailed;
    if (decision.mode == EntryMode::Backup || decision.mode == EntryMode::Restore)
        RecordPass(window, decision.mode == EntryMode::Restore, status);
    phase.reset();
    phase.emplace("shutdown");
    // The pass is over: handle what is queued, then end. The window is not closed, so
    // the options stay as they were (exit, unlike quit, closes no window).
    QTimer::singleShot(0, &app, [] { VbApplication::exit(0); });
    VbApplication::exec();
    return status;
}

}  // namespace vb
