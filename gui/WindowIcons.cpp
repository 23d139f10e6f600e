#include "gui/WindowIcons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <functional>

namespace vb::gui {
namespace {

using Drawing = std::function<void(QPainter&)>;  // draws into a 32 x 32 square

// An icon engine that draws its picture in every size asked for, sharp at every
// device pixel ratio.
class DrawnIcon : public QIconEngine {
public:
    explicit DrawnIcon(Drawing drawing) : FDrawing(std::move(drawing)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const int side = std::min(rect.width(), rect.height());
        painter->translate(rect.x() + (rect.width() - side) / 2.0, rect.y() + (rect.height() - side) / 2.0);
        painter->scale(side / 32.0, side / 32.0);
        if (mode == QIcon::Disabled) painter->setOpacity(0.4);
        FDrawing(*painter);
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        QPixmap pixmap(size * scale);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            paint(&painter, QRect(QPoint(0, 0), pixmap.size()), mode, state);
        }
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }
    QIconEngine* clone() const override { return new DrawnIcon(FDrawing); }

private:
    Drawing FDrawing;
};

QIcon ThemeOr(const char* name, Drawing drawing) {
    return QIcon::fromTheme(QString::fromLatin1(name), QIcon(new DrawnIcon(std::move(drawing))));
}

const QColor kOutline(0x3c, 0x3c, 0x3c);
const QColor kBody(0xb8, 0xbc, 0xc2);
const QColor kPaper(Qt::white);

void Sheet(QPainter& p, const QRectF& r) {
    p.setPen(QPen(kOutline, 1.2));
    p.setBrush(kPaper);
    p.drawRect(r);
    p.setPen(QPen(QColor(0x70, 0x70, 0x70), 1.2));
    for (qreal y = r.top() + 4; y < r.bottom() - 2; y += 3) p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
}

}  // namespace

QIcon PrintIcon() {
    return ThemeOr("document-print", [](QPainter& p) {
        Sheet(p, QRectF(8.5, 2.5, 15, 13));                      // the sheet going in
        p.setPen(QPen(kOutline, 1.4));
        p.setBrush(kBody);
        p.drawRoundedRect(QRectF(2.5, 12.5, 27, 12), 2, 2);        // the printer
        p.setBrush(kPaper);
        p.drawRect(QRectF(8.5, 20.5, 15, 9));                      // the sheet coming out
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2e, 0xa0, 0x3c));
        p.drawEllipse(QPointF(25.5, 16.5), 1.5, 1.5);              // the lamp
    });
}

QIcon PrintPreviewIcon() {
    return ThemeOr("document-print-preview", [](QPainter& p) {
        Sheet(p, QRectF(3.5, 2.5, 19, 25));
        p.setPen(QPen(kOutline, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(22, 22), QPointF(29, 29));              // the handle
        p.setPen(QPen(kOutline, 2));
        p.setBrush(QColor(0xd8, 0xe8, 0xf8, 200));
        p.drawEllipse(QPointF(18, 18), 6, 6);                      // the glass
    });
}

QIcon SettingsIcon() {
    return ThemeOr("preferences-system", [](QPainter& p) {
        constexpr int kTeeth = 8;
        QPainterPath wheel;
        wheel.addEllipse(QPointF(16, 16), 10, 10);
        for (int i = 0; i < kTeeth; ++i) {
            QPainterPath tooth;
            tooth.addRect(QRectF(-3, -14.5, 6, 6));
            wheel = wheel.united(QTransform().translate(16, 16).rotate(360.0 * i / kTeeth).map(tooth));
        }
        QPainterPath hole;
        hole.addEllipse(QPointF(16, 16), 4, 4);
        p.setPen(QPen(kOutline, 1.4));
        p.setBrush(kBody);
        p.drawPath(wheel.subtracted(hole));
    });
}

}  // namespace vb::gui
