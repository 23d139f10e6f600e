// The file-mask dialog: masks shown as lines and read back, a chosen file replacing
// its line, OK and Abbrechen, and the dialog's size and buttons.
#include <QApplication>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTimer>
#include <QtTest>

#include "gui/TSelectFilemaskfrm.h"
#include "gui/WindowFont.h"

namespace vb::gui {

class TSelectFilemaskfrmTest : public QObject {
    Q_OBJECT
private slots:
    void fileMaskTextAndLines_data();
    void fileMaskTextAndLines();
    void fileMaskChooseFileReplacesTheLine();
    void editFileMaskReturnsOnlyWhatOkConfirms();
    void fileMaskDialogFitsAndEndsAtTheLastMask();
};

void TSelectFilemaskfrmTest::fileMaskTextAndLines_data() {
    QTest::addColumn<QString>("masks");
    QTest::addColumn<QString>("lines");  // the text box, lines joined by '|'
    QTest::addColumn<QString>("typed");  // replaces the text box when not null
    QTest::addColumn<QString>("result");
    QTest::newRow("two masks") << "*.mdb;*.txt" << "*.mdb|*.txt" << QString() << "*.mdb;*.txt";
    QTest::newRow("double separator ends") << "*.mdb;;*.txt" << "*.mdb" << QString() << "*.mdb";
    QTest::newRow("leading separator") << ";*.txt" << "" << QString() << "";
    QTest::newRow("empty") << "" << "" << QString() << "";
    QTest::newRow("blanks kept") << " *.a ;b" << " *.a |b" << QString() << " *.a ;b";
    QTest::newRow("empty line inside") << "" << "" << "*.ini\n\n*.txt" << "*.ini;;*.txt";
    QTest::newRow("empty first line") << "" << "" << "\n*.ini" << "*.ini";
    // A last mask ended with Return adds no empty piece; one between masks stays.
    QTest::newRow("empty last line") << "" << "" << "*.ini\n" << "*.ini";
    QTest::newRow("two masks ended with Return") << "" << "" << "*.mdb\n*.txt\n\n" << "*.mdb;*.txt";
    QTest::newRow("only empty lines") << "" << "" << "\n\n" << "";
}

void TSelectFilemaskfrmTest::fileMaskTextAndLines() {
    QFETCH(QString, masks);
    QFETCH(QString, lines);
    QFETCH(QString, typed);
    QFETCH(QString, result);
    TSelectFilemaskfrm dialog;
    dialog.SetFileMask(masks);
    QCOMPARE(dialog.Memo()->toPlainText(), QString(lines).replace('|', '\n'));
    if (!typed.isNull()) dialog.Memo()->setPlainText(typed);
    QCOMPARE(dialog.FileMask(), result);
}

void TSelectFilemaskfrmTest::fileMaskChooseFileReplacesTheLine() {
    TSelectFilemaskfrm dialog;
    QCOMPARE(dialog.windowTitle(), QString("Datei(maske)"));
    QCOMPARE(dialog.size(), QSize(FileMaskDialogWidth("Datei(maske)"), 170));
    dialog.SetFileMask("*.ini;alt.txt;*.log");
    dialog.SetStartDir("/start");
    QStringList starts;
    QString answer = "/ganz/woanders/neu.dat";
    dialog.FChooseFile = [&](QWidget*, const QString& start) {
        starts << start;
        return answer;
    };
    QTextCursor cursor(dialog.Memo()->document()->findBlockByNumber(1));
    cursor.movePosition(QTextCursor::Right);
    dialog.Memo()->setTextCursor(cursor);
    dialog.Dateiauswhlen1Click();
    QCOMPARE(starts, QStringList{"/start"});
    QCOMPARE(dialog.FileMask(), QString("*.ini;neu.dat;*.log"));
    answer.clear();  // cancelled: nothing changes
    dialog.Dateiauswhlen1Click();
    QCOMPARE(dialog.FileMask(), QString("*.ini;neu.dat;*.log"));
}

void TSelectFilemaskfrmTest::editFileMaskReturnsOnlyWhatOkConfirms() {
    for (const char* button : {"btnOK", "btnAbbrechen"}) {
        QPoint placedAt;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TSelectFilemaskfrm*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            placedAt = dialog->pos();
            dialog->Memo()->setPlainText("*.ini\n*.neu");
            QTest::mouseClick(dialog->findChild<QPushButton*>(button), Qt::LeftButton);
        });
        const QString result = EditFileMask("*.mdb;*.txt", "/daten", QPoint(40, 50));
        QCOMPARE(placedAt, QPoint(40, 50));
        QCOMPARE(result, QString(button == QString("btnOK") ? "*.ini;*.neu" : "*.mdb;*.txt"));
    }
}

void TSelectFilemaskfrmTest::fileMaskDialogFitsAndEndsAtTheLastMask() {
    TSelectFilemaskfrm dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // At least the designed 167 pixels, and room for the caption beside the window
    // manager's icon and buttons, which some draw whatever the dialog asks for.
    QCOMPARE(dialog.size(), QSize(FileMaskDialogWidth("Datei(maske)"), 170));
    QCOMPARE(FileMaskDialogWidth("x"), 167);
    QVERIFY(FileMaskDialogWidth("Datei(maske)") > QFontMetrics(WindowFont(12, true)).horizontalAdvance("Datei(maske)") + 100);
    QVERIFY(FileMaskDialogWidth("Datei(maske) mit einer sehr langen Beschriftung") > FileMaskDialogWidth("Datei(maske)"));
    // Only a close button asked for beside the caption.
    QVERIFY(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    auto* cancel = dialog.findChild<QPushButton*>("btnAbbrechen");
    auto* ok = dialog.findChild<QPushButton*>("btnOK");
    const QRect cancelRect(cancel->mapTo(&dialog, QPoint()), cancel->size());
    const QRect okRect(ok->mapTo(&dialog, QPoint()), ok->size());
    QCOMPARE(cancelRect.size(), QSize(75, 25));
    QCOMPARE(okRect.size(), QSize(75, 25));
    QVERIFY(dialog.rect().contains(cancelRect));
    QVERIFY(dialog.rect().contains(okRect));
    QVERIFY(cancelRect.right() < okRect.left());
    QCOMPARE(dialog.Memo()->height(), 170 - 41);

    // Each mask typed and ended with Return, as a user does.
    dialog.Memo()->setFocus();
    QTest::keyClicks(dialog.Memo(), "*.mdb");
    QTest::keyClick(dialog.Memo(), Qt::Key_Return);
    QTest::keyClicks(dialog.Memo(), "*.txt");
    QTest::keyClick(dialog.Memo(), Qt::Key_Return);
    QCOMPARE(dialog.FileMask(), QString("*.mdb;*.txt"));
}

}  // namespace vb::gui

QTEST_MAIN(vb::gui::TSelectFilemaskfrmTest)
#include "TSelectFilemaskfrmTest.moc"
