#pragma once
// A fresh home for a main window under test: HOME, the configuration folder and the
// shared documents point into a temporary folder, with a registry store of its own,
// and a recording host whose boxes a window under test is given, so that none waits
// for an answer and the test can see what each said.
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>
#include <memory>

#include "platform/RegistryStore.h"
#include "support/FakeHost.h"

namespace vb::test {

// Saves what `widget` shows as <VB_SCREENSHOT_DIR>/<name>.png when that variable is
// set, for looking at the pages under a real display (xvfb-run with the xcb platform).
inline void SaveScreenshot(QWidget* widget, const QString& name) {
    const QString dir = qEnvironmentVariable("VB_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    widget->show();
    QTest::qWait(200);
    widget->window()->grab().save(dir + "/" + name + ".png");
}

class WindowTestHome {
public:
    WindowTestHome() {
        QVERIFY(FDir.isValid());
        qputenv("HOME", Path("home").toUtf8());
        qputenv("XDG_CONFIG_HOME", Path("home/.config").toUtf8());
        qputenv("VORLIXBACKUP_COMMON_DOCUMENTS", Path("shared").toUtf8());
        FRegistry = std::make_unique<RegistryStore>(Path("registry.reg").toStdString());
    }

    QString Path(const QString& name) const { return FDir.path() + "/" + name; }
    // The default data folder of this home.
    QString DataDir() const { return Path("shared/VorlixBackup"); }
    RegistryStore& Registry() { return *FRegistry; }
    // The boxes for a window of this home: TMainFrm window(home.Registry(), &home.Host()).
    FakeHost& Host() { return FHost; }

private:
    QTemporaryDir FDir;
    std::unique_ptr<RegistryStore> FRegistry;
    FakeHost FHost;
};

}  // namespace vb::test
