// The catalogue's grids driven like a user: the jobs grid and its navigator, the
// definition grid's comma check, check-box cells, ellipsis buttons and the job
// selectors.
#include <functional>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTextBlock>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "support/FakeHost.h"
#include "gui/CatalogueGrids.h"
#include "gui/RecordNavigator.h"
#include "support/TempDir.h"
#include "gui/WindowFont.h"

namespace vb::gui {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

namespace {

const std::string kJobHeader = "BEZEICHNUNG:$255,ZIELVERZEICHNIS:$255,DEFINITIONSDATEI:$255,AUTOMATIK:!\r\n";

// Dialogs that answer from the test instead of a person.
struct ScriptedDialogs {
    std::optional<QString> folder;
    QString masksAnswer;  // empty: behave like "Abbrechen"
    QStringList calls;

    CatalogueDialogs Make() {
        CatalogueDialogs dialogs;
        dialogs.PickFolder = [this](QWidget*, const QString& start) {
            calls << "folder:" + start;
            return folder;
        };
        dialogs.PickDefinitionFile = [this](QWidget*, const QString& start) -> std::optional<QString> {
            calls << "file:" + start;
            return std::nullopt;
        };
        dialogs.EditMasks = [this](QWidget*, const QString& masks, const QString& start, const QPoint&) {
            calls << "masks:" + masks + "|" + start;
            return masksAnswer.isEmpty() ? masks : masksAnswer;
        };
        return dialogs;
    }
};

void Press(QWidget* widget, Qt::Key key) { QTest::keyClick(widget, key); }

// A definition list on a file with the given rows, shown in a definition grid.
struct DefinitionGridFixture {
    explicit DefinitionGridFixture(const std::string& rows) {
        WriteFile(dir / "def.csv", std::string(kDefinitionFileHeader) + "\r\n" + rows);
        TJob job;
        job.Bezeichnung = "Job";
        job.DefFile = (dir / "def.csv").string();
        definitions.OpenForJob(job);
        owner.reset(CreateDefinitionGrid(table, scripted.Make()));
        grid = owner.get();
    }
    ~DefinitionGridFixture() { table.CloseDiscarding(); }

    TempDir dir;
    CsvTable table{kDefinitionListDefinition};
    test::FakeHost host;
    DefinitionList definitions{table, host};
    ScriptedDialogs scripted;
    std::unique_ptr<CsvGrid> owner;
    CsvGrid* grid = nullptr;
};

// The job list "Alpha", "Beta", opened.
struct AlphaBetaJobs {
    AlphaBetaJobs() {
        WriteFile(dir / "Backupjobs.csv", kJobHeader + "Alpha,/a,/a.csv,1\r\nBeta,/b,/b.csv,1\r\n");
        host.FList = &jobs;
        jobs.Open(dir.Path().string(), "/opt");
    }
    TempDir dir;
    CsvTable table{kJobListDefinition};
    test::FakeHost host;
    JobList jobs{table, host, host};
};

}  // namespace

class CatalogueGridsTest : public QObject {
    Q_OBJECT
private slots:
    void jobGridInsertProposesTheNextJob();
    void definitionGridRefusesACommaInTheMasks();
    void checkBoxCellsFollowKeysAndClicks();
    void ellipsisButtonsOpenThePickers();
    void jobSelectorsListAndChoose();
    void leavingARowWithAClashingNameShowsTheKeyError();
    void gridOutlivesItsTable();
    void rowsComingAndGoingKeepSelectionAndScrollPosition();
    void jobSelectorMatchesLetterCase();
    void gridKeysInsertDeleteAppendAndCancel();
    void gridCellsElideInsteadOfWrapping();
};

void CatalogueGridsTest::jobGridInsertProposesTheNextJob() {
    TempDir dir;
    WriteFile(dir / "Backupjobs.csv", kJobHeader + "Job_1,/a," + (dir / "JobDef_1.csv").string() + ",1\r\nJob_2,/b," +
                                          (dir / "JobDef_2.csv").string() + ",0\r\n");
    CsvTable table(kJobListDefinition);
    test::FakeHost host;
    host.FDatenDir = dir.Path().string();
    JobList jobs(table, host, host);
    host.FList = &jobs;
    jobs.Open(dir.Path().string(), "/opt");

    ScriptedDialogs scripted;
    std::unique_ptr<CsvGrid> owner(CreateJobGrid(table, scripted.Make()));
    CsvGrid* grid = owner.get();
    QAbstractItemModelTester tester(grid->Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    RecordNavigator navigator(grid);
    grid->show();
    QCOMPARE(grid->Model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Bezeichnung"));
    QCOMPARE(grid->columnWidth(2), 296);
    QCOMPARE(grid->Model()->headerData(3, Qt::Horizontal, Qt::ToolTipRole).toString(),
             QString::fromUtf8("Bei automatischer Sicherung berücksichtigen"));

    // Rows as high as the definition grid's; the row indicator keeps its width
    // whatever state it marks.
    QCOMPARE(grid->verticalHeader()->defaultSectionSize(), 17);
    QCOMPARE(grid->rowHeight(0), 17);
    const int indicatorWidth = grid->verticalHeader()->width();

    QTest::mouseClick(navigator.ButtonOf(RecordNavigator::nbInsert), Qt::LeftButton);
    QCOMPARE(table.State(), CsvTableState::Insert);
    QCOMPARE(grid->verticalHeader()->width(), indicatorWidth);
    QCOMPARE(grid->Model()->rowCount(), 3);
    const int row = grid->currentIndex().row();
    QCOMPARE(row, table.CurrentRow());
    QCOMPARE(grid->Model()->index(row, 0).data().toString(), QString("Job_3"));
    QCOMPARE(grid->Model()->index(row, 1).data().toString(), QString());
    QCOMPARE(grid->Model()->index(row, 2).data().toString(), QString::fromStdString((dir / "JobDef_3.csv").string()));
    QCOMPARE(grid->Model()->index(row, 3).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QVERIFY(navigator.ButtonOf(RecordNavigator::nbPost)->isEnabled());
    QVERIFY(!navigator.ButtonOf(RecordNavigator::nbEdit)->isEnabled());

    QTest::mouseClick(navigator.ButtonOf(RecordNavigator::nbPost), Qt::LeftButton);
    QCOMPARE(table.RecordCount(), 3);
    QCOMPARE(host.FSelectorItems, (std::vector<std::string>{"Job_1", "Job_2", "Job_3"}));
    QCOMPARE(grid->currentIndex().row(), 0);  // sorted: the first job is current

    // Delete asks the navigator's question first; "Nein" keeps the row.
    QStringList asked;
    navigator.FConfirmDelete = [&](const QString& text) {
        asked << text;
        return false;
    };
    QTest::mouseClick(navigator.ButtonOf(RecordNavigator::nbDelete), Qt::LeftButton);
    QCOMPARE(asked, QStringList{QString::fromUtf8("Datensatz löschen?")});
    QCOMPARE(table.RecordCount(), 3);
    QVERIFY(host.FQuestions.empty());
    table.CloseDiscarding();
}

void CatalogueGridsTest::definitionGridRefusesACommaInTheMasks() {
    DefinitionGridFixture f("Alpha,/a,*.*,1,1\r\n");
    CsvTable& table = f.table;
    CsvGrid* grid = f.grid;
    QAbstractItemModelTester tester(grid->Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    RecordNavigator navigator(grid);
    grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(grid));
    QCOMPARE(grid->verticalHeader()->defaultSectionSize(), 17);
    QCOMPARE(grid->Model()->index(0, 4).data(Qt::ToolTipRole).toString(),
             QString("Das Verzeichnis und alle Unterverzeichnisse durchsuchen"));

    QTest::mouseClick(navigator.ButtonOf(RecordNavigator::nbInsert), Qt::LeftButton);
    QCOMPARE(grid->Model()->index(0, 3).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));  // flags preset
    QCOMPARE(grid->Model()->index(0, 4).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    // Type the masks into the cell like a user, then press the navigator's post.
    grid->setFocus();
    grid->setCurrentIndex(grid->Model()->index(0, 2));
    QTest::keyClick(grid, '*');  // opens the cell editor, which takes the focus
    QVERIFY(grid->viewport()->isAncestorOf(QApplication::focusWidget()));
    QTest::keyClicks(QApplication::focusWidget(), ".mdb,*.txt");
    QTest::mouseClick(navigator.ButtonOf(RecordNavigator::nbPost), Qt::LeftButton);
    QCOMPARE(f.host.FShown, std::vector<std::string>{"Meldung: Unzulässiges Trennzeichen (,) vor *.txt."});
    QCOMPARE(table.State(), CsvTableState::Insert);
    QCOMPARE(table.RecordCount(), 1);

    // Corrected, the row is stored and the list sorted by name.
    table.SetText("DATEIMASKE", "*.mdb;*.txt");
    table.SetText("NAME", "Zeta");
    QTest::mouseClick(navigator.ButtonOf(RecordNavigator::nbPost), Qt::LeftButton);
    QCOMPARE(table.RecordCount(), 2);
    QCOMPARE(grid->Model()->index(1, 2).data().toString(), QString("*.mdb;*.txt"));
    QCOMPARE(grid->currentIndex().row(), 0);
    table.CloseDiscarding();
}

void CatalogueGridsTest::checkBoxCellsFollowKeysAndClicks() {
    DefinitionGridFixture f("A,/a,*.*,1,\r\nB,/b,*.*,0,0\r\n");
    CsvTable& table = f.table;
    CsvGrid* grid = f.grid;
    grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(grid));
    grid->setFocus();
    auto check = [&](int row, int column) { return grid->Model()->index(row, column).data(Qt::CheckStateRole); };

    QVERIFY(!check(0, 4).isValid());  // a null value shows no mark
    grid->setCurrentIndex(grid->Model()->index(0, 3));
    Press(grid, Qt::Key_Space);
    QCOMPARE(table.State(), CsvTableState::Edit);
    QCOMPARE(check(0, 3).toInt(), int(Qt::Unchecked));
    Press(grid, Qt::Key_Space);
    QCOMPARE(check(0, 3).toInt(), int(Qt::Checked));
    Press(grid, Qt::Key_Minus);
    QCOMPARE(check(0, 3).toInt(), int(Qt::Unchecked));
    Press(grid, Qt::Key_1);
    QCOMPARE(check(0, 3).toInt(), int(Qt::Checked));
    Press(grid, Qt::Key_Backspace);
    QCOMPARE(check(0, 3).toInt(), int(Qt::Unchecked));
    QVERIFY(!grid->viewport()->findChild<QLineEdit*>());  // never a text editor

    // Space on a null value makes it false.
    grid->setCurrentIndex(grid->Model()->index(0, 4));
    Press(grid, Qt::Key_Space);
    QCOMPARE(check(0, 4).toInt(), int(Qt::Unchecked));

    // A click on the focused cell toggles it; on another cell it only moves the focus.
    const QRect focused = grid->visualRect(grid->Model()->index(0, 4));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, focused.center());
    QCOMPARE(check(0, 4).toInt(), int(Qt::Checked));
    const QRect other = grid->visualRect(grid->Model()->index(1, 3));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, other.center());
    QCOMPARE(check(1, 3).toInt(), int(Qt::Unchecked));
    // Moving to the other row stored the edited one.
    QTRY_COMPARE(table.State(), CsvTableState::Browse);
    QCOMPARE(table.CurrentRow(), 1);
    QCOMPARE(table.LineAt(0), std::string("A,/a,*.*,0,1"));
    table.CloseDiscarding();
}

void CatalogueGridsTest::ellipsisButtonsOpenThePickers() {
    DefinitionGridFixture f("A,/daten/a,*.mdb;*.txt,1,1\r\n");
    CsvTable& table = f.table;
    CsvGrid* grid = f.grid;
    grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(grid));

    // The mask dialog cancelled: the masks stay, but the row is in edit state.
    grid->setCurrentIndex(grid->Model()->index(0, 2));
    grid->edit(grid->currentIndex());
    auto* button = grid->viewport()->findChild<QToolButton*>("EllipsisButton");
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_COMPARE(f.scripted.calls, QStringList{"masks:*.mdb;*.txt|/daten/a"});
    QCOMPARE(table.State(), CsvTableState::Edit);
    QCOMPARE(table.GetText("DATEIMASKE"), std::string("*.mdb;*.txt"));

    // The folder picker starts at the field's folder and fills it.
    f.scripted.folder = "/neu/ort";
    grid->setCurrentIndex(grid->Model()->index(0, 1));
    QTest::keyClick(grid, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(f.scripted.calls.last(), QString("folder:/daten/a"));
    QCOMPARE(table.GetText("PFAD"), std::string("/neu/ort"));
    QCOMPARE(grid->Model()->index(0, 1).data().toString(), QString("/neu/ort"));
    table.CloseDiscarding();
}

void CatalogueGridsTest::jobSelectorsListAndChoose() {
    AlphaBetaJobs f;
    CsvTable& table = f.table;
    test::FakeHost& host = f.host;
    JobList& jobs = f.jobs;
    table.Next();

    QComboBox selector;
    QStringList seen;
    ConnectJobSelector(&selector, [&](const QString& text) {
        seen << text;
        jobs.ChooseByName(text.toStdString());
    });
    FillJobSelector(&selector, jobs);
    QCOMPARE(selector.count(), 2);
    QCOMPARE(selector.itemText(0), QString("Alpha"));
    QCOMPARE(selector.currentText(), QString("Beta"));
    QVERIFY(seen.isEmpty());  // filling is no user change
    QCOMPARE(host.FJob.Bezeichnung, std::string("Beta"));

    selector.lineEdit()->clear();
    QTest::keyClicks(selector.lineEdit(), "Alph");
    QCOMPARE(host.FJob.Bezeichnung, std::string("Beta"));
    QTest::keyClicks(selector.lineEdit(), "a");
    QCOMPARE(host.FJob.Bezeichnung, std::string("Alpha"));
    QCOMPARE(seen.last(), QString("Alpha"));
}

void CatalogueGridsTest::leavingARowWithAClashingNameShowsTheKeyError() {
    AlphaBetaJobs f;
    CsvTable& table = f.table;
    test::FakeHost& host = f.host;
    std::unique_ptr<CsvGrid> grid(CreateJobGrid(table, CatalogueDialogs{}));
    QStringList errors;
    grid->FErrorHandler = [&](const QString& message) { errors << message; };
    grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
    grid->setFocus();

    // Rename Alpha to Beta in the cell, then click the other row.
    grid->setCurrentIndex(grid->Model()->index(0, 0));
    QTest::keyClick(grid.get(), Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "Beta");
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->Model()->index(1, 1)).center());
    QTRY_COMPARE(errors, QStringList{QString::fromStdString((f.dir / "Backupjobs.csv").string()) + " - Key is not unique "});
    QCOMPARE(table.State(), CsvTableState::Edit);
    QCOMPARE(table.CurrentRow(), 0);
    QCOMPARE(grid->currentIndex().row(), 0);  // the grid stays on the refused row
    QCOMPARE(host.FJob.Bezeichnung, std::string("Alpha"));
    table.Cancel();
    table.CloseDiscarding();
}

// A window destroys its tables before its child widgets; the grid must cope.
void CatalogueGridsTest::gridOutlivesItsTable() {
    TempDir dir;
    WriteFile(dir / "def.csv", std::string(kDefinitionFileHeader) + "\r\nA,/a,*.*,1,1\r\n");
    auto table = std::make_unique<CsvTable>(kDefinitionListDefinition);
    table->SetFileName((dir / "def.csv").string());
    table->Open();
    std::unique_ptr<CsvGrid> grid(CreateDefinitionGrid(*table, CatalogueDialogs{}));
    RecordNavigator navigator(grid.get());
    grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
    table.reset();
    QCOMPARE(grid->Model()->rowCount(), 0);
    QVERIFY(!navigator.ButtonOf(RecordNavigator::nbInsert)->isEnabled());
    grid->repaint();
    QTest::keyClick(grid.get(), Qt::Key_Space);
    navigator.Click(RecordNavigator::nbInsert);
}

// A row inserted, cancelled or deleted reaches the view as rows coming and going,
// not as a reset: the column the user stands in and the scroll position stay.
void CatalogueGridsTest::rowsComingAndGoingKeepSelectionAndScrollPosition() {
    std::string rows;
    for (int i = 0; i < 60; ++i) rows += "Ordner" + std::to_string(100 + i) + ",/o,*.*,1,1\r\n";
    DefinitionGridFixture f(rows);
    CsvTable& table = f.table;
    CsvGrid* grid = f.grid;
    QAbstractItemModelTester tester(grid->Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    grid->resize(400, 200);
    grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(grid));
    grid->setCurrentIndex(grid->Model()->index(40, 2));
    QTRY_COMPARE(table.CurrentRow(), 40);
    const int scrolled = grid->verticalScrollBar()->value();
    QVERIFY(scrolled > 0);

    const struct {
        const char* step;
        std::function<void()> act;
        int rowCount;
        QString nameAt40;
    } steps[] = {
        {"insert", [&] { table.Insert(); }, 61, QString()},
        {"cancel", [&] { table.Cancel(); }, 60, QString("Ordner140")},
        {"delete", [&] { table.Delete(); }, 59, QString("Ordner141")},
    };
    for (const auto& step : steps) {
        step.act();
        QCoreApplication::processEvents();  // a move the grid left pending would happen now
        QVERIFY2(grid->Model()->rowCount() == step.rowCount, step.step);
        QVERIFY2(grid->Model()->index(40, 0).data().toString() == step.nameAt40, step.step);
        QVERIFY2(table.CurrentRow() == 40, step.step);
        QVERIFY2(grid->currentIndex() == grid->Model()->index(40, 2), step.step);
        QVERIFY2(grid->selectionModel()->isSelected(grid->Model()->index(40, 2)), step.step);
        QVERIFY2(grid->verticalScrollBar()->value() == scrolled, step.step);
    }
}

// Two jobs whose names differ by letter case only: typing one name and pressing Return
// keeps that job, with completion and the Return pick matching exactly.
void CatalogueGridsTest::jobSelectorMatchesLetterCase() {
    TempDir dir;
    WriteFile(dir / "Backupjobs.csv", kJobHeader + "Job_A,/a,/a.csv,1\r\njob_a,/b,/b.csv,1\r\n");
    CsvTable table(kJobListDefinition);
    test::FakeHost host;
    JobList jobs(table, host, host);
    host.FList = &jobs;
    jobs.Open(dir.Path().string(), "/opt");
    QComboBox selector;
    ConnectJobSelector(&selector, [&](const QString& text) { jobs.ChooseByName(text.toStdString()); });
    FillJobSelector(&selector, jobs);
    selector.show();
    QVERIFY(QTest::qWaitForWindowExposed(&selector));
    QCOMPARE(host.FJob.Bezeichnung, std::string("Job_A"));

    for (const char* name : {"job_a", "Job_A", "job_a"}) {
        selector.lineEdit()->clear();
        QTest::keyClicks(selector.lineEdit(), name);
        QCOMPARE(selector.lineEdit()->text(), QString(name));  // no completion to the other case
        QTest::keyClick(selector.lineEdit(), Qt::Key_Return);
        QCOMPARE(host.FJob.Bezeichnung, std::string(name));
        QCOMPARE(selector.currentText(), QString(name));
    }
    // A name in the wrong case is no job's name: nothing changes.
    selector.lineEdit()->clear();
    QTest::keyClicks(selector.lineEdit(), "JOB_A");
    QTest::keyClick(selector.lineEdit(), Qt::Key_Return);
    QCOMPARE(host.FJob.Bezeichnung, std::string("job_a"));
    table.CloseDiscarding();
}

void CatalogueGridsTest::gridKeysInsertDeleteAppendAndCancel() {
    DefinitionGridFixture f("A,/a,*.*,1,1\r\nB,/b,*.*,1,1\r\n");
    CsvTable& table = f.table;
    CsvGrid* grid = f.grid;
    QStringList asked;
    bool answer = false;
    grid->FConfirmDelete = [&](const QString& question) {
        asked << question;
        return answer;
    };
    grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(grid));
    grid->setFocus();

    // Insert adds a row before the current one, with the new row's defaults.
    grid->setCurrentIndex(grid->Model()->index(1, 0));
    QTRY_COMPARE(table.CurrentRow(), 1);
    Press(grid, Qt::Key_Insert);
    QCOMPARE(table.State(), CsvTableState::Insert);
    QCOMPARE(table.RowCount(), 3);
    QCOMPARE(grid->currentIndex().row(), 1);
    QCOMPARE(grid->Model()->index(1, 3).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    // Esc cancels the insert and leaves the edit state.
    Press(grid, Qt::Key_Escape);
    QCOMPARE(table.State(), CsvTableState::Browse);
    QCOMPARE(table.RowCount(), 2);

    // Esc in an open cell editor drops the typed text and the edit of the row.
    grid->setCurrentIndex(grid->Model()->index(0, 0));
    QTRY_COMPARE(table.CurrentRow(), 0);
    Press(grid, Qt::Key_F2);
    QTest::keyClicks(QApplication::focusWidget(), "neu");
    Press(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_COMPARE(table.State(), CsvTableState::Browse);
    QCOMPARE(table.GetText("NAME"), std::string("A"));

    // Down on the last row appends one, but not a second untouched one.
    grid->setCurrentIndex(grid->Model()->index(1, 0));
    QTRY_COMPARE(table.CurrentRow(), 1);
    Press(grid, Qt::Key_Down);
    QCOMPARE(table.State(), CsvTableState::Insert);
    QCOMPARE(table.RowCount(), 3);
    QCOMPARE(table.CurrentRow(), 2);
    QCOMPARE(grid->currentIndex().row(), 2);
    Press(grid, Qt::Key_Down);
    QCOMPARE(table.RowCount(), 3);
    // Typed into, the new row is stored by the next Down, which appends another.
    Press(grid, Qt::Key_F2);
    QTest::keyClicks(QApplication::focusWidget(), "C");
    Press(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(table.RecordCount(), 3);
    QCOMPARE(table.State(), CsvTableState::Insert);
    Press(grid, Qt::Key_Escape);
    QCOMPARE(table.RowCount(), 3);
    QCOMPARE(table.TextAt(0, 0), std::string("A"));  // the post sorted the list by name
    QCOMPARE(table.TextAt(2, 0), std::string("C"));

    // Ctrl+Del asks first; "Nein" keeps the row, "Ja" deletes it.
    grid->setCurrentIndex(grid->Model()->index(0, 0));
    QTRY_COMPARE(table.CurrentRow(), 0);
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(asked, QStringList{QString::fromUtf8("Datensatz löschen?")});
    QCOMPARE(table.RecordCount(), 3);
    answer = true;
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(table.RecordCount(), 2);
    QCOMPARE(table.TextAt(0, 0), std::string("B"));
    // Del alone deletes nothing.
    Press(grid, Qt::Key_Delete);
    QCOMPARE(table.RecordCount(), 2);
    table.CloseDiscarding();
}

// Two names alike up to their middle: in a narrow cell each ends in an ellipsis after
// its own letters (wrapping would show "Vorlix-" in both), and its hint holds it whole.
void CatalogueGridsTest::gridCellsElideInsteadOfWrapping() {
    DefinitionGridFixture f("Vorlix-Datenbank,/a,*.mdb,1,0\r\nVorlix-Reportverzeichnis,/b,*.rtm,1,1\r\n");
    CsvGrid* grid = f.grid;
    grid->resize(500, 200);
    grid->setColumnWidth(0, 80);
    grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(grid));
    const QModelIndex first = grid->Model()->index(0, 0);
    const QModelIndex second = grid->Model()->index(1, 0);
    QCOMPARE(grid->rowHeight(0), 17);
    const auto cellImage = [&](const QModelIndex& index) {
        return grid->viewport()->grab(grid->visualRect(index)).toImage();
    };
    grid->setCurrentIndex(grid->Model()->index(0, 2));  // neither name cell is highlighted
    QVERIFY(cellImage(first) != cellImage(second));
    QVERIFY(grid->IsElided(second));
    QCOMPARE(grid->CellHint(second), QString("Vorlix-Reportverzeichnis\nBezeichnung"));
    // A text that fits keeps the column's hint alone.
    grid->setColumnWidth(0, 157);
    QVERIFY(!grid->IsElided(first));
    QCOMPARE(grid->CellHint(first), QString("Bezeichnung"));
    f.table.CloseDiscarding();
}

}  // namespace vb::gui

QTEST_MAIN(vb::gui::CatalogueGridsTest)
#include "CatalogueGridsTest.moc"
