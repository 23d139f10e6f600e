// The window's parts for a desktop that schedules its backups: the option that checks
// each archive after packing, the failed last unattended pass shown at start, and the
// schedule dialog.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <sys/stat.h>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "pass/LastPass.h"
#include "app/TMainFrm.h"
#include "platform/RegistryStore.h"
#include "settings/FakeSchedulerCommands.h"
#include "settings/Settings.h"
#include "gui/frmSchedule.h"
#include "support/TempDir.h"
#include "support/WindowTestHome.h"

using namespace vb;

class MainFrmDesktopTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::WindowTestHome> FHome;

    QString Path(const QString& name) const { return FHome->Path(name); }
    std::string DataDir() const { return Path("shared/VorlixBackup").toStdString(); }
    static QString StatusText(TMainFrm& window) { return window.findChild<QLabel*>("StatusBar1")->text(); }

private slots:
    void init() {
        FHome = std::make_unique<test::WindowTestHome>();
    }
    void cleanup() {
        FHome.reset();
    }

    void archiveCheckOptionFollowsRegistryAndIsSavedOnClose() {
        {
            TMainFrm window(FHome->Registry(), &FHome->Host());
            auto* box = window.findChild<QCheckBox*>("CheckBox3");
            QVERIFY(box);
            QCOMPARE(box->text(), QString::fromUtf8("Sicherung nach dem Packen prüfen"));
            QVERIFY(!box->isChecked());  // default: as before
            QVERIFY(!window.Options().FPruefen);
            box->click();
            QVERIFY(window.Options().FPruefen);
            window.close();
        }
        QCOMPARE(FHome->Registry().ReadDword(RegistryRoot::CurrentUser, kSettingsKey, "PRUEFEN"), std::optional<std::uint32_t>(1));
        TMainFrm again(FHome->Registry(), &FHome->Host());
        QVERIFY(again.findChild<QCheckBox*>("CheckBox3")->isChecked());
        QVERIFY(again.Options().FPruefen);
    }

    void failedLastPassIsShownUntilAPassSucceeds_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("shown");
        QTest::newRow("failed") << 1 << true;
        QTest::newRow("succeeded") << 0 << false;
    }
    void failedLastPassIsShownUntilAPassSucceeds() {
        QFETCH(int, status);
        QFETCH(bool, shown);
        QVERIFY(QDir().mkpath(Path("shared/VorlixBackup")));
        const LastPass pass{false, std::time(nullptr), status, status ? "Fehler beim Packen!\nDisk voll" : ""};
        RecordLastPass(DataDir(), pass);

        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.show();
        auto* line = window.findChild<QLabel*>("lblLetzterLauf");
        QVERIFY(line);
        // The notice is where the user looks first: above the jobs page shown at start,
        // and above every other page.
        QCOMPARE(window.CurrentPage(), int(TMainFrm::pgJobs));
        QCOMPARE(line->isVisible(), shown);
        if (shown) {
            QCOMPARE(line->text(), QString::fromStdString(LastPassText(pass)));
            QCOMPARE(line->palette().color(QPalette::WindowText), QColor(Qt::red));
        }
        // The status line says so on every page, and again after a run's text.
        for (const char* page : {"acJobs", "acEinstellungen", "acBackup", "acRestore", "acLogfiles"}) {
            window.findChild<QToolButton*>(page)->click();
            QCOMPARE(line->isVisible(), shown);
            QCOMPARE(StatusText(window).startsWith("Letzte unbeaufsichtigte Sicherung fehlgeschlagen"), shown);
        }
        window.SetStatus("Packe: /daten/a.txt...");
        QCOMPARE(StatusText(window), QString("Packe: /daten/a.txt..."));
        window.SetStatus("");
        QCOMPARE(StatusText(window).isEmpty(), !shown);
        if (!shown) return;
        // Acknowledged, it goes from the pages and the status line, and stays away at
        // the next start; the next failed pass shows again.
        window.findChild<QPushButton*>("btnLetzterLaufOk")->click();
        QVERIFY(!line->isVisible());
        QVERIFY(StatusText(window).isEmpty());
        const auto shownAtStart = [&] {
            TMainFrm next(FHome->Registry(), &FHome->Host());
            next.show();
            return next.findChild<QLabel*>("lblLetzterLauf")->isVisible();
        };
        QVERIFY(!shownAtStart());
        RecordLastPass(DataDir(), {true, pass.Time + 60, 1, "Fehler beim Entpacken!"});
        QVERIFY(shownAtStart());
    }

    void settingsPageOffersTheScheduleDialog() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        auto* button = window.findChild<QPushButton*>("btnZeitplan");
        QVERIFY(button);
        QCOMPARE(button->text(), QString("Zeitplan..."));
        QCOMPARE(button->parentWidget(), window.findChild<QWidget*>("tabEinstellungen"));
    }

    // The dialog shows what systemd reports, warns about lingering, and on OK writes
    // the password file (owner only) and the enabled timer.
    void scheduleDialogAppliesTheScheduleAndThePasswordFile() {
        test::FakeSchedulerCommands commands;
        commands.Answers["systemctl --user show vorlixbackup.timer --property=NextElapseUSecRealtime"] = {
            0, "NextElapseUSecRealtime=Mon 2026-12-14 18:30:00 CET\n"};
        commands.Answers["loginctl show-user lehrer --property=Linger"] = {0, "Linger=no\n"};
        const std::string passwordFile = Path("home/.config/vorlix-backup/passwort").toStdString();
        Scheduler scheduler(commands, {false, Path("units").toStdString(), "lehrer"},
                            {"/opt/vorlixbackup/vorlixbackup", passwordFile, {}});
        gui::TSchedulefrm dialog(scheduler, passwordFile, QString(), FHome->Host());
        QCOMPARE(dialog.findChild<QLabel*>("lblNaechsterLauf")->text(), QString("Mon 2026-12-14 18:30:00 CET"));
        QVERIFY(!dialog.findChild<QLabel*>("lblLinger")->isHidden());
        QVERIFY(!dialog.findChild<QCheckBox*>("chkAktiv")->isChecked());
        QVERIFY(!dialog.findChild<QCheckBox*>("chkTag0")->isEnabled());  // off: nothing to choose

        dialog.findChild<QCheckBox*>("chkAktiv")->click();
        dialog.findChild<QCheckBox*>("chkTag5")->click();  // Saturday too
        dialog.findChild<QTimeEdit*>("edZeit")->setTime(QTime(7, 45));
        dialog.findChild<QCheckBox*>("chkPasswortdatei")->click();
        // Protection without a password to keep: the dialog asks and stays open.
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(FHome->Host().FShown,
                 std::vector<std::string>{"Fehler: Bitte das Passwort der geschützten Sicherungen eingeben."});
        QVERIFY(!QFileInfo::exists(Path("units/vorlixbackup.timer")));
        dialog.findChild<QLineEdit*>("edPasswort")->setText("Geheim");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        struct stat st{};
        QCOMPARE(::stat(passwordFile.c_str(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
        const auto timer = ParseTimerUnit(test::ReadFile(Path("units/vorlixbackup.timer").toStdString()));
        QVERIFY(timer.has_value());
        QCOMPARE(timer->Weekdays, 0x3Fu);
        QCOMPARE(timer->Hour, 7);
        QCOMPARE(timer->Minute, 45);
        QVERIFY(commands.Calls.back() == "systemctl --user enable --now vorlixbackup.timer");
        // The password is in its file only; the unit names the file.
        const std::string service = test::ReadFile(Path("units/vorlixbackup.service").toStdString());
        QVERIFY(service.find("Geheim") == std::string::npos);
        QVERIFY(service.find("VORLIXBACKUP_PASSWORD_FILE=" + passwordFile) != std::string::npos);
        QCOMPARE(QString::fromStdString(test::ReadFile(passwordFile)), QString("Geheim\n"));
    }
};

QTEST_MAIN(MainFrmDesktopTest)
#include "MainFrmDesktopTest.moc"
