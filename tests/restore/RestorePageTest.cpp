// The restore page through the real window on the offscreen platform: the archive
// list, the status line, the entry view's sorting, selection and menu, and a restore
// of a selection from a backup that the window made itself.
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "app/TMainFrm.h"
#include "platform/CreationStamp.h"
#include "platform/RegistryStore.h"
#include "gui/AbZipView.h"
#include "restore/RestorePageSupport.h"
#include "support/WindowTestHome.h"

using namespace vb;

class RestorePageTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::WindowTestHome> FHome;

    QString Path(const QString& name) const { return FHome->Path(name); }
    static void Write(const QString& file, const QByteArray& content) { test::WriteTestFile(file, content); }
    static void MakeZip(const QString& archive, const QStringList& specs) { test::MakeTestZip(archive, specs); }
    // One job "Schule" with its archives in "ziel" and its definition list naming the
    // *.txt files of "quelle" with subfolders.
    void WriteJob() {
        Write(Path("def.csv"), "NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nQ," + Path("quelle").toUtf8() + ",*.txt,1,1\r\n");
        Write(Path("shared/VorlixBackup/Backupjobs.csv"),
              "BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\nSchule," + Path("ziel").toUtf8() +
                  "," + Path("def.csv").toUtf8() + ",1,\r\n");
    }
    static gui::AbZipView* View(TMainFrm& window) { return test::EntryView(window); }
    static QStringList Names(gui::AbZipView* view) {
        QStringList names;
        for (int row = 0; row < view->model()->rowCount(); ++row) names << view->model()->index(row, 0).data().toString();
        return names;
    }
    static void ClickRow(gui::AbZipView* view, int row, Qt::KeyboardModifiers modifiers = {}) {
        const QRect rect = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, rect.center());
    }
    // The selectors, the label and the buttons of the restore page's top rows lie side
    // by side within the page, none covering another, in reading order: the job and
    // the archive selector, then the drive selector and the buttons below them.
    // The rows' geometries go to `geometries` when given.
    static void VerifyTopRowFits(TMainFrm& window, QList<QRect>* geometries = nullptr) {
        QList<QWidget*> drives;
        for (QLabel* label : window.findChildren<QLabel*>()) {
            if (label->text() == "Ziellaufwerk:") drives << label;
        }
        drives << window.findChild<QComboBox*>("JvDriveCombo1") << window.findChild<QPushButton*>("btnStartRestore")
               << window.findChild<QPushButton*>("btnAll");
        QCOMPARE(drives.size(), 4);
        const QList<QList<QWidget*>> rows = {
            {window.findChild<QComboBox*>("ComboBox3"), window.findChild<QComboBox*>("ComboBox1")}, drives};
        for (const QList<QWidget*>& row : rows) {
            for (int i = 0; i + 1 < row.size(); ++i) {
                QVERIFY2(row[i]->geometry().right() < row[i + 1]->geometry().left(),
                         qPrintable(row[i]->objectName() + " covers the widget beside it"));
            }
            QVERIFY(row.last()->geometry().right() < row.last()->parentWidget()->width());
            if (geometries)
                for (QWidget* w : row) *geometries << w->geometry();
        }
        for (QWidget* above : rows[0]) {
            for (QWidget* below : rows[1]) QVERIFY(above->geometry().bottom() < below->geometry().top());
        }
    }
    static QStringList SelectedNames(gui::AbZipView* view) {
        QStringList names = test::SelectedRowNames(view);
        names.sort();
        return names;
    }

private slots:
    void init() {
        FHome = std::make_unique<test::WindowTestHome>();
        FHome->Registry().WriteDword("Software\\Vorlix-Backup", "STRATEGIE", 2);
        WriteJob();
    }
    void cleanup() {
        FHome.reset();
    }

    void listsArchivesInNameOrderAndShowsTheFirstWithItsStatusLine() {
        for (const char* name : {"Schule-24-03-02.zip", "Anderer.ZIP", "Schule-24-03-01.zip"}) {
            MakeZip(Path(QString("ziel/") + name), {QString(name) + ".txt:x"});
        }
        std::tm stamp{};
        stamp.tm_year = 124, stamp.tm_mon = 2, stamp.tm_mday = 1, stamp.tm_hour = 20, stamp.tm_min = 15, stamp.tm_sec = 3;
        const bool stamped = platform::SetCreationStamp(Path("ziel/Anderer.ZIP").toStdString(), stamp);
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.findChild<QToolButton*>("acRestore")->click();
        auto* selector = window.findChild<QComboBox*>("ComboBox1");
        QStringList items;
        for (int i = 0; i < selector->count(); ++i) items << selector->itemText(i);
        QCOMPARE(items, (QStringList{"Anderer.ZIP", "Schule-24-03-01.zip", "Schule-24-03-02.zip"}));
        QCOMPARE(selector->currentText(), QString("Anderer.ZIP"));
        QCOMPARE(window.Job().BackupFilename, std::string("Anderer.ZIP"));
        QCOMPARE(Names(View(window)), QStringList{"Anderer.ZIP.txt"});
        const QString size = QLocale(QLocale::German).toString(QFileInfo(Path("ziel/Anderer.ZIP")).size());
        const QString status = window.findChild<QLabel*>("StatusBar1")->text();
        QVERIFY2(status.startsWith(QString::fromUtf8("Archivgr\u00f6\u00dfe: ") + size + " Bytes, erzeugt am "), qPrintable(status));
        if (stamped) QCOMPARE(status.section(" am ", 1), QString("01.03.2024 20:15:03"));

        // Picking an archive opens it; a folder without archives lists nothing and
        // keeps the name from before.
        selector->setCurrentIndex(2);
        emit selector->textActivated(selector->currentText());
        QCOMPARE(window.Job().BackupFilename, std::string("Schule-24-03-02.zip"));
        QDir(Path("ziel")).removeRecursively();
        window.ListArchives();
        QCOMPARE(selector->count(), 0);
        QCOMPARE(selector->currentText(), QString());
        QCOMPARE(window.Job().BackupFilename, std::string("Schule-24-03-02.zip"));
    }

    void viewColumnsSortingAndSelection() {
        MakeZip(Path("ziel/Schule.zip"), {"Daten/", "Daten/b.txt:bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb", "a.txt:a",
                                          "Daten/Leer/", "c.txt:cc"});
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.show();
        window.findChild<QToolButton*>("acRestore")->click();
        gui::AbZipView* view = View(window);
        QAbstractItemModelTester tester(view->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QStringList headings = {"Name", "Gepackt", "Ratio (%)", QString::fromUtf8("Letzte \u00c4nderung"), "Original"};
        const int widths[] = {270, 70, 60, 115, 70};
        for (int column = 0; column < 5; ++column) {
            QCOMPARE(view->model()->headerData(column, Qt::Horizontal).toString(), headings[column]);
            QCOMPARE(view->columnWidth(column), widths[column]);
        }
        QCOMPARE(view->horizontalHeader()->height(), 17);
        QCOMPARE(view->rowHeight(0), 15);
        QCOMPARE(Names(view), (QStringList{"b.txt", "a.txt", "c.txt"}));  // archive order, no folders

        ClickRow(view, 0);
        ClickRow(view, 2, Qt::ControlModifier);
        QCOMPARE(SelectedNames(view), (QStringList{"b.txt", "c.txt"}));
        // A heading click sorts; the selection stays with the entries; the arrow shows.
        QTest::mouseClick(view->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(view->horizontalHeader()->sectionViewportPosition(0) + 20, 8));
        QCOMPARE(Names(view), (QStringList{"a.txt", "b.txt", "c.txt"}));
        QCOMPARE(SelectedNames(view), (QStringList{"b.txt", "c.txt"}));
        QVERIFY(view->horizontalHeader()->isSortIndicatorShown());
        QCOMPARE(view->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
        // Shift selects from the anchor (the last click without Shift) and nothing else.
        ClickRow(view, 0, Qt::ShiftModifier);
        QCOMPARE(SelectedNames(view), (QStringList{"a.txt", "b.txt", "c.txt"}));
        test::SaveScreenshot(&window, "restore-sorted-selection");

        // The context menu: "Markierung aufheben" only with a selection.
        QMenu* menu = view->PopupMenu1();
        auto* unmark = menu->findChild<QAction*>("MarkierungAufheben");
        if (!unmark) {
            for (QAction* action : menu->actions()) {
                if (action->objectName() == "MarkierungAufheben") unmark = action;
            }
        }
        QVERIFY(unmark);
        view->PopupMenu1Popup();
        QVERIFY(unmark->isEnabled());
        unmark->trigger();
        QVERIFY(SelectedNames(view).isEmpty());
        view->PopupMenu1Popup();
        QVERIFY(!unmark->isEnabled());
        for (QAction* action : menu->actions()) {
            if (action->text() == "Alle markieren") action->trigger();
        }
        QCOMPARE(SelectedNames(view), (QStringList{"a.txt", "b.txt", "c.txt"}));  // file entries only
    }

    // A long archive name shows whole in the window's designed size, also when a long
    // mount path is among the drives; the drive selector shows "/" whole.
    void archiveNameShowsWholeBesideLongMountPaths() {
        const QString archive = "Schule-Verwaltung-Zeugnisse_1.zip";
        MakeZip(Path("ziel/" + archive), {"a.txt:x"});
        TMainFrm window(FHome->Registry(), &FHome->Host());
        auto* drives = window.findChild<QComboBox*>("JvDriveCombo1");
        drives->addItem(QString::fromUtf8("/media/lehrer/Sicherungsplatte der Schulverwaltung  (Wechseldatenträger)"));
        window.findChild<QToolButton*>("acRestore")->click();
        window.resize(721, 527);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* selector = window.findChild<QComboBox*>("ComboBox1");
        QCOMPARE(selector->currentText(), archive);
        const auto shownWidth = [](QComboBox* box) {
            QStyleOptionComboBox option;
            option.initFrom(box);
            option.editable = box->isEditable();
            return box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box).width();
        };
        QVERIFY2(shownWidth(selector) >= selector->fontMetrics().horizontalAdvance(archive),
                 qPrintable(QString::number(shownWidth(selector))));
        const QString root = drives->itemText(0);
        QVERIFY2(shownWidth(drives) >= drives->fontMetrics().horizontalAdvance(root), qPrintable(root));
        VerifyTopRowFits(window);
        test::SaveScreenshot(&window, "restore-long-archive-name");
    }

    void restoresASelectionThroughTheWindowAndTheToggleKeepsItsCaption() {
        Write(Path("quelle/brief.txt"), "Hallo");
        Write(Path("quelle/Klasse/noten.txt"), "Noten");
        Write(Path("quelle/Klasse/liste.txt"), "Liste");
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.show();
        window.findChild<QToolButton*>("acBackup")->click();
        window.findChild<QPushButton*>("btnStartBackup")->click();
        QVERIFY(!window.ErrorReported());
        QVERIFY(QFile::remove(Path("quelle/brief.txt")));
        Write(Path("quelle/Klasse/noten.txt"), "verdorben");
        Write(Path("quelle/Klasse/liste.txt"), "bleibt");

        window.findChild<QToolButton*>("acRestore")->click();
        QCOMPARE(window.findChild<QComboBox*>("JvDriveCombo1")->currentIndex(), 0);
        QCOMPARE(window.GetRestoreRoot(), std::string("/"));
        gui::AbZipView* view = View(window);
        auto* all = window.findChild<QPushButton*>("btnAll");
        QCOMPARE(all->text(), QString::fromUtf8("&Alle ausw\u00e4hlen"));
        QList<QRect> before, after;
        VerifyTopRowFits(window, &before);
        all->click();
        QCOMPARE(all->text(), QString("&Auswahl aufheben"));
        QApplication::processEvents();
        VerifyTopRowFits(window, &after);
        QCOMPARE(after, before);  // the other caption moves nothing
        QCOMPARE(SelectedNames(view).size(), 3);
        const int liste = Names(view).indexOf("liste.txt");
        ClickRow(view, liste, Qt::ControlModifier);  // all but liste.txt
        test::SaveScreenshot(&window, "restore-before-run");
        window.findChild<QPushButton*>("btnStartRestore")->click();
        QVERIFY(!window.ErrorReported());

        QFile brief(Path("quelle/brief.txt"));
        QVERIFY(brief.open(QIODevice::ReadOnly));
        QCOMPARE(brief.readAll(), QByteArray("Hallo"));
        QFile noten(Path("quelle/Klasse/noten.txt"));
        QVERIFY(noten.open(QIODevice::ReadOnly));
        QCOMPARE(noten.readAll(), QByteArray("Noten"));
        QFile liste2(Path("quelle/Klasse/liste.txt"));
        QVERIFY(liste2.open(QIODevice::ReadOnly));
        QCOMPARE(liste2.readAll(), QByteArray("bleibt"));
        // The run cleared the selection and the status line, not the toggle.
        QVERIFY(SelectedNames(view).isEmpty());
        QCOMPARE(all->text(), QString("&Auswahl aufheben"));
        test::SaveScreenshot(&window, "restore-after-run");
        QVERIFY(window.findChild<QLabel*>("StatusBar1")->text().isEmpty());
        QVERIFY(window.findChild<QPushButton*>("btnStartRestore")->isEnabled());
        QVERIFY(window.findChild<QWidget*>("PageControl1")->isEnabled());
        all->click();
        QCOMPARE(all->text(), QString::fromUtf8("&Alle ausw\u00e4hlen"));
        // The log names the archive and each restored entry.
        QFile log(Path("shared/VorlixBackup/VB-Restore.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(log.readAll().constData()), log.size() / 2);
        QVERIFY2(text.startsWith(Path("ziel/Schule.zip") + " logging "), qPrintable(text));
        QCOMPARE(text.count(" extracted "), 2);
    }
};

QTEST_MAIN(RestorePageTest)
#include "RestorePageTest.moc"
