// The main window and the help window on a screen that the designed size does not fit:
// a real X display of 1280 x 800 at scale 1.5 (144 dpi), with a window manager.
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "app/ApplicationSetup.h"
#include "app/TMainFrm.h"
#include "gui/HelpViewer.h"
#include "platform/RegistryStore.h"
#include "support/FakeHost.h"
#include "support/WindowFrame.h"
#include "support/WindowTestHome.h"

using namespace vb;

class MainFrmFitTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::WindowTestHome> FHome;

    static QRect Area() { return QGuiApplication::primaryScreen()->availableGeometry(); }

private slots:
    void initTestCase() {
        QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
        SetUpApplication(*qApp);
        QVERIFY2(Area().height() < 527 + 40, "the screen is large enough for the designed size");
    }
    void init() { FHome = std::make_unique<test::WindowTestHome>(); }
    void cleanup() { FHome.reset(); }

    // The whole frame lies on the screen, and on every page the status line is inside
    // the window, below the page.
    void theWindowFitsTheScreenOnEveryPage() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.show();
        QVERIFY(test::WaitForFrame(&window));
        QVERIFY2(Area().contains(window.frameGeometry()),
                 qPrintable(QString("%1x%2").arg(window.frameGeometry().width()).arg(window.frameGeometry().height())));
        QVERIFY(window.width() <= 721 && window.height() < 527);
        auto* status = window.findChild<QLabel*>("StatusBar1");
        for (const char* action : {"acJobs", "acBackup", "acRestore", "acEinstellungen", "acLogfiles"}) {
            window.findChild<QToolButton*>(action)->click();
            const QRect statusInWindow(status->mapTo(&window, QPoint(0, 0)), status->size());
            QVERIFY2(window.rect().contains(statusInWindow), action);
            QVERIFY(status->isVisible());
            test::SaveScreenshot(&window, QString("144dpi-") + action);
        }
    }

    // The window is resizable like other windows: it can be maximized and made
    // smaller than designed.
    void theWindowIsResizable() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        QVERIFY(window.minimumSize() != window.maximumSize());
        QVERIFY(window.windowFlags() & Qt::WindowMaximizeButtonHint);
        QVERIFY(window.minimumSizeHint().height() < Area().height() - 40);
        window.show();
        QVERIFY(test::WaitForFrame(&window));
        window.showMaximized();
        QTRY_VERIFY(window.width() > 721);
    }

    void theHelpWindowFitsTheScreen() {
        gui::THelpViewer* viewer = gui::THelpViewer::Instance();
        viewer->show();
        QVERIFY(test::WaitForFrame(viewer));
        QVERIFY2(
            Area().contains(viewer->frameGeometry()),
            qPrintable(QString("%1x%2").arg(viewer->frameGeometry().width()).arg(viewer->frameGeometry().height())));
        delete viewer;
    }
};

QTEST_MAIN(MainFrmFitTest)
#include "MainFrmFitTest.moc"
