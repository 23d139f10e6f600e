// The restore page's comparison with the disk, its filter and selection, the box
// before a restore, the selector "Stand:" and the view "Versionen", through the real
// window on the offscreen platform.
#include <utime.h>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

#include "app/TMainFrm.h"
#include "platform/CreationStamp.h"
#include "gui/AbZipView.h"
#include "restore/RestorePageSupport.h"
#include "gui/TVersionsDlg.h"
#include "support/LocalClock.h"
#include "support/WindowTestHome.h"
#include "util/Utf8.h"

using namespace vb;

class RestoreComparePageTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::WindowTestHome> FHome;

    QString Path(const QString& name) const { return FHome->Path(name); }
    // The stored name of a file of this home: its absolute path below the root "/".
    QString Stored(const QString& name) const { return Path(name).mid(1); }
    // `content` in `file`, last written at `modified` (seconds since 1970) when given.
    static void Write(const QString& file, const QByteArray& content, qint64 modified = 0) {
        test::WriteTestFile(file, content);
        if (modified == 0) return;
        const utimbuf times{modified, modified};
        QCOMPARE(::utime(file.toLocal8Bit().constData(), &times), 0);
    }
    static QByteArray Read(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(fehlt)");
    }
    static void MakeZip(const QString& archive, const QStringList& specs) { test::MakeTestZip(archive, specs); }
    void WriteJob(int strategy) {
        FHome->Registry().WriteDword("Software\\Vorlix-Backup", "STRATEGIE", static_cast<std::uint32_t>(strategy));
        Write(Path("def.csv"),
              "NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nQ," + Path("quelle").toUtf8() + ",*.*,1,1\r\n");
        Write(Path("shared/VorlixBackup/Backupjobs.csv"),
              "BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\nSchule," + Path("ziel").toUtf8() +
                  "," + Path("def.csv").toUtf8() + ",1,\r\n");
    }
    static gui::AbZipView* View(TMainFrm& window) { return test::EntryView(window); }
    // Name and disk column of each row.
    static QStringList Rows(gui::AbZipView* view) {
        QStringList rows;
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            QString text = view->model()->index(row, 0).data().toString();
            if (view->model()->columnCount() > bcDisk)
                text += ": " + view->model()->index(row, bcDisk).data().toString();
            rows << text;
        }
        return rows;
    }
    static QStringList SelectedNames(gui::AbZipView* view) { return test::SelectedRowNames(view); }

private slots:
    void init() { FHome = std::make_unique<test::WindowTestHome>(); }
    void cleanup() { FHome.reset(); }

    // The archive was made on 03.10.2016 at 14:05:08 (make_zip.py).
    void toggleFilterSelectionAndTheBoxBeforeARestore() {
        WriteJob(2);
        MakeZip(Path("ziel/Schule.zip"),
                {Stored("quelle/") + "", Stored("quelle/gleich.txt") + ":gleich",
                 Stored("quelle/alt.txt") + ":aus der Sicherung", Stored("quelle/neuer.txt") + ":aus der Sicherung",
                 Stored("quelle/fehlt.txt") + ":fehlt"});
        Write(Path("quelle/gleich.txt"), "gleich");  // touched today, content as stored
        Write(Path("quelle/alt.txt"), "von 2010", 1262340000);
        Write(Path("quelle/neuer.txt"), "Arbeit von heute");
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.show();
        window.findChild<QToolButton*>("acRestore")->click();
        gui::AbZipView* view = View(window);
        QAbstractItemModelTester tester(view->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        auto* compare = window.findChild<QCheckBox*>("cbVergleichen");
        auto* changedOnly = window.findChild<QCheckBox*>("cbNurAenderungen");
        auto* selectChanged = window.findChild<QPushButton*>("btnGeaenderte");
        QCOMPARE(compare->text(), QString("Mit Festplatte vergleichen"));
        QCOMPARE(view->model()->columnCount(), 5);
        QVERIFY(!changedOnly->isEnabled());

        compare->click();
        QCOMPARE(view->model()->columnCount(), 6);
        QCOMPARE(view->model()->headerData(bcDisk, Qt::Horizontal).toString(), QString("Auf der Platte"));
        QCOMPARE(view->horizontalHeader()->visualIndex(bcDisk), 1);  // beside the name
        // The disk is read on a thread of its own: nothing is known before the window
        // has handled the deliveries.
        QCOMPARE(Rows(view), (QStringList{"gleich.txt: ", "alt.txt: ", "neuer.txt: ", "fehlt.txt: "}));
        const QStringList compared = {"gleich.txt: gleich", QString::fromUtf8("alt.txt: älter auf der Platte"),
                                      "neuer.txt: neuer auf der Platte", "fehlt.txt: neu"};
        QTRY_COMPARE(Rows(view), compared);
        test::SaveScreenshot(&window, "restore-compare");

        changedOnly->click();
        QCOMPARE(Rows(view), compared.mid(1));
        selectChanged->click();
        QCOMPARE(SelectedNames(view), (QStringList{"alt.txt", "neuer.txt", "fehlt.txt"}));

        // The box counts and names; its default keeps the newer file.
        FHome->Host().FShown.clear();
        window.findChild<QPushButton*>("btnStartRestore")->click();
        QCOMPARE(FHome->Host().FShown.size(), std::size_t(1));
        const std::string expected =
            "Frage: Es werden 1 Datei ersetzt und 1 Datei neu angelegt.\n\n"
            "1 Datei ist auf der Platte neuer als in der Sicherung:\n\n" +
            Stored("quelle/neuer.txt").toStdString() +
            "\n\n„Neuere behalten“ stellt sie nicht wieder her."
            " [&Neuere behalten] [&Alle ersetzen] [Abbrechen]";
        QCOMPARE(FHome->Host().FShown[0], expected);
        QVERIFY(!window.ErrorReported());
        QCOMPARE(Read(Path("quelle/alt.txt")), QByteArray("aus der Sicherung"));
        QCOMPARE(Read(Path("quelle/fehlt.txt")), QByteArray("fehlt"));
        QCOMPARE(Read(Path("quelle/neuer.txt")), QByteArray("Arbeit von heute"));
        // The archive is shown afresh and compared again: only the kept file is left.
        QTRY_COMPARE_WITH_TIMEOUT(Rows(view).join("|"), QString("neuer.txt: neuer auf der Platte"), 10000);
        QCOMPARE(view->horizontalHeader()->visualIndex(bcDisk), 1);

        // Cancelling restores nothing.
        selectChanged->click();
        FHome->Host().FChoices = {2};
        window.findChild<QPushButton*>("btnStartRestore")->click();
        QCOMPARE(Read(Path("quelle/neuer.txt")), QByteArray("Arbeit von heute"));

        compare->click();
        QCOMPARE(view->model()->columnCount(), 5);
        QCOMPARE(view->horizontalHeader()->visualIndex(bcPacked), 1);
        QCOMPARE(view->model()->rowCount(), 4);
        QVERIFY(!changedOnly->isChecked());
        QVERIFY(!changedOnly->isEnabled());
    }

    // Three generations: "Stand:" lists them newest first; the view "Versionen" of one
    // file marks where its content changed and restores an older one beside it.
    void standSelectorAndVersionsView() {
        WriteJob(1);
        FHome->Registry().WriteDword("Software\\Vorlix-Backup", "LOGGING", 1);
        const QString file = Stored("quelle/Notenliste.xls");
        const struct {
            const char* name;
            int day;
            const char* content;
        } archives[] = {
            {"Schule_3.zip", 1, "Stand eins"}, {"Schule_2.zip", 2, "Stand eins"}, {"Schule_1.zip", 3, "Stand zwei"}};
        for (const auto& a : archives) {
            MakeZip(Path("ziel/") + a.name, {file + ":" + a.content});
            if (!platform::SetCreationStamp(Path(QString("ziel/") + a.name).toStdString(),
                                            test::LocalClock(2026, 12, a.day, 18)))
                QSKIP("no user extended attributes here");
        }
        Write(Path("quelle/Notenliste.xls"), "heute");
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.show();
        window.findChild<QToolButton*>("acRestore")->click();
        auto* stand = window.findChild<QComboBox*>("cbStand");
        QStringList items;
        for (int i = 0; i < stand->count(); ++i) items << stand->itemText(i);
        QCOMPARE(items, (QStringList{"03.12.2026 18:00:00 - Schule_1.zip", "02.12.2026 18:00:00 - Schule_2.zip",
                                     "01.12.2026 18:00:00 - Schule_3.zip"}));
        QCOMPARE(stand->currentIndex(), 0);  // the browser shows _1, the newest
        stand->setCurrentIndex(2);
        emit stand->activated(2);
        QCOMPARE(window.Job().BackupFilename, std::string("Schule_3.zip"));

        View(window)->setCurrentIndex(View(window)->model()->index(0, 0));
        window.findChild<QPushButton*>("btnVersionen")->click();
        gui::TVersionsDlg* dialog = window.VersionsDialog();
        QVERIFY(dialog);
        auto* list = dialog->findChild<QTableWidget*>("lvVersionen");
        QCOMPARE(list->rowCount(), 3);
        QStringList rows;
        for (int row = 0; row < 3; ++row)
            rows << list->item(row, 1)->text() + " " + list->item(row, 4)->text() + " " + list->item(row, 5)->text();
        // The file on disk was written today, the entries in 2016.
        QCOMPARE(rows, (QStringList{QString::fromUtf8("Schule_1.zip Inhalt 2 (geändert) neuer auf der Platte"),
                                    QString::fromUtf8("Schule_2.zip Inhalt 1 (wie davor) neuer auf der Platte"),
                                    QString::fromUtf8("Schule_3.zip Inhalt 1 (ältester Stand) neuer auf der Platte")}));
        test::SaveScreenshot(dialog, "restore-versionen");

        list->selectRow(2);
        QCOMPARE(dialog->findChild<QPushButton*>("btnDaneben")->toolTip(),
                 QString("Notenliste (Stand 01.12.2026).xls"));
        dialog->findChild<QPushButton*>("btnDaneben")->click();
        QCOMPARE(Read(Path("quelle/Notenliste (Stand 01.12.2026).xls")), QByteArray("Stand eins"));
        QCOMPARE(Read(Path("quelle/Notenliste.xls")), QByteArray("heute"));
        // Each restore of a version writes the restore log anew: the archive, then the entry.
        const auto restoreLog = [&] {
            return QString::fromStdString(utf8::fromUtf16le(Read(Path("shared/VorlixBackup/VB-Restore.log")).toStdString()));
        };
        QVERIFY2(restoreLog().startsWith(Path("ziel/Schule_3.zip") + " logging "), qPrintable(restoreLog()));
        QVERIFY2(restoreLog().contains("\r\n" + file + " extracted "), qPrintable(restoreLog()));

        // In place only after the question, whose default keeps the file.
        list->selectRow(0);
        dialog->findChild<QPushButton*>("btnAnDenPlatz")->click();
        QCOMPARE(Read(Path("quelle/Notenliste.xls")), QByteArray("heute"));
        FHome->Host().FChoices = {1};
        dialog->findChild<QPushButton*>("btnAnDenPlatz")->click();
        QCOMPARE(Read(Path("quelle/Notenliste.xls")), QByteArray("Stand zwei"));
        QVERIFY2(restoreLog().startsWith(Path("ziel/Schule_1.zip") + " logging "), qPrintable(restoreLog()));
        QCOMPARE(list->item(0, 5)->text(), QString("gleich"));
        QVERIFY(!window.ErrorReported());
    }

    // What the command line's --versions does: the window opens at the file's versions.
    void versionsOfAPathFindTheJob() {
        WriteJob(2);
        MakeZip(Path("ziel/Schule.zip"), {Stored("quelle/a.txt") + ":a"});
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.show();
        QVERIFY(window.ShowVersionsOf(Path("quelle/./a.txt").toStdString()));
        QCOMPARE(window.CurrentPage(), int(TMainFrm::pgRestore));
        QVERIFY(window.VersionsDialog());
        QCOMPARE(window.VersionsDialog()->Versions().Versions.size(), std::size_t(1));
        window.VersionsDialog()->close();
        QVERIFY(!window.ShowVersionsOf(Path("quelle/b.txt").toStdString()));
        QVERIFY(window.ErrorReported());
        QVERIFY(!window.VersionsDialog());
    }
};

QTEST_MAIN(RestoreComparePageTest)
#include "RestoreComparePageTest.moc"
