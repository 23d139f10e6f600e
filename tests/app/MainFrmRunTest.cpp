// The main window while a backup runs and when it ends, and its general error
// handling, with a recording host for every box it shows.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "app/TMainFrm.h"
#include "app/VbApplication.h"
#include "zip/ArchiveWriter.h"
#include "platform/RegistryStore.h"
#include "support/WindowTestHome.h"
#include "util/Error.h"

using namespace vb;

namespace {

const char* const kStartCommands[] = {"btnStartBackup", "btnStartAll", "btnStartRestore"};
const std::string kSuccess = "Meldung: Backup erfolgreich abgeschlossen.";

}  // namespace

class MainFrmRunTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::WindowTestHome> FHome;

    QString Path(const QString& name) const { return FHome->Path(name); }
    std::vector<std::string>& Shown() { return FHome->Host().FShown; }
    // One file to save, one definition list, and the job list with `rows`
    // ("name,target folder,automatic" each, the definition list added).
    void Prepare(const QStringList& rows) {
        QVERIFY(QDir().mkpath(Path("shared/VorlixBackup")));
        QVERIFY(QDir().mkpath(Path("quelle")));
        Write(Path("quelle/brief.txt"), "Hallo");
        Write(Path("def.csv"), "NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nQ," + Path("quelle").toUtf8() + ",*.txt,1,0\r\n");
        QByteArray jobs = "BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\n";
        for (const QString& row : rows) {
            const QStringList fields = row.split(',');
            jobs += (fields[0] + "," + Path(fields[1]) + "," + Path("def.csv") + "," + fields[2] + ",\r\n").toUtf8();
        }
        Write(Path("shared/VorlixBackup/Backupjobs.csv"), jobs);
        FHome->Registry().WriteDword("Software\\Vorlix-Backup", "STRATEGIE", 2);  // one archive per job, <job>.zip
    }
    static void Write(const QString& file, const QByteArray& content) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    static bool AnyStartCommandEnabled(TMainFrm& window) {
        for (const char* name : kStartCommands) {
            if (window.findChild<QAbstractButton*>(name)->isEnabled()) return true;
        }
        return false;
    }

private slots:
    void init() { FHome = std::make_unique<test::WindowTestHome>(); }
    void cleanup() { FHome.reset(); }

    // While a run packs, the window breathes and stays reachable: the start commands
    // are disabled, the window refuses to close, and choosing another job reloads it
    // without taking over the run's archive. Afterwards everything works again.
    void duringARunTheWindowStaysAndStartsNothing() {
        Prepare({"Anderer,anderes-ziel,1", "Schule,ziel,1"});
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.show();
        window.findChild<QToolButton*>("acBackup")->click();
        auto* selector = window.findChild<QComboBox*>("ComboBox2");
        QTest::keyClick(selector, Qt::Key_Down);
        QCOMPARE(window.Job().Bezeichnung, std::string("Schule"));

        bool seen = false, startable = true, closed = true;
        std::string reloaded;
        QTimer::singleShot(0, &window, [&] {  // runs in the first breath of the run
            seen = true;
            startable = AnyStartCommandEnabled(window);
            closed = window.close();
            QTest::keyClick(selector, Qt::Key_Up);
            reloaded = window.Job().Bezeichnung;
        });
        window.findChild<QPushButton*>("btnStartBackup")->click();
        QVERIFY(seen);
        QVERIFY(!startable);
        QVERIFY(!closed);
        QCOMPARE(reloaded, std::string("Anderer"));
        QVERIFY(window.isVisible());
        QVERIFY(AnyStartCommandEnabled(window));
        QCOMPARE(Shown(), std::vector<std::string>{kSuccess});
        QVERIFY(QFileInfo::exists(Path("ziel/Schule.zip")));
        QVERIFY(!QFileInfo::exists(Path("anderes-ziel")));
        const int archive = window.Jobs().FieldByName("BACKUPDATEI");
        const int name = window.Jobs().FieldByName("BEZEICHNUNG");
        for (int row = 0; row < window.Jobs().RecordCount(); ++row) {
            const bool own = window.Jobs().TextAt(row, name) == "Schule";
            QCOMPARE(window.Jobs().TextAt(row, archive), std::string(own ? "Schule.zip" : ""));
        }
        QVERIFY(window.close());
    }

    // Closing during a run, by the title bar's button or by "Beenden", says why the
    // window stays and closes it once the run is over, its closing box read.
    void aCloseDuringARunIsExplainedAndDoneAfterwards_data() {
        QTest::addColumn<bool>("byButton");
        QTest::newRow("title bar") << false;
        QTest::newRow("Beenden") << true;
    }
    void aCloseDuringARunIsExplainedAndDoneAfterwards() {
        QFETCH(bool, byButton);
        Prepare({"Schule,ziel,1"});
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.show();
        window.findChild<QToolButton*>("acBackup")->click();
        QString during;
        bool closed = true;
        QTimer::singleShot(0, &window, [&] {  // runs in the first breath of the run
            if (byButton) {
                window.findChild<QToolButton*>("acEnde")->click();
                closed = !window.isVisible();
            } else {
                closed = window.close();
            }
            during = window.findChild<QLabel*>("StatusBar1")->text();
        });
        window.findChild<QPushButton*>("btnStartBackup")->click();
        QVERIFY(!closed);
        QVERIFY2(during.startsWith(QString::fromUtf8("Die Sicherung läuft noch. Das Programm wird beendet, sobald sie "
                                                     "abgeschlossen ist.")),
                 qPrintable(during));
        QCOMPARE(Shown(), std::vector<std::string>{kSuccess});
        QVERIFY(QFileInfo::exists(Path("ziel/Schule.zip")));
        QTRY_VERIFY(!window.isVisible());
        // It closed as "Beenden" does, saving its placement.
        QVERIFY(FHome->Registry().ReadString(RegistryRoot::CurrentUser, "Software\\Vorlix-Backup\\MainFrm", "NormPos"));
    }

    // The closing box of "Backup starten" claims success only for a written archive;
    // a cancelled prompt writes an unprotected one, and protection without anyone to
    // ask fails with its message.
    void closingBoxOfTheBackupButton_data() {
        QTest::addColumn<bool>("protect");
        QTest::addColumn<bool>("canPrompt");
        QTest::addColumn<QString>("password");  // the prompt's answer; empty: cancelled or none given
        QTest::addColumn<QString>("box");
        const QString success = QString::fromStdString(kSuccess);
        QTest::newRow("unprotected") << false << true << QString() << success;
        QTest::newRow("protected, password typed") << true << true << "geheim" << success;
        QTest::newRow("protected, prompt cancelled") << true << true << QString() << success;
        QTest::newRow("protected, nobody to ask")
            << true << false << QString()
            << QString::fromUtf8("Meldung: Fehler beim Packen!\nKein Passwort für die geschützte Sicherung angegeben "
                                 "(VORLIXBACKUP_PASSWORD_FILE oder VORLIXBACKUP_PASSWORD).");
    }
    void closingBoxOfTheBackupButton() {
        QFETCH(bool, protect);
        QFETCH(bool, canPrompt);
        QFETCH(QString, password);
        QFETCH(QString, box);
        Prepare({"Schule,ziel,1"});
        FHome->Host().FCanPrompt = canPrompt;
        if (!password.isEmpty()) FHome->Host().FPasswords = {password.toStdString()};
        TMainFrm window(FHome->Registry(), &FHome->Host());
        auto* protection = window.findChild<QCheckBox*>("CheckBox2");
        if (protection->isChecked() != protect) protection->click();
        window.findChild<QPushButton*>("btnStartBackup")->click();
        QCOMPARE(Shown(), std::vector<std::string>{box.toStdString()});
        QCOMPARE(FHome->Host().FPasswordPrompts.size(), std::size_t(protect ? 1 : 0));
        const bool written = box == QString::fromStdString(kSuccess);
        QCOMPARE(QFileInfo::exists(Path("ziel/Schule.zip")), written);
        if (written) {
            ArchiveWriter archive;
            archive.Open(Path("ziel/Schule.zip").toStdString());
            QCOMPARE(archive.Entries().size(), std::size_t(1));
            QCOMPARE(archive.Entries()[0].IsEncrypted(), !password.isEmpty());
            archive.Close();
        }
    }

    // "Sichern" runs every automatic job: a job that fails is reported and the next
    // one still writes its archive; a pass shows no closing box and counts as failed.
    void passGoesOnAfterAFailingJob() {
        Prepare({"Erster,kein-ordner/ziel,1", "Manuell,manuell,0", "Zweiter,ziel,1"});
        Write(Path("kein-ordner"), "");  // a file where the first job's target folder should be
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.findChild<QAction*>("Sichern1")->trigger();
        QCOMPARE(Shown().size(), std::size_t(1));
        QVERIFY2(QString::fromStdString(Shown()[0]).startsWith("Fehler: ") &&
                     QString::fromStdString(Shown()[0]).contains(Path("kein-ordner/ziel")),
                 Shown()[0].c_str());
        QVERIFY(QFileInfo::exists(Path("ziel/Zweiter.zip")));
        QVERIFY(!QFileInfo::exists(Path("manuell")));
        QVERIFY(window.PassFailed());
        QVERIFY(AnyStartCommandEnabled(window));
    }

    // An error that no action caught reaches the general error handling: the window
    // shows it in its error box, records it for the pass, and goes on.
    void uncaughtErrorIsShownAndTheWindowGoesOn() {
        auto* app = dynamic_cast<VbApplication*>(QCoreApplication::instance());
        QVERIFY(app);
        TMainFrm window(FHome->Registry(), &FHome->Host());
        app->SetErrorHandler([&window](const std::string& message) { window.HandleError(message); });
        QTimer::singleShot(0, &window, [] { throw Error("Die Datei /daten/x.csv kann nicht gelesen werden."); });
        QTRY_COMPARE(Shown(), std::vector<std::string>{"Fehler: Die Datei /daten/x.csv kann nicht gelesen werden."});
        app->SetErrorHandler(nullptr);
        QVERIFY(window.ErrorReported());
        QCOMPARE(window.FirstError(), std::string("Die Datei /daten/x.csv kann nicht gelesen werden."));
        window.findChild<QToolButton*>("acLogfiles")->click();
        QCOMPARE(window.CurrentPage(), int(TMainFrm::pgLogfiles));
    }
};

int main(int argc, char** argv) {
    VbApplication app(argc, argv);
    MainFrmRunTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainFrmRunTest.moc"
