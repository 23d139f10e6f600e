// The main window as a desktop shows it: a real X display with a window manager that
// puts a frame around every window. Placement, the fit onto a small screen and the
// titles the window manager shows can only be seen there.
#include <xcb/xcb.h>

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "app/ApplicationSetup.h"
#include "app/TMainFrm.h"
#include "gui/TSelectFilemaskfrm.h"
#include "help/VersionInfo.h"
#include "platform/RegistryStore.h"
#include "settings/WindowPlacement.h"
#include "support/FakeHost.h"
#include "support/WindowFrame.h"
#include "gui/MessageBoxes.h"

using namespace vb;

namespace {

// The title that the window manager shows: _NET_WM_NAME of the X window.
QString ShownTitle(QWidget* window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11->connection();
    const auto atom = [&](const char* name) {
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, strlen(name), name), nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return result;
    };
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, static_cast<xcb_window_t>(window->winId()), atom("_NET_WM_NAME"),
                         atom("UTF8_STRING"), 0, 1024),
        nullptr);
    QString title;
    if (reply) {
        title = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply)),
                                  xcb_get_property_value_length(reply));
        free(reply);
    }
    return title;
}

}  // namespace

class MainFrmX11Test : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> FDir;
    std::unique_ptr<RegistryStore> FRegistry;
    test::FakeHost FHost;  // no box waits for an answer

    QString Path(const QString& name) const { return FDir->path() + "/" + name; }

    // Starts the window, waits for its frame, closes it with "Beenden"; returns the
    // frame as it was shown.
    QRect StartAndClose() {
        TMainFrm window(*FRegistry, &FHost);
        window.show();
        if (!test::WaitForFrame(&window)) return {};
        const QRect shown = window.frameGeometry();
        window.findChild<QToolButton*>("acEnde")->click();
        return shown;
    }

private slots:
    void initTestCase() {
        QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
        SetUpApplication(*qApp);
        QWidget probe;
        probe.show();
        QVERIFY2(test::WaitForFrame(&probe), "no window manager frames the windows");
    }
    void init() {
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY(FDir->isValid());
        qputenv("HOME", Path("home").toUtf8());
        qputenv("XDG_CONFIG_HOME", Path("home/.config").toUtf8());
        qputenv("VORLIXBACKUP_COMMON_DOCUMENTS", Path("shared").toUtf8());
        FRegistry = std::make_unique<RegistryStore>(Path("registry.reg").toStdString());
    }
    void cleanup() {
        FRegistry.reset();
        FDir.reset();
    }

    // Start, close, start: the window comes back exactly where it was, frame and all,
    // and the stored rectangle is that frame.
    void placementRoundTrips() {
        FRegistry->WriteString(kPlacementKey, "NormPos", "100,80,400,300");
        FRegistry->WriteDword(kPlacementKey, "PixelsPerInch",
                              static_cast<std::uint32_t>(qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch())));
        const QRect first = StartAndClose();
        QVERIFY(first.isValid());
        QCOMPARE(first.topLeft(), QPoint(100, 80));
        const auto stored = FRegistry->ReadString(RegistryRoot::CurrentUser, kPlacementKey, "NormPos");
        QCOMPARE(QString::fromStdString(stored.value_or("")),
                 QString("%1,%2,%3,%4").arg(first.left()).arg(first.top()).arg(first.right() + 1).arg(first.bottom() + 1));
        for (int start = 2; start <= 3; ++start) QCOMPARE(StartAndClose(), first);
    }

    // The designed position (549, 279) leaves a 1024 x 768 screen: the whole frame is
    // moved onto the available area, by the least distance, and stays there.
    void designedPositionIsMovedOntoASmallScreen() {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(area.width() < 549 + 721 && area.height() < 279 + 527, "the screen is too large for this test");
        const QRect first = StartAndClose();
        QVERIFY(first.isValid());
        QVERIFY(area.contains(first));
        QCOMPARE(first.right(), area.right());
        QCOMPARE(first.bottom(), area.bottom());
        QCOMPARE(StartAndClose(), first);
    }

    // Titles are the captions alone; the application's name is not appended.
    void titlesAreTheCaptions() {
        TMainFrm window(*FRegistry, &FHost);
        window.show();
        QVERIFY(test::WaitForFrame(&window));
        const QString caption = "Vorlix Backup & Restore " + QString::fromStdString(ProgramVersionInfo().FileVersion);
        QTRY_COMPARE(ShownTitle(&window), caption);

        gui::TSelectFilemaskfrm masks(&window);
        masks.show();
        QVERIFY(QTest::qWaitForWindowExposed(&masks));
        QTRY_COMPARE(ShownTitle(&masks), QString("Datei(maske)"));
        // The frame with its title bar is the window manager's: it shows on the screen.
        if (const QString dir = qEnvironmentVariable("VB_SCREENSHOT_DIR"); !dir.isEmpty()) {
            QVERIFY(test::WaitForFrame(&masks));
            masks.screen()->grabWindow(0, masks.frameGeometry().x(), masks.frameGeometry().y(),
                                       masks.frameGeometry().width(), masks.frameGeometry().height())
                .save(dir + "/filemask-dialog-framed.png");
        }
        masks.close();

        QString boxTitle;
        QTimer::singleShot(200, &window, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                if (!QTest::qWaitForWindowExposed(box)) return;
                QTest::qWait(100);
                boxTitle = ShownTitle(box);
                box->close();
            }
        });
        gui::MessageBox(&window, "Hallo");
        QCOMPARE(boxTitle, QString("Vorlix-Backup"));
    }
};

QTEST_MAIN(MainFrmX11Test)
#include "MainFrmX11Test.moc"
