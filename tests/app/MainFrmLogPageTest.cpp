// The log page: what the two boxes show for missing, empty and marked log files, and
// what their print buttons put on paper (printed to PDF, positions read back with
// pdftotext -bbox).
#include <QComboBox>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QToolButton>
#include <QtTest>

#include "app/ApplicationSetup.h"
#include "app/TMainFrm.h"
#include "gui/LogPrinter.h"
#include "support/WindowTestHome.h"
#include "gui/MessageBoxes.h"

using namespace vb;

namespace {

struct Word {
    int page;
    double xMin, yMin, xMax, yMax;
    QString text;
};

// The words of `page` that form one printed line starting at the word `first`.
QStringList LineAt(const QList<Word>& words, qsizetype first) {
    QStringList line;
    for (qsizetype i = first;
         i < words.size() && qAbs(words[i].yMin - words[first].yMin) < 0.5 && words[i].page == words[first].page; ++i)
        line << words[i].text;
    return line;
}

constexpr int kDpi = 1200;  // what HighResolution gives a real printer
constexpr double kPointsPerMm = 72 / 25.4;
constexpr double kLeftPoints = gui::kLogPrintLeftMm * kPointsPerMm;
constexpr double kTopPoints = gui::kLogPrintTopMm * kPointsPerMm;

QByteArray Utf16le(const QString& text) {
    QByteArray bytes;
    for (const QChar c : text) bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return bytes;
}

}  // namespace

class MainFrmLogPageTest : public QObject {
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

    QString Pdf() const { return Path("druck.pdf"); }

    // Prints the upper box to a PDF file and returns its words.
    QList<Word> PrintBackupBox(TMainFrm& window, const QString& text, int* pages) {
        const QString pdf = Pdf();
        window.SetPrinterFactory([pdf] {
            auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            printer->setResolution(kDpi);
            printer->setPageSize(QPageSize(QPageSize::A4));
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
            R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
        for (auto it = token.globalMatch(html); it.hasNext();) {
            const auto m = it.next();
            if (m.captured(0).startsWith("<page")) {
                ++page;
                continue;
            }
            words.append({page, m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                          m.captured(4).toDouble(), m.captured(5).normalized(QString::NormalizationForm_KC)});
        }
        *pages = page;
        return words;
    }

private slots:
    // The program's font, as the program sets it: a pixel size, meaningless on paper.
    void initTestCase() { SetUpApplication(*qApp); }
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

    void printedLinesAreReadableWithinTheMargins() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        int pages = 0;
        const QList<Word> words =
            PrintBackupBox(window, "Erste Zeile\nZweite Zeile\n\nVierte Zeile, vom Benutzer ergänzt", &pages);
        QCOMPARE(pages, 1);
        QVERIFY(words.size() > 8);
        // The heading: log name and current job at the left, the date at the right.
        const QString job = window.findChild<QComboBox*>("ComboBox4")->currentText();
        QVERIFY(!job.isEmpty());
        const QStringList heading = LineAt(words, 0);
        QCOMPARE(heading.mid(0, 4), (QStringList{"Backup-Logfile", QString::fromUtf8("\u2013"), "Job:", job}));
        QVERIFY2(heading.join(' ').contains(QRegularExpression(R"(Gedruckt am \d\d\.\d\d\.\d{4} um \d\d:\d\d:\d\d$)")),
                 qPrintable(heading.join(' ')));
        QVERIFY(qAbs(words[0].xMin - kLeftPoints) < 0.5);
        QVERIFY2(words[0].yMin > kTopPoints - 0.5 && words[0].yMin < kTopPoints + 6,
                 qPrintable(QString::number(words[0].yMin)));
        // The lines at the left margin, one text line apart, in a 9.5 point font.
        QList<Word> atMargin;
        for (const Word& w : words)
            if (qAbs(w.xMin - kLeftPoints) < 0.5) atMargin << w;
        QStringList firstWords;
        for (const Word& w : atMargin) firstWords << w.text;
        QCOMPARE(firstWords, (QStringList{"Backup-Logfile", "Erste", "Zweite", "Vierte"}));
        const Word erste = atMargin[1];
        const double height = erste.yMax - erste.yMin;
        QVERIFY2(height > 8.5 && height < 13, qPrintable(QString::number(height)));
        const double step = atMargin[2].yMin - erste.yMin;
        QVERIFY2(step > 10 && step < 14, qPrintable(QString::number(step)));
        QVERIFY(qAbs(atMargin[3].yMin - erste.yMin - 3 * step) < 0.1);  // the empty line keeps its place
        QVERIFY(erste.yMin > words[0].yMax + 0.5 * step);               // below the heading's rule
        // The foot: the page number, centred near the bottom margin.
        const QStringList foot = LineAt(words, words.size() - 4);
        QCOMPARE(foot, (QStringList{"Seite", "1", "von", "1"}));
        const double pageWidth = QPageSize(QPageSize::A4).size(QPageSize::Point).width();
        const double pageHeight = QPageSize(QPageSize::A4).size(QPageSize::Point).height();
        const double footLeft = words[words.size() - 4].xMin, footRight = words.last().xMax;
        const double textMiddle = (kLeftPoints + pageWidth - gui::kLogPrintRightMm * kPointsPerMm) / 2;
        QVERIFY(qAbs((footLeft + footRight) / 2 - textMiddle) < 2);
        const double bottom = pageHeight - gui::kLogPrintBottomMm * kPointsPerMm;
        QVERIFY(words.last().yMax <= bottom + 0.5 && words.last().yMax > bottom - step);
        // The print queue shows what is printed.
        QProcess pdfinfo;
        pdfinfo.start("pdfinfo", {Pdf()});
        QVERIFY(pdfinfo.waitForFinished(60000));
        QVERIFY(QString::fromUtf8(pdfinfo.readAllStandardOutput())
                    .contains(QRegularExpression("Title: +VorlixBackup - Backup-Logfile \\(" +
                                                 QRegularExpression::escape(job) + "\\)")));
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
        QVERIFY(pages >= 3);
        const double pageWidth = QPageSize(QPageSize::A4).size(QPageSize::Point).width();
        const double pageHeight = QPageSize(QPageSize::A4).size(QPageSize::Point).height();
        QStringList texts;
        for (const Word& w : words) {
            texts << w.text;
            QVERIFY2(w.xMax <= pageWidth - gui::kLogPrintRightMm * kPointsPerMm + 0.5, qPrintable(w.text));
            QVERIFY2(w.yMax <= pageHeight - gui::kLogPrintBottomMm * kPointsPerMm + 0.5, qPrintable(w.text));
        }
        // Nothing is lost: every line and every word of the long one is printed once.
        for (int i = 1; i <= 200; ++i) QCOMPARE(texts.count(QString("Zeile%1").arg(i)), 1);
        for (int i = 1; i <= 60; ++i) QCOMPARE(texts.count(QString("Wort%1").arg(i)), 1);
        // The long line goes on in the next line, starting at the margin again.
        int continued = 0;
        for (const Word& w : words)
            if (w.text.startsWith("Wort") && qAbs(w.xMin - kLeftPoints) < 0.5) ++continued;
        QVERIFY(continued >= 2);
        // Every page has the heading, its text starts at the same place as on the first
        // page, and its foot counts the pages.
        double firstLineY = -1;
        for (int page = 1; page <= pages; ++page) {
            const auto first = std::find_if(words.begin(), words.end(), [page](const Word& w) { return w.page == page; });
            QVERIFY(first != words.end());
            QCOMPARE(first->text, QString("Backup-Logfile"));
            const auto body = std::find_if(first, words.end(), [](const Word& w) {
                return w.text.startsWith("Zeile") || w.text.startsWith("Wort");
            });
            QVERIFY(body != words.end() && body->page == page);
            if (page == 1) firstLineY = body->yMin;
            QVERIFY(qAbs(body->yMin - firstLineY) < 0.1);
            const auto last =
                std::find_if(words.rbegin(), words.rend(), [page](const Word& w) { return w.page == page; });
            QCOMPARE(LineAt(words, words.rend() - last - 4),
                     (QStringList{"Seite", QString::number(page), "von", QString::number(pages)}));
        }
        QCOMPARE(texts.at(texts.size() - 5), QString("10.12.2026"));  // the last line, before the foot
    }

    // The preview shows the pages that the print button puts on paper.
    void thePreviewShowsThePrintedPages() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        QStringList lines;
        for (int i = 1; i <= 150; ++i) lines << QString("Zeile%1").arg(i);
        int printed = 0;
        QVERIFY(!PrintBackupBox(window, lines.join('\n'), &printed).isEmpty());
        QVERIFY(printed >= 2);
        int shownPages = -1;
        QString title;
        QTimer::singleShot(0, [&] {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
            QVERIFY(preview);
            title = preview->windowTitle();
            shownPages = preview->findChild<QPrintPreviewWidget*>()->pageCount();
            preview->reject();
        });
        window.findChild<QToolButton*>("btnPreviewBackupLog")->click();
        QCOMPARE(title, QString("Seitenansicht: Backup-Logfile"));
        QCOMPARE(shownPages, printed);
        QVERIFY(!window.ErrorReported());
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

QTEST_MAIN(MainFrmLogPageTest)
#include "MainFrmLogPageTest.moc"
