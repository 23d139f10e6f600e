// The window font draws bold text visibly heavier than regular text, in the sizes the
// window uses for its labels and its page headings.
#include <QImage>
#include <QPainter>
#include <QtTest>

#include "gui/WindowFont.h"

namespace {

// The ink of `text` drawn in `font`: the sum of darkness over all pixels.
qint64 Ink(const QFont& font, const QString& text) {
    QImage image(600, 80, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, 0, image.width(), image.height()), Qt::AlignLeft | Qt::AlignVCenter, text);
    painter.end();
    qint64 ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) ink += 255 - line[x];
    }
    return ink;
}

}  // namespace

class WindowFontTest : public QObject {
    Q_OBJECT
private slots:
    void boldIsHeavierThanRegular_data() {
        QTest::addColumn<int>("pixelSize");
        QTest::newRow("labels") << 11;
        QTest::newRow("headings") << 21;
    }
    void boldIsHeavierThanRegular() {
        QFETCH(int, pixelSize);
        const QString text = QString::fromUtf8("Letztes Backup: Vorlix muss beendet werden");
        const qint64 regular = Ink(vb::gui::WindowFont(pixelSize, false), text);
        const qint64 bold = Ink(vb::gui::WindowFont(pixelSize, true), text);
        QVERIFY(regular > 0);
        // A real or emboldened bold face puts a quarter more ink on the page at least.
        QVERIFY2(bold * 4 > regular * 5, qPrintable(QString("%1 / %2").arg(bold).arg(regular)));
    }
};

QTEST_MAIN(WindowFontTest)
#include "WindowFontTest.moc"
