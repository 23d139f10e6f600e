// The window's parts for a desktop that schedules its backups: the option that checks
// each archive after packing, and the failed last unattended pass shown at start.
#include <QCheckBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "app/LastPass.h"
#include "app/TMainFrm.h"
#include "platform/RegistryStore.h"
#include "settings/Settings.h"
#include "util/MessageBoxes.h"

using namespace vb;

class DesktopWindowTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> FDir;
    std::unique_ptr<RegistryStore> FRegistry;

    QString Path(const QString& name) const { return FDir->path() + "/" + name; }
    std::string DataDir() const { return Path("shared/VorlixBackup").toStdString(); }
    static QString StatusText(TMainFrm& window) { return window.findChild<QLabel*>("StatusBar1")->text(); }

private slots:
    void init() {
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY(FDir->isValid());
        qputenv("HOME", Path("home").toUtf8());
        qputenv("XDG_CONFIG_HOME", Path("home/.config").toUtf8());
        qputenv("VORLIXBACKUP_COMMON_DOCUMENTS", Path("shared").toUtf8());
        FRegistry = std::make_unique<RegistryStore>(Path("registry.reg").toStdString());
        gui::SetBoxesToStandardError(true);
    }
    void cleanup() {
        FRegistry.reset();
        FDir.reset();
    }

    void archiveCheckOptionFollowsRegistryAndIsSavedOnClose() {
        {
            TMainFrm window(*FRegistry);
            auto* box = window.findChild<QCheckBox*>("CheckBox3");
            QVERIFY(box);
            QCOMPARE(box->text(), QString::fromUtf8("Sicherung nach dem Packen pr\xC3\xBC" "fen"));
            QVERIFY(!box->isChecked());  // default: as before
            QVERIFY(!window.Options().FPruefen);
            box->click();
            QVERIFY(window.Options().FPruefen);
            window.close();
        }
        QCOMPARE(FRegistry->ReadDword(RegistryRoot::CurrentUser, kSettingsKey, "PRUEFEN"), std::optional<std::uint32_t>(1));
        TMainFrm again(*FRegistry);
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

        TMainFrm window(*FRegistry);
        window.show();
        auto* line = window.findChild<QLabel*>("lblLetzterLauf");
        QVERIFY(line);
        QCOMPARE(line->isVisibleTo(&window), false);  // the jobs page is shown at start
        window.findChild<QToolButton*>("acBackup")->click();
        QCOMPARE(line->isVisible(), shown);
        if (shown) {
            QCOMPARE(line->text(), QString::fromStdString(LastPassText(pass)));
            QCOMPARE(line->palette().color(QPalette::WindowText), QColor(Qt::red));
        }
        // The status line says so on every page, and again after a run's text.
        for (const char* page : {"acJobs", "acEinstellungen", "acBackup"}) {
            window.findChild<QToolButton*>(page)->click();
            QCOMPARE(StatusText(window).startsWith("Letzte unbeaufsichtigte Sicherung fehlgeschlagen"), shown);
        }
        window.SetStatus("Packe: /daten/a.txt...");
        QCOMPARE(StatusText(window), QString("Packe: /daten/a.txt..."));
        window.SetStatus("");
        QCOMPARE(StatusText(window).isEmpty(), !shown);
    }
};

QTEST_MAIN(DesktopWindowTest)
#include "DesktopWindowTest.moc"
