#include "logs/LogPrinter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include "util/Error.h"

namespace vb::gui {
namespace {

// How many characters of `text` fit into `width`, at least one, never splitting a
// surrogate pair; a break after a blank is preferred.
qsizetype FittingPrefix(const QFontMetrics& metrics, const QString& text, int width) {
    qsizetype low = 1, high = text.size();
    while (low < high) {  // the longest prefix whose width is within `width`
        const qsizetype mid = (low + high + 1) / 2;
        if (metrics.horizontalAdvance(text.left(mid)) <= width) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    if (low < text.size() && text[low].isLowSurrogate()) low = low > 1 ? low - 1 : low + 1;
    if (low < text.size()) {
        const qsizetype blank = text.left(low).lastIndexOf(' ');
        if (blank > 0) low = blank + 1;
    }
    return low;
}

}  // namespace

std::unique_ptr<QPrinter> DefaultPrinter() {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) throw Error("Es ist kein Drucker installiert.");
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

void PrintLogLines(QPrinter& printer, const QStringList& lines) {
    QPainter painter;
    if (!painter.begin(&printer)) throw Error("Der Druckauftrag wurde vom Drucker abgelehnt.");
    painter.setBackgroundMode(Qt::TransparentMode);
    const QFontMetrics metrics(painter.font(), &printer);
    const int step = metrics.height();
    const int width = printer.width() - 2 * kLogPrintMargin;
    const int bottom = printer.height() - kLogPrintMargin;
    int y = kLogPrintMargin;
    auto lineOnPage = [&](const QString& text) {
        if (y > kLogPrintMargin && y + step > bottom) {
            if (!printer.newPage()) throw Error("Der Druckauftrag wurde vom Drucker abgelehnt.");
            y = kLogPrintMargin;
        }
        painter.drawText(QRect(kLogPrintMargin, y, printer.width() - kLogPrintMargin, step),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        y += step;
    };
    for (const QString& line : lines) {
        QString rest = line;
        while (width > 0 && metrics.horizontalAdvance(rest) > width) {
            const qsizetype cut = FittingPrefix(metrics, rest, width);
            lineOnPage(rest.left(cut));
            rest = rest.mid(cut);
        }
        lineOnPage(rest);
    }
    if (!painter.end()) throw Error("Der Druckauftrag wurde vom Drucker abgelehnt.");
}

}  // namespace vb::gui
