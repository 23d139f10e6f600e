// The logged-in users dialog, opened directly on a database with a lock-file fixture.
#include <QApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include "dbcheck/JetFixtures.h"
#include "gui/TfrmUserInfoDlg.h"
#include "dbcheck/UserRoster.h"
#include "support/WindowTestHome.h"
#include "gui/MessageBoxes.h"

using namespace vb;

namespace {

std::string Record(const std::string& computer, const std::string& login) {
    std::string a = computer + '\0', b = login + '\0';
    a.resize(32, ' ');
    b.resize(32, ' ');
    return a + b;
}

QStringList Row(QTableWidget* grid, int row) {
    QStringList cells;
    for (int column = 0; column < grid->columnCount(); ++column) {
        const QTableWidgetItem* item = grid->item(row, column);
        cells << (item ? item->text() : QString());
    }
    return cells;
}

QStringList Headers(QTableWidget* grid) {
    QStringList texts;
    for (int column = 0; column < grid->columnCount(); ++column) texts << grid->horizontalHeaderItem(column)->text();
    return texts;
}

}  // namespace

class UserInfoDlgTest : public QObject {
    Q_OBJECT
private:
    test::TempDir FDir;
    std::string Database() const { return (FDir / "vorlixintern.mdb").string(); }

    // Shows the dialog for `connection` and returns the text of the message box that
    // came up while it was filled (empty when none), then closes it with OK.
    static QString ShowAndClose(gui::TfrmUserInfoDlg& dialog, QStringList* headers, QList<QStringList>* rows) {
        QString message;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                message = box->text();
                box->buttons().first()->click();
            }
            QTimer::singleShot(0, [&] {
                test::SaveScreenshot(&dialog, QString("users-") + QTest::currentDataTag());
                *headers = Headers(dialog.UserGrid);
                for (int row = 0; row < dialog.UserGrid->rowCount(); ++row) *rows << Row(dialog.UserGrid, row);
                dialog.findChild<QPushButton*>("btnOK")->click();
            });
        });
        dialog.exec();
        return message;
    }

private slots:
    void initTestCase() { test::WriteJetWithPassword("jet4-nopw.mdb", Database(), "pelnor"); }

    void layoutAsDesigned() {
        gui::TfrmUserInfoDlg dialog;
        QCOMPARE(dialog.windowTitle(), QString("Angemeldete Benutzer"));
        QCOMPARE(dialog.size(), QSize(538, 249));
        QCOMPARE(dialog.UserGrid->columnCount(), 3);
        QCOMPARE(dialog.UserGrid->columnWidth(0), 213);
        QCOMPARE(dialog.UserGrid->columnWidth(1), 211);
        QCOMPARE(dialog.UserGrid->columnWidth(2), 100);
        QCOMPARE(dialog.UserGrid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(dialog.UserGrid->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
        QCOMPARE(dialog.findChild<QWidget*>("Panel1")->height(), 41);
    }

    void rosterRowsInTheOrderOfTheLockFile_data() {
        QTest::addColumn<QByteArray>("ldb");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::newRow("three workstations")
            << QByteArray::fromStdString(Record("SEKRETARIAT", "Admin") + Record("LEHRER1", "Admin") +
                                         Record("B\xDC" "RO", "admin"))
            << QList<QStringList>{{"SEKRETARIAT", "Admin", "Nein"}, {"LEHRER1", "Admin", "Nein"},
                                  {QString::fromUtf8("BÜRO"), "admin", "Nein"}};
        QTest::newRow("one record") << QByteArray::fromStdString(Record("PC1", "Admin"))
                                    << QList<QStringList>{{"PC1", "Admin", "Nein"}};
    }
    void rosterRowsInTheOrderOfTheLockFile() {
        QFETCH(QByteArray, ldb);
        QFETCH(QList<QStringList>, rows);
        test::WriteFile(FDir / "vorlixintern.ldb", ldb.toStdString());
        JetRosterConnection connection(RosterConnectionString(Database(), "pelnor"), Database(), "pelnor");
        gui::TfrmUserInfoDlg dialog;
        dialog.SetConnection(&connection);
        QStringList headers;
        QList<QStringList> shown;
        QCOMPARE(ShowAndClose(dialog, &headers, &shown), QString());
        QCOMPARE(headers, (QStringList{"Computername", "Login-Name", "Verbunden"}));
        QCOMPARE(shown, rows);
    }

    void anUnreadableRosterIsReportedAndLeavesOneEmptyRow_data() {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<std::string>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("lock file is a folder") << true << std::string("pelnor") << QString("kann nicht gelesen werden");
        QTest::newRow("wrong password") << false << std::string("falsch") << QString::fromUtf8("Kein gültiges Kennwort.");
    }
    void anUnreadableRosterIsReportedAndLeavesOneEmptyRow() {
        QFETCH(bool, folder);
        QFETCH(std::string, password);
        QFETCH(QString, message);
        std::filesystem::remove_all(FDir / "vorlixintern.ldb");
        if (folder) std::filesystem::create_directory(FDir / "vorlixintern.ldb");
        JetRosterConnection connection(RosterConnectionString(Database(), password), Database(), password);
        gui::TfrmUserInfoDlg dialog;
        dialog.SetConnection(&connection);
        QStringList headers;
        QList<QStringList> shown;
        QVERIFY(ShowAndClose(dialog, &headers, &shown).contains(message));
        QCOMPARE(headers, (QStringList{"Computername", "Login-Name", "Verbunden"}));
        QCOMPARE(shown, (QList<QStringList>{{"", "", ""}}));
    }
};

QTEST_MAIN(UserInfoDlgTest)
#include "TfrmUserInfoDlgTest.moc"
