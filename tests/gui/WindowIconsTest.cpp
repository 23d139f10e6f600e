// The buttons' icons: where the desktop has no icon theme, the program's own drawings
// stand in, in every size and at every scale, and differ from each other.
#include <QPainter>
#include <QtTest>

#include "gui/WindowIcons.h"

class WindowIconsTest : public QObject {
    Q_OBJECT
private:
    // The share of pixels an icon covers, in per mille.
    static int Coverage(const QIcon& icon, int side, qreal scale) {
        const QImage image = icon.pixmap(QSize(side, side), scale).toImage();
        int covered = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) covered += qAlpha(image.pixel(x, y)) > 128;
        return covered * 1000 / std::max(1, image.width() * image.height());
    }

private slots:
    void withoutAThemeTheProgramsOwnIconsShow() {
        QIcon::setThemeSearchPaths({});
        QIcon::setThemeName("kein-thema");
        const QIcon icons[] = {vb::gui::PrintIcon(), vb::gui::PrintPreviewIcon(), vb::gui::SettingsIcon()};
        for (const QIcon& icon : icons) {
            QVERIFY(!icon.isNull());
            for (const int side : {16, 22, 32}) {
                for (const qreal scale : {1.0, 1.5, 2.0}) {
                    const QPixmap pixmap = icon.pixmap(QSize(side, side), scale);
                    QCOMPARE(pixmap.deviceIndependentSize().toSize(), QSize(side, side));
                    const int coverage = Coverage(icon, side, scale);
                    // A picture, not a blank page nor a filled square.
                    QVERIFY2(coverage > 150 && coverage < 900, qPrintable(QString::number(coverage)));
                }
            }
        }
        if (const QString dir = qEnvironmentVariable("VB_SCREENSHOT_DIR"); !dir.isEmpty()) {
            QImage sheet(3 * 72, 72, QImage::Format_ARGB32);
            sheet.fill(Qt::lightGray);
            QPainter painter(&sheet);
            for (int i = 0; i < 3; ++i) icons[i].paint(&painter, QRect(4 + 72 * i, 4, 64, 64));
            painter.end();
            sheet.save(dir + "/own-icons.png");
        }
        QVERIFY(icons[0].pixmap(32).toImage() != icons[1].pixmap(32).toImage());
        QVERIFY(icons[0].pixmap(32).toImage() != icons[2].pixmap(32).toImage());
    }
};

QTEST_MAIN(WindowIconsTest)
#include "WindowIconsTest.moc"
