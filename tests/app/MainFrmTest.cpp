// Drives the main window on the offscreen platform: navigation, settings controls and
// what closing writes.
#include <QButtonGroup>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QMenu>
#include <QSignalSpy>
#include <QTimer>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "app/ApplicationSetup.h"
#include "app/TMainFrm.h"
#include "help/VersionInfo.h"
#include "platform/RegistryStore.h"
#include "support/WindowTestHome.h"
#include "util/Utf8.h"

using namespace vb;

class MainFrmTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::WindowTestHome> FHome;

    QString Path(const QString& name) const { return FHome->Path(name); }
    static void Click(TMainFrm& window, const char* action) {
        auto* button = window.findChild<QToolButton*>(action);
        QVERIFY2(button, action);
        button->click();
    }

private slots:
    void init() {
        FHome = std::make_unique<test::WindowTestHome>();
    }
    void cleanup() {
        FHome.reset();
    }

    void startsOnTheJobsPageWithCaptionAndNavigation() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        QCOMPARE(window.windowTitle(),
                 QString("Vorlix Backup & Restore ") + QString::fromStdString(ProgramVersionInfo().FileVersion));
        QCOMPARE(window.CurrentPage(), int(TMainFrm::pgJobs));
        QCOMPARE(window.size(), QSize(721, 527));
        const char* names[] = {"acJobs", "acBackup", "acRestore", "acEinstellungen",
                               "acLogfiles", "acHilfe", "acInfo", "acEnde"};
        // Each with its Alt key.
        const char* captions[] = {"&Jobs verwalten", "&Backup", "&Restore", "&Einstellungen",
                                  "&Log-Dateien",    "&Hilfe",  "&Info",    "Bee&nden"};
        int lastTop = -1;
        for (int i = 0; i < 8; ++i) {
            auto* button = window.findChild<QToolButton*>(names[i]);
            QVERIFY2(button, names[i]);
            QCOMPARE(button->text(), QString(captions[i]));
            QVERIFY(button->y() > lastTop);
            lastTop = button->y();
        }
        // First start: default options, data folder created below the shared documents.
        QCOMPARE(window.Options().FDatenDir, Path("shared/VorlixBackup").toStdString());
        QVERIFY(QFileInfo(Path("shared/VorlixBackup")).isDir());
        QVERIFY(window.findChild<QCheckBox*>("CheckBox1")->isChecked());
        QVERIFY(!window.findChild<QCheckBox*>("CheckBox2")->isChecked());
        QVERIFY(window.findChild<QRadioButton*>("RadioGroup1Item0")->isChecked());
        QCOMPARE(window.findChild<QCheckBox*>("CheckBox1")->toolTip(),
                 "VB-Backup.log und VB-Restore.log in " + Path("shared/VorlixBackup"));
        // The job list was created with its default job, which is current on all pages.
        QVERIFY(!window.ErrorReported());
        QCOMPARE(window.Job().Bezeichnung, std::string("Vorlix-Backup"));
        for (const char* selector : {"ComboBox2", "ComboBox3", "ComboBox4"}) {
            QCOMPARE(window.findChild<QComboBox*>(selector)->currentText(), QString("Vorlix-Backup"));
        }
        QVERIFY(QFileInfo::exists(Path("shared/VorlixBackup/Backupjobs.csv")));
        QVERIFY(QFileInfo::exists(Path("shared/VorlixBackup/Vorlixbackup.csv")));
        QCOMPARE(window.Definitions().RecordCount(), 7);
    }

    void navigationShowsEachPage_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("heading");
        QTest::newRow("backup") << "acBackup" << 0 << "Sichern";
        QTest::newRow("restore") << "acRestore" << 1 << "Wiederherstellen";
        QTest::newRow("settings") << "acEinstellungen" << 2 << " Sicherungs - Einstellungen";
        QTest::newRow("logs") << "acLogfiles" << 3 << " Logdateien anzeigen";
        QTest::newRow("jobs") << "acJobs" << 4 << " Jobs verwalten";
    }
    void navigationShowsEachPage() {
        QFETCH(QString, action);
        QFETCH(int, page);
        QFETCH(QString, heading);
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.ShowPage(page == 4 ? 0 : 4);
        Click(window, action.toUtf8().constData());
        QCOMPARE(window.CurrentPage(), page);
        auto* pages = window.findChild<QStackedWidget*>("PageControl1");
        auto* band = pages->currentWidget()->findChild<QLabel*>(pages->currentWidget()->objectName() + "Heading");
        QVERIFY(band);
        QCOMPARE(band->text(), heading);
        // The navigation bar marks the page shown, and only that one.
        for (const char* name : {"acJobs", "acBackup", "acRestore", "acEinstellungen", "acLogfiles"})
            QCOMPARE(window.findChild<QToolButton*>(name)->isChecked(), action == name);
    }

    void logPageShowsLogsOrPlaceholder() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        Click(window, "acLogfiles");
        auto* backup = window.findChild<QPlainTextEdit*>("memoBackupLog");
        auto* restore = window.findChild<QPlainTextEdit*>("memoRestoreLog");
        QCOMPARE(backup->toPlainText(), QString("Keine Logdatei gefunden"));
        QCOMPARE(restore->toPlainText(), QString("Keine Logdatei gefunden"));

        QFile log(Path("shared/VorlixBackup/VB-Backup.log"));
        QVERIFY(log.open(QIODevice::WriteOnly));
        const std::string lines = "/b/x.zip logging 03.10.2016 14:05:09\r\nDB/Schüler.mdb added 03.10.2016\r\n";
        log.write(QByteArray::fromStdString(utf8::toUtf16le(lines)));
        log.close();
        Click(window, "acJobs");
        Click(window, "acLogfiles");
        QCOMPARE(backup->toPlainText(),
                 QString::fromUtf8("/b/x.zip logging 03.10.2016 14:05:09\nDB/Schüler.mdb added 03.10.2016"));
        QCOMPARE(restore->toPlainText(), QString("Keine Logdatei gefunden"));
    }

    void closingSavesOptionsAndPlacement() {
        {
            TMainFrm window(FHome->Registry(), &FHome->Host());
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            Click(window, "acEinstellungen");
            window.findChild<QRadioButton*>("RadioGroup1Item2")->click();
            window.findChild<QCheckBox*>("CheckBox1")->click();  // logging off
            QVERIFY(!window.Options().FLogging);
            QVERIFY(!window.Options().FUsePassword);  // the other box is untouched
            QVERIFY(QDir().mkpath(Path("daten")));
            window.findChild<QLineEdit*>("edDatenDir")->setText(Path("daten"));
            QCOMPARE(window.Options().FDatenDir, Path("daten").toStdString());
            Click(window, "acEnde");
        }
        const auto HKCU = RegistryRoot::CurrentUser;
        QCOMPARE(FHome->Registry().ReadDword(HKCU, "Software\\Vorlix-Backup", "STRATEGIE"), std::optional<std::uint32_t>(2));
        QCOMPARE(FHome->Registry().ReadDword(HKCU, "Software\\Vorlix-Backup", "LOGGING"), std::optional<std::uint32_t>(0));
        QCOMPARE(FHome->Registry().ReadDword(HKCU, "Software\\Vorlix-Backup", "PASSWORTSCHUTZ"), std::optional<std::uint32_t>(0));
        QCOMPARE(FHome->Registry().ReadString(HKCU, "Software\\Vorlix-Backup", "Datenverzeichnis"),
                 std::optional<std::string>(Path("daten").toStdString()));
        const auto norm = FHome->Registry().ReadString(HKCU, "Software\\Vorlix-Backup\\MainFrm", "NormPos");
        QVERIFY(norm.has_value());

        // The next start reads them back.
        TMainFrm again(FHome->Registry(), &FHome->Host());
        QVERIFY(again.findChild<QRadioButton*>("RadioGroup1Item2")->isChecked());
        QVERIFY(!again.findChild<QCheckBox*>("CheckBox1")->isChecked());
        QCOMPARE(again.Options().FDatenDir, Path("daten").toStdString());
        // The job list of the new folder is opened at this start.
        QVERIFY(QFileInfo::exists(Path("daten/Backupjobs.csv")));
        QVERIFY(!again.ErrorReported());
    }

    // The encryption is chosen beside the protection it belongs to: usable only while
    // protection is on, AES-256 unless chosen otherwise, kept across starts.
    void encryptionIsChosenWithTheProtection() {
        {
            TMainFrm window(FHome->Registry(), &FHome->Host());
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            Click(window, "acEinstellungen");
            auto* encryption = window.findChild<QComboBox*>("cbVerschluesselung");
            QVERIFY(encryption);
            QCOMPARE(encryption->currentText(), QString("AES-256 (empfohlen)"));
            QVERIFY(!encryption->isEnabled());
            window.findChild<QCheckBox*>("CheckBox2")->click();
            QVERIFY(encryption->isEnabled());
            QVERIFY(window.Options().FAes);
            encryption->setFocus();
            QTest::keyClick(encryption, Qt::Key_Down);  // the second choice
            QCOMPARE(encryption->currentText(), QString("ZipCrypto (kompatibel mit alten Programmen)"));
            QVERIFY(!window.Options().FAes);
            Click(window, "acEnde");
        }
        const auto HKCU = RegistryRoot::CurrentUser;
        QCOMPARE(FHome->Registry().ReadDword(HKCU, "Software\\Vorlix-Backup", "VERSCHLUESSELUNG"),
                 std::optional<std::uint32_t>(0));
        TMainFrm again(FHome->Registry(), &FHome->Host());
        QCOMPARE(again.findChild<QComboBox*>("cbVerschluesselung")->currentIndex(), 1);
        QVERIFY(again.findChild<QComboBox*>("cbVerschluesselung")->isEnabled());
    }

    void closingKeepsARowStillBeingEdited() {
        {
            TMainFrm window(FHome->Registry(), &FHome->Host());
            window.Jobs().Edit();
            window.Jobs().SetText("ZIELVERZEICHNIS", "/srv/sicherung");
            Click(window, "acEnde");
            QVERIFY(!window.ErrorReported());
        }
        QFile jobs(Path("shared/VorlixBackup/Backupjobs.csv"));
        QVERIFY(jobs.open(QIODevice::ReadOnly));
        QVERIFY(jobs.readAll().contains("Vorlix-Backup,/srv/sicherung,"));
    }

    void insertingAJobThroughTheNavigatorReachesEveryPage() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.show();
        auto* navigator = window.findChild<QWidget*>("JobNavigatorSlot");
        navigator->findChild<QToolButton*>("btnInsert")->click();
        navigator->findChild<QToolButton*>("btnPost")->click();
        QVERIFY(!window.ErrorReported());
        // Sorted by name: "Job_2" before "Vorlix-Backup"; every selector lists both.
        QCOMPARE(window.Jobs().RecordCount(), 2);
        for (const char* name : {"ComboBox2", "ComboBox3", "ComboBox4"}) {
            auto* selector = window.findChild<QComboBox*>(name);
            QCOMPARE(selector->count(), 2);
            QCOMPARE(selector->itemText(0), QString("Job_2"));
        }
        QVERIFY(QFileInfo::exists(Path("shared/VorlixBackup/JobDef_2.csv")));

        // Choosing the other job in a selector makes it current with its definitions.
        auto* selector = window.findChild<QComboBox*>("ComboBox2");
        selector->setCurrentIndex(0);
        QTest::keyClick(selector, Qt::Key_Down);  // as a user picks the next item
        QCOMPARE(window.Job().Bezeichnung, std::string("Vorlix-Backup"));
        QCOMPARE(window.Definitions().RecordCount(), 7);
        QCOMPARE(window.findChild<QComboBox*>("ComboBox4")->currentText(), QString("Vorlix-Backup"));
    }

    void backupButtonPacksTheCurrentJob() {
        QVERIFY(QDir().mkpath(Path("shared/VorlixBackup")));
        QVERIFY(QDir().mkpath(Path("quelle")));
        const auto write = [](const QString& file, const QByteArray& content) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        };
        write(Path("quelle/brief.txt"), "Hallo");
        write(Path("def.csv"), "NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nQ," + Path("quelle").toUtf8() + ",*.txt,1,0\r\n");
        write(Path("shared/VorlixBackup/Backupjobs.csv"),
              "BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK\r\nSchule," + Path("ziel").toUtf8() + "," +
                  Path("def.csv").toUtf8() + ",0\r\n");
        FHome->Registry().WriteDword("Software\\Vorlix-Backup", "STRATEGIE", 2);
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.show();
        Click(window, "acBackup");
        auto* start = window.findChild<QPushButton*>("btnStartBackup");
        start->click();
        QVERIFY(!window.ErrorReported());
        QVERIFY(QFileInfo::exists(Path("ziel/Schule.zip")));
        QCOMPARE(window.Job().BackupFilename, std::string("Schule.zip"));
        // The run is over: its commands work again and the status line shows the new
        // archive, which the restore page has opened.
        QVERIFY(start->isEnabled());
        QVERIFY(window.findChild<QLabel*>("StatusBar1")->text().startsWith(QString::fromUtf8("Archivgr\u00f6\u00dfe: ")));
        QVERIFY(!window.findChild<QProgressBar*>("ProgressBar1")->isVisible());
    }

    // "&Alle markierten Jobs starten" opens its menu from its face and from Alt+A, not
    // only from its arrow.
    void startAllOpensItsMenuFromFaceAndKey() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* button = window.findChild<QToolButton*>("btnStartAll");
        auto* menu = window.findChild<QMenu*>("PopupMenuStart");
        QVERIFY(button && menu);
        const QPoint face(8, button->height() / 2);  // far from the arrow on the right
        const std::function<void()> trigger[] = {
            [&] { QTest::mouseClick(button, Qt::LeftButton, {}, face); },
            [&] { QTest::keyClick(&window, Qt::Key_A, Qt::AltModifier); },  // an animated click
        };
        for (const auto& press : trigger) {
            // The menu runs its own loop; a timer sees it open and closes it.
            bool opened = false;
            QTimer poll;
            connect(&poll, &QTimer::timeout, menu, [&] {
                if (QApplication::activePopupWidget() != menu) return;
                opened = true;
                menu->close();
            });
            poll.start(10);
            // A shortcut works only in the active window. Once the last menu has gone
            // the window is made active again: a busy machine may lose the activation
            // that a closing menu hands back.
            QTRY_VERIFY(!QApplication::activePopupWidget());
            window.activateWindow();
            QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&window));
            press();
            QTRY_VERIFY2_WITH_TIMEOUT(opened, &press == &trigger[0] ? "face" : "Alt+A", 30000);
        }
    }

    // The title bar's help button does not exist on Linux: its hint is the Info
    // button's, and Shift+F1 presses that button (the about box).
    void infoButtonCarriesTheHintAndShiftF1() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        QVERIFY(!(window.windowFlags() & Qt::WindowContextHelpButtonHint));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* info = window.findChild<QToolButton*>("acInfo");
        QCOMPARE(info->toolTip(), QString::fromUtf8("Info über VorlixBackup"));
        QSignalSpy pressed(info, &QToolButton::clicked);
        window.findChild<QLineEdit*>("edDatenDir")->setFocus();  // from anywhere in the window
        // The about box is modal: it is closed once it is open.
        QString about;
        QTimer::singleShot(0, [&about] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                about = box->objectName();
                box->close();
            }
        });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1, Qt::ShiftModifier);
        QCOMPARE(pressed.count(), 1);
        QCOMPARE(about, QString("AboutBox"));
        QTest::keyClick(window.findChild<QLineEdit*>("edDatenDir"), Qt::Key_F1);  // F1 alone is help, not Info
        QCOMPARE(pressed.count(), 1);
    }

    // The end of the session saves what closing saves; while a run works on an archive
    // it is refused, or deferred to the end of the run.
    void sessionEndSavesLikeClose() {
        {
            TMainFrm window(FHome->Registry(), &FHome->Host());
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.findChild<QRadioButton*>("RadioGroup1Item1")->click();
            window.Jobs().Edit();
            window.Jobs().SetText("ZIELVERZEICHNIS", "/srv/abend");

            window.SetBusy(true);
            QVERIFY(!window.EndSession(false));  // logout refused during the run
            QVERIFY(!window.EndSession(true));   // SIGTERM waits for it
            QVERIFY(window.isVisible());
            QVERIFY(!FHome->Registry().ValueExists(RegistryRoot::CurrentUser, "Software\\Vorlix-Backup", "STRATEGIE"));
            window.SetBusy(false);
            QTRY_VERIFY(!window.isVisible());
        }
        const auto HKCU = RegistryRoot::CurrentUser;
        QCOMPARE(FHome->Registry().ReadDword(HKCU, "Software\\Vorlix-Backup", "STRATEGIE"), std::optional<std::uint32_t>(1));
        QVERIFY(FHome->Registry().ReadString(HKCU, "Software\\Vorlix-Backup\\MainFrm", "NormPos").has_value());
        QFile jobs(Path("shared/VorlixBackup/Backupjobs.csv"));
        QVERIFY(jobs.open(QIODevice::ReadOnly));
        QVERIFY(jobs.readAll().contains("Vorlix-Backup,/srv/abend,"));

        // Refused without deferring, the window stays open after the run.
        TMainFrm again(FHome->Registry(), &FHome->Host());
        again.show();
        again.SetBusy(true);
        QVERIFY(!again.EndSession(false));
        again.SetBusy(false);
        QTest::qWait(50);
        QVERIFY(again.isVisible());
        QVERIFY(again.EndSession(false));
        QVERIFY(!again.isVisible());
    }

    // Tahoma where Debian's metric-compatible one is installed, else the desktop's sans.
    void windowFontIsTahomaWhereInstalled() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        const QFontInfo used(window.font());
        QCOMPARE(used.pixelSize(), 11);
        if (QFileInfo::exists("/usr/share/wine/fonts/tahoma.ttf")) {
            QCOMPARE(used.family(), QString("Tahoma"));
        } else {
            QCOMPARE(used.family(), QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family());
        }
        QCOMPARE(QFontInfo(window.findChild<QLabel*>("tabJobsHeading")->font()).pixelSize(), 21);
    }

    // Qt's own dialogs and menus speak German.
    void qtTextsAreGerman() {
        if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm")) {
            QSKIP("Qt's German translations (qt6-translations-l10n) are not installed");
        }
        QVERIFY(InstallQtTranslations(*QCoreApplication::instance()));
        QLineEdit edit;
        std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QStringList texts;
        for (QAction* action : menu->actions()) texts << action->text();
        // Each item reads "text<Tab>shortcut".
        QVERIFY2(texts.contains(QString::fromUtf8("&Rückgängig\tStrg+Z")), qPrintable(texts.join('|')));
        QVERIFY2(texts.contains(QString::fromUtf8("Einf&ügen\tStrg+V")), qPrintable(texts.join('|')));
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        auto* lookIn = dialog.findChild<QLabel*>("lookInLabel");
        QVERIFY(lookIn);
        QCOMPARE(lookIn->text(), QString("Suchen in:"));
    }

    // Tab goes through the navigation bar, then through the page shown from top left to
    // bottom right, and back to the navigation bar; Shift+Tab goes the same way back.
    void tabFollowsTheEyeOnEveryPage_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("chain");
        const QStringList bar{"acJobs",     "acBackup", "acRestore", "acEinstellungen",
                              "acLogfiles", "acHilfe",  "acInfo",    "acEnde"};
        QTest::newRow("jobs") << "acJobs" << bar + QStringList{"ComboBox4", "btnStartAll", "JobGrid"};
        QTest::newRow("backup") << "acBackup" << bar + QStringList{"ComboBox2", "btnStartBackup", "DefGrid"};
        QTest::newRow("restore") << "acRestore"
                                 << bar + QStringList{"ComboBox3",     "ComboBox1",       "btnExtern", "JvDriveCombo1",
                                                      "btnStartRestore", "btnAll",        "cbStand",   "btnVersionen",
                                                      "cbVergleichen", "AbZipView1"};
        QTest::newRow("settings") << "acEinstellungen"
                                  << bar + QStringList{"RadioGroup1Item0", "CheckBox1",  "CheckBox2",  "CheckBox3",
                                                       "btnZeitplan",      "chkZweitkopie", "edDatenDir", "btnDatenDir"};
        QTest::newRow("logs") << "acLogfiles"
                              << bar + QStringList{"btnPreviewBackupLog",  "SpeedButton1", "memoBackupLog",
                                                   "btnPreviewRestoreLog", "SpeedButton2", "memoRestoreLog"};
    }
    void tabFollowsTheEyeOnEveryPage() {
        QFETCH(QString, action);
        QFETCH(QStringList, chain);
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        Click(window, action.toUtf8().constData());
        window.findChild<QWidget*>("acJobs")->setFocus();
        const auto walk = [&](Qt::Key key) {
            QStringList seen{QApplication::focusWidget()->objectName()};
            for (int i = 0; i < chain.size(); ++i) {
                QTest::keyClick(QApplication::focusWidget(), key);
                seen << QApplication::focusWidget()->objectName();
            }
            return seen;
        };
        QCOMPARE(walk(Qt::Key_Tab), chain + QStringList{"acJobs"});
        QStringList back = chain + QStringList{"acJobs"};
        std::reverse(back.begin(), back.end());
        QCOMPARE(walk(Qt::Key_Backtab), back);
    }

    // Ctrl+Tab goes to the next page in the bar's order and Ctrl+Shift+Tab back, from
    // any control (grids and text boxes keep their own Tab), with the focus on the
    // first control of the page shown; the bar's buttons answer to their Alt keys.
    void ctrlTabAndAltKeysSwitchPages_data() {
        QTest::addColumn<QString>("from");      // the page's action
        QTest::addColumn<QString>("focus");     // the control that has the focus
        QTest::addColumn<QString>("next");      // the page Ctrl+Tab shows
        QTest::addColumn<QString>("nextFocus");
        QTest::addColumn<QString>("previous");  // the page Ctrl+Shift+Tab shows
        QTest::newRow("jobs grid") << "acJobs" << "JobGrid" << "acBackup" << "ComboBox2" << "acLogfiles";
        QTest::newRow("definition grid") << "acBackup" << "DefGrid" << "acRestore" << "ComboBox3" << "acJobs";
        QTest::newRow("archive view") << "acRestore" << "AbZipView1" << "acEinstellungen" << "RadioGroup1Item0"
                                      << "acBackup";
        QTest::newRow("folder field") << "acEinstellungen" << "edDatenDir" << "acLogfiles" << "btnPreviewBackupLog"
                                      << "acRestore";
        QTest::newRow("log box") << "acLogfiles" << "memoRestoreLog" << "acJobs" << "ComboBox4"
                                 << "acEinstellungen";
    }
    void ctrlTabAndAltKeysSwitchPages() {
        QFETCH(QString, from);
        QFETCH(QString, focus);
        QFETCH(QString, next);
        QFETCH(QString, nextFocus);
        QFETCH(QString, previous);
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const auto shown = [&](const QString& action) {
            return window.findChild<QToolButton*>(action)->isChecked();
        };
        Click(window, from.toUtf8().constData());
        window.findChild<QWidget*>(focus)->setFocus();
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QVERIFY(shown(next));
        QCOMPARE(QApplication::focusWidget()->objectName(), nextFocus);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(shown(from));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(shown(previous));

        const std::pair<Qt::Key, const char*> altKeys[] = {{Qt::Key_J, "acJobs"},
                                                           {Qt::Key_B, "acBackup"},
                                                           {Qt::Key_R, "acRestore"},
                                                           {Qt::Key_E, "acEinstellungen"},
                                                           {Qt::Key_L, "acLogfiles"}};
        for (const auto& [key, action] : altKeys) {
            QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
            // An access key presses the button visibly: the click comes a moment later.
            QTRY_VERIFY2(shown(action), action);
        }
    }

    void storedPlacementAppliesOnlyWhenItFits_data() {
        QTest::addColumn<QString>("normPos");
        QTest::addColumn<int>("ppi");
        QTest::addColumn<QPoint>("expected");
        const QScreen* screen = QGuiApplication::primaryScreen();
        const int ppi = qRound(screen->logicalDotsPerInch());
        // The designed position (549, 279) leaves a small screen; the window is moved
        // by the least distance that puts it wholly onto the available area.
        const QRect area = screen->availableGeometry();
        const QPoint designed(std::min(549, area.right() + 1 - 721), std::min(279, area.bottom() + 1 - 527));
        QTest::newRow("fits") << "10,50,731,577" << ppi << QPoint(10, 50);
        QTest::newRow("outside every screen") << "-5000,-5000,-4279,-4473" << ppi << designed;
        QTest::newRow("other resolution") << "10,50,731,577" << ppi + 24 << designed;
        QTest::newRow("empty rectangle") << "10,50,10,577" << ppi << designed;
    }
    void storedPlacementAppliesOnlyWhenItFits() {
        QFETCH(QString, normPos);
        QFETCH(int, ppi);
        QFETCH(QPoint, expected);
        FHome->Registry().WriteString("Software\\Vorlix-Backup\\MainFrm", "NormPos", normPos.toStdString());
        FHome->Registry().WriteDword("Software\\Vorlix-Backup\\MainFrm", "PixelsPerInch", static_cast<std::uint32_t>(ppi));
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.pos(), expected);
    }
};

QTEST_MAIN(MainFrmTest)
#include "MainFrmTest.moc"
