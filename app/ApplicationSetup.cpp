#include "app/ApplicationSetup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTranslator>

#include "pass/CommandLine.h"
#include "app/TMainFrm.h"
#include "platform/TerminationSignals.h"
#include "gui/WindowFont.h"

namespace vb {

bool InstallQtTranslations(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

void SetUpApplication(QApplication& app) {
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    InstallQtTranslations(app);
    QApplication::setFont(gui::WindowFont());
}

void CloseWithTheSession(QApplication& app, TMainFrm& window) {
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, [&window](QSessionManager& manager) {
        if (!window.EndSession(false) && manager.allowsInteraction()) manager.cancel();
    });
    const int requests = platform::CatchTerminationSignals();
    if (requests < 0) return;
    auto* notifier = new QSocketNotifier(requests, QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, requests] {
        if (platform::TakeTerminationRequest(requests)) window.EndSession(true);
    });
}

}  // namespace vb
