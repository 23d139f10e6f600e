// The help window on the window's pages and F1, and the help hook's fallbacks.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "app/TMainFrm.h"
#include "gui/HelpViewer.h"
#include "gui/HtmlHelp.h"
#include "support/WindowTestHome.h"
#include "gui/MessageBoxes.h"

using namespace vb;

class HelpViewerTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::WindowTestHome> FHome;
    QString FChm;  // the help file the test executable looks for beside itself

    QString Path(const QString& name) const { return FHome->Path(name); }
    static QString Topic() {
        auto* viewer = gui::THelpViewer::Existing();
        return viewer && viewer->isVisible() ? viewer->CurrentTopic() : QString();
    }
    static void CloseHelp() { delete gui::THelpViewer::Existing(); }

private slots:
    void initTestCase() {
        FChm = QCoreApplication::applicationDirPath() + "/" + QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + ".chm";
        QFile::remove(FChm);
        QVERIFY(QFile::copy(VB_BINARY_DIR "/vorlixbackup.chm", FChm));
    }
    void init() { FHome = std::make_unique<test::WindowTestHome>(); }
    void cleanup() {
        CloseHelp();
        gui::SetHelpHook({});
        gui::SetApplicationHelpFile("");
        FHome.reset();
    }
    void cleanupTestCase() { QFile::remove(FChm); }

    void hilfeOpensTheTopicOfThePageShown_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("topic");
        QTest::newRow("backup") << 0 << "/html/sichern.htm";
        QTest::newRow("restore") << 1 << "/html/wiederherstellen.htm";
        QTest::newRow("options") << 2 << "/html/einstellungen.htm";
        QTest::newRow("logs") << 3 << "/html/logdateien.htm";
        QTest::newRow("jobs") << 4 << "/html/jobs.htm";
    }
    void hilfeOpensTheTopicOfThePageShown() {
        QFETCH(int, page);
        QFETCH(QString, topic);
        TMainFrm window(FHome->Registry(), &FHome->Host());
        QCOMPARE(QString::fromStdString(window.ChmFilename()), FChm);
        QVERIFY(gui::ApplicationHelpFile().empty());
        window.ShowPage(page);
        window.findChild<QToolButton*>("acHilfe")->click();
        QCOMPARE(Topic(), topic);
        auto* browser = gui::THelpViewer::Existing()->Browser();
        QVERIFY(browser->toPlainText().contains("Zurück zum Inhalt"));
        test::SaveScreenshot(&window, QString("page-") + QTest::currentDataTag());
        test::SaveScreenshot(gui::THelpViewer::Existing(), QString("help-") + QTest::currentDataTag());
        // A link inside the help stays in the help file.
        emit browser->anchorClicked(QUrl("zeitgesteuert.htm"));
        QCOMPARE(Topic(), QString("/html/zeitgesteuert.htm"));
        QVERIFY(browser->toPlainText().contains("systemctl --user"));
        test::SaveScreenshot(gui::THelpViewer::Existing(), QString("help-zeitgesteuert-") + QTest::currentDataTag());
    }

    // The help window's index narrows its keywords as the user types and opens the
    // chosen one's topic; its search lists the topics that hold every word.
    void helpWindowHasAnIndexAndASearch() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.ShowPage(4);
        window.findChild<QToolButton*>("acHilfe")->click();
        gui::THelpViewer* viewer = gui::THelpViewer::Existing();
        QVERIFY(viewer);
        auto* filter = viewer->findChild<QLineEdit*>("edIndex");
        auto* index = viewer->findChild<QTreeWidget*>("lstIndex");
        QVERIFY(filter && index);
        QVERIFY(index->topLevelItemCount() >= 20);
        QTest::keyClicks(filter, "ziel");
        QStringList shown;
        for (int i = 0; i < index->topLevelItemCount(); ++i)
            if (!index->topLevelItem(i)->isHidden()) shown << index->topLevelItem(i)->text(0);
        QCOMPARE(shown, (QStringList{"Ziellaufwerk", "Zielverzeichnis"}));
        QTest::keyClick(filter, Qt::Key_Return);
        QCOMPARE(Topic(), QString("/html/wiederherstellen.htm"));
        // A keyword of several topics opens the first and lists them by title.
        filter->setText("Passwort");
        QTest::keyClick(filter, Qt::Key_Return);
        QCOMPARE(Topic(), QString("/html/einstellungen.htm"));
        QCOMPARE(index->currentItem()->childCount(), 2);
        QCOMPARE(index->currentItem()->child(1)->text(0), QString("Wiederherstellen (Restore)"));

        auto* query = viewer->findChild<QLineEdit*>("edSuche");
        auto* hits = viewer->findChild<QListWidget*>("lstSuche");
        QVERIFY(query && hits);
        query->setText("CRONTAB linger");
        QTest::keyClick(query, Qt::Key_Return);
        QCOMPARE(hits->count(), 1);
        QCOMPARE(hits->item(0)->text(), QString("Zeitgesteuerte Sicherung"));
        emit hits->itemActivated(hits->item(0));
        QCOMPARE(Topic(), QString("/html/zeitgesteuert.htm"));
        query->setText(QString::fromUtf8("Quantenverschränkung"));
        viewer->findChild<QPushButton*>("btnSuchen")->click();
        QCOMPARE(hits->count(), 1);
        QCOMPARE(hits->item(0)->text(), QString("Keine Themen gefunden"));
        test::SaveScreenshot(viewer, "help-index-search");
    }

    void f1AsksForTheFocusedElementsNumber_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("topic");
        QTest::newRow("backup page") << "ComboBox2" << 0 << "/html/sichern.htm";
        QTest::newRow("restore page") << "JvDriveCombo1" << 1 << "/html/wiederherstellen.htm";
        QTest::newRow("options page") << "edDatenDir" << 2 << "/html/einstellungen.htm";
        QTest::newRow("log page: the frame's number") << "memoBackupLog" << 3 << "/html/fenster.htm";
        QTest::newRow("jobs page: the frame's number") << "ComboBox4" << 4 << "/html/fenster.htm";
        QTest::newRow("navigation bar: no number, contents") << "acJobs" << 4 << "/html/inhalt.htm";
    }
    void f1AsksForTheFocusedElementsNumber() {
        QFETCH(QString, focus);
        QFETCH(int, page);
        QFETCH(QString, topic);
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.ShowPage(page);
        auto* target = window.findChild<QWidget*>(focus);
        QVERIFY(target);
        target->setFocusPolicy(Qt::StrongFocus);
        target->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), target);
        QTest::keyClick(target, Qt::Key_F1);
        QTRY_COMPARE(Topic(), topic);
    }

    void unmappedNumbersShowTheContentsAndMissingHelpShowsNothing() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        QVERIFY(gui::HelpContext(7000, FHome->Host()));
        QCOMPARE(Topic(), QString("/html/inhalt.htm"));
        CloseHelp();
        QCOMPARE(gui::CallHtmlHelp(&window, Path("nirgends.chm").toStdString(), gui::HH_HELP_CONTEXT, 2000), nullptr);
        QCOMPARE(gui::CallHtmlHelp(&window, Path("nirgends.chm").toStdString(), gui::HH_DISPLAY_TOC, 0), nullptr);
        QVERIFY(!gui::THelpViewer::Existing());
    }

    void aDamagedHelpFileIsReported() {
        TMainFrm window(FHome->Registry());  // its own message boxes
        QFile::remove(FChm);
        QFile damaged(FChm);
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("ITSF, but no compiled help");
        damaged.close();
        QString shown;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            shown = box->text();
            box->buttons().first()->click();
        });
        bool callHelp = true;
        QVERIFY(!window.ApplicationHelp(gui::HELP_CONTEXT, 2000, callHelp));
        QVERIFY(!callHelp);
        QCOMPARE(shown, QString("Fehler beim Aufruf der Hilfe-Funktion!"));
        QFile::remove(FChm);
        QVERIFY(QFile::copy(VB_BINARY_DIR "/vorlixbackup.chm", FChm));
    }

    void withoutCompiledHelpTheStandardHelpHandlesTheRequest() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        gui::SetApplicationHelpFile(Path("test.hlp").toStdString());
        bool callHelp = false;
        QVERIFY(window.ApplicationHelp(gui::HELP_CONTEXT, 2000, callHelp));
        QVERIFY(callHelp);
        QVERIFY(!gui::THelpViewer::Existing());
        // "Hilfe" then hands the request to the standard help, which cannot open the
        // missing file and says so.
        window.findChild<QToolButton*>("acHilfe")->click();
        QCOMPARE(FHome->Host().FShown,
                 std::vector<std::string>{"Meldung: Die Hilfedatei " + Path("test.hlp").toStdString() +
                                          " kann nicht geöffnet werden."});
        QVERIFY(!gui::THelpViewer::Existing());
    }
};

QTEST_MAIN(HelpViewerTest)
#include "HelpViewerTest.moc"
