// The log page: what the two boxes show for missing, empty and marked log files, and
// what their print buttons put on paper (printed to PDF, positions read back with
// pdftotext -bbox).
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QToolButton>
#include <QtTest>

#include "app/TMainFrm.h"
#include "support/WindowTestHome.h"
#include "util/MessageBoxes.h"

using namespace vb;

namespace {

struct Word {
    int page;
    double xMin, yMin, xMax;
    QString text;
};

constexpr int kDpi = 600;
constexpr double kMarginPoints = 200.0 * 72 / kDpi;  // 200 device units

QByteArray Utf16le(const QString& text) {
    QByteArray bytes;
    for (const QChar c : text) bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return bytes;
}

}  // namespace

class LogPageTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::WindowTestHome> FHome;

    QString Path(const QString& name) const { return FHome->Path(name); }
    QString DataDir() const { return FHome->DataDir(); }
    void WriteLog(const QString& name, const QByteArray& bytes) {
        QDir().mkpath(DataDir());
        QFile file(DataDir() + "/" + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static void ShowLogs(TMainFrm& window) { window.findChild<QToolButton*>("acLogfiles")->click(); }
    static QString Box(TMainFrm& window, const char* name) {
        return window.findChild<QPlainTextEdit*>(name)->toPlainText();
    }

    // Prints the upper box to a PDF file and returns its words.
    QList<Word> PrintBackupBox(TMainFrm& window, const QString& text, int* pages) {
        const QString pdf = Path("druck.pdf");
        window.SetPrinterFactory([pdf] {
            auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            printer->setResolution(kDpi);
            printer->setPageSize(QPageSize(QPageSize::A4));
            printer->setPageMargins(QMarginsF(0, 0, 0, 0));
            return printer;
        });
        window.findChild<QPlainTextEdit*>("memoBackupLog")->setPlainText(text);
        window.findChild<QToolButton*>("SpeedButton1")->click();
        QProcess pdftotext;
        pdftotext.start("pdftotext", {"-bbox", pdf, "-"});
        if (!pdftotext.waitForFinished(60000) || pdftotext.exitCode() != 0) {
            qWarning() << pdftotext.readAllStandardError();
            return {};
        }
        const QString html = QString::fromUtf8(pdftotext.readAllStandardOutput());
        QList<Word> words;
        int page = 0;
        static const QRegularExpression token(
            R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re");
        for (auto it = token.globalMatch(html); it.hasNext();) {
            const auto m = it.next();
            if (m.captured(0).startsWith("<page")) {
                ++page;
                continue;
            }
            words.append({page, m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                          m.captured(4)});
        }
        *pages = page;
        return words;
    }

private slots:
    void init() { FHome = std::make_unique<test::WindowTestHome>(); }
    void cleanup() { FHome.reset(); }

    void boxesShowTheLogFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        const QString text = QString::fromUtf8("/ziel/Schule.zip logging 10.12.2026 22:30:01\r\n"
                                               "opt/Vorlix/Müller.txt added 10.12.2026 22:30:01\r\n");
        QByteArray bigEndian;
        for (const QChar c : QString(QChar(0xFEFF)) + text) bigEndian.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
        const QString shown = QString::fromUtf8("/ziel/Schule.zip logging 10.12.2026 22:30:01\n"
                                                "opt/Vorlix/Müller.txt added 10.12.2026 22:30:01");
        QTest::newRow("as the runs write it") << Utf16le(text) << shown;
        QTest::newRow("little-endian mark") << Utf16le(QString(QChar(0xFEFF)) + text) << shown;
        QTest::newRow("big-endian mark") << bigEndian << shown;
        QTest::newRow("empty file: empty box") << QByteArray() << QString();
    }
    void boxesShowTheLogFiles() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        WriteLog("VB-Backup.log", bytes);
        TMainFrm window(FHome->Registry(), &FHome->Host());
        ShowLogs(window);
        QCOMPARE(Box(window, "memoBackupLog"), shown);
        QCOMPARE(Box(window, "memoRestoreLog"), QString("Keine Logdatei gefunden"));
        test::SaveScreenshot(&window, QString("logpage-") + QTest::currentDataTag());
    }

    void anUnreadableLogIsReportedOnShowAndKeptOnNavigation() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        WriteLog("VB-Restore.log", Utf16le("alt\r\n"));
        ShowLogs(window);
        QCOMPARE(Box(window, "memoRestoreLog"), QString("alt"));
        QVERIFY(!window.ErrorReported());
        // A folder in the log's place exists but cannot be read as a file.
        QVERIFY(QFile::remove(DataDir() + "/VB-Restore.log"));
        QVERIFY(QDir().mkpath(DataDir() + "/VB-Restore.log"));
        window.ShowPage(TMainFrm::pgJobs);
        ShowLogs(window);
        QVERIFY(window.ErrorReported());  // the page's show event reports it
        QCOMPARE(Box(window, "memoRestoreLog"), QString("alt"));
        QCOMPARE(Box(window, "memoBackupLog"), QString("Keine Logdatei gefunden"));
    }

    void printedLinesStartAtTheMarginOneTextHeightApart() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        int pages = 0;
        const QList<Word> words =
            PrintBackupBox(window, "Erste Zeile\nZweite Zeile\n\nVierte Zeile, vom Benutzer ergänzt", &pages);
        QCOMPARE(pages, 1);
        QStringList firstWords;
        for (const Word& w : words)
            if (w.xMin < kMarginPoints + 1) firstWords << w.text;
        QCOMPARE(firstWords, (QStringList{"Erste", "Zweite", "Vierte"}));
        QCOMPARE(words.first().xMin, kMarginPoints);
        QVERIFY2(words.first().yMin > kMarginPoints - 0.5 && words.first().yMin < kMarginPoints + 12,
                 qPrintable(QString::number(words.first().yMin)));
        const double step = words[2].yMin - words[0].yMin;  // "Zweite" below "Erste"
        QVERIFY(step > 4 && step < 20);
        const Word fourth = words[4];
        QCOMPARE(fourth.text, QString("Vierte"));
        QVERIFY(qAbs(fourth.yMin - words[0].yMin - 3 * step) < 0.1);  // the empty line keeps its place
    }

    void aLongLogGoesOnToFurtherPagesAndLongLinesWrap() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        QStringList lines;
        for (int i = 1; i <= 200; ++i) lines << QString("Zeile%1 added 10.12.2026").arg(i);
        QString longLine;
        for (int i = 1; i <= 60; ++i) longLine += QString("Wort%1 ").arg(i);
        lines.insert(5, longLine.trimmed());
        int pages = 0;
        const QList<Word> words = PrintBackupBox(window, lines.join('\n'), &pages);
        QVERIFY(pages >= 2);
        const double pageWidth = QPageSize(QPageSize::A4).size(QPageSize::Point).width();
        QStringList texts;
        for (const Word& w : words) {
            texts << w.text;
            QVERIFY2(w.xMax <= pageWidth - kMarginPoints + 0.5, qPrintable(w.text));
        }
        // Nothing is lost: every line and every word of the long one is printed once.
        for (int i = 1; i <= 200; ++i) QCOMPARE(texts.count(QString("Zeile%1").arg(i)), 1);
        for (int i = 1; i <= 60; ++i) QCOMPARE(texts.count(QString("Wort%1").arg(i)), 1);
        // The long line goes on in the next line, starting at the margin again.
        int continued = 0;
        for (const Word& w : words)
            if (w.text.startsWith("Wort") && w.xMin < kMarginPoints + 1) ++continued;
        QVERIFY(continued >= 2);
        // A new page starts at the top margin with the next line.
        for (int page = 2; page <= pages; ++page) {
            const auto first = std::find_if(words.begin(), words.end(), [page](const Word& w) { return w.page == page; });
            QVERIFY(first != words.end());
            QCOMPARE(first->xMin, kMarginPoints);
            QVERIFY(first->yMin > kMarginPoints - 0.5 && first->yMin < kMarginPoints + 12);
        }
        QCOMPARE(words.last().text, QString("10.12.2026"));
        QCOMPARE(words.last().page, pages);
    }

    void withoutPrinterTheErrorIsShown() {
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("A default printer is installed here; the button would print on it.");
        TMainFrm window(FHome->Registry());  // its own message boxes
        QString shown;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            shown = box->windowTitle() + ": " + box->text();
            box->buttons().first()->click();
        });
        window.findChild<QToolButton*>("SpeedButton2")->click();
        QCOMPARE(shown, QString("Fehler: Es ist kein Drucker installiert."));
        QCOMPARE(window.findChild<QToolButton*>("SpeedButton2")->toolTip(), QString("Restore-Logfile drucken"));
        QCOMPARE(window.findChild<QToolButton*>("SpeedButton1")->toolTip(), QString("Backup-Logfile drucken"));
    }
};

QTEST_MAIN(LogPageTest)
#include "LogPageTest.moc"
