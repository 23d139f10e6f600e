#include "gui/LogPrinter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>
#include <exception>

#include "util/Error.h"
#include "util/GermanFormat.h"
#include "gui/WindowFont.h"

namespace vb::gui {
namespace {

constexpr const char* kRefused = "Der Druckauftrag wurde vom Drucker abgelehnt.";

// How many characters of `text` fit into `width`, at least one, never splitting a
// surrogate pair; a break after a blank is preferred.
qsizetype FittingPrefix(const QFontMetricsF& metrics, const QString& text, qreal width) {
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

// The printed lines of `lines`: each broken where it would run past `width`.
QStringList WrappedLines(const QFontMetricsF& metrics, const QStringList& lines, qreal width) {
    QStringList printed;
    for (const QString& line : lines) {
        QString rest = line;
        while (width > 0 && metrics.horizontalAdvance(rest) > width) {
            const qsizetype cut = FittingPrefix(metrics, rest, width);
            printed << rest.left(cut);
            rest = rest.mid(cut);
        }
        printed << rest;
    }
    return printed;
}

QFont PrintFont(bool bold) {
    QFont font(WindowFontFamily());
    font.setPointSizeF(kLogPrintPointSize);
    font.setBold(bold);
    return font;
}

}  // namespace

QString LogDocumentName(const LogPrintHeading& heading) {
    QString name = "VorlixBackup - " + heading.LogName;
    if (!heading.JobName.isEmpty()) name += " (" + heading.JobName + ")";
    return name;
}

std::unique_ptr<QPrinter> DefaultPrinter() {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) throw Error("Es ist kein Drucker installiert.");
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

void PrintLogLines(QPrinter& printer, const LogPrintHeading& heading, const QStringList& lines) {
    printer.setDocName(LogDocumentName(heading));
    // Margins are measured from the paper's edges, so the page looks the same on every
    // printer whose unprintable border lies within them.
    printer.setFullPage(true);
    QPainter painter;
    if (!painter.begin(&printer)) throw Error(kRefused);
    painter.setBackgroundMode(Qt::TransparentMode);
    const qreal dotsPerMm = printer.resolution() / 25.4;
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QRectF area(kLogPrintLeftMm * dotsPerMm, kLogPrintTopMm * dotsPerMm,
                      paper.width() - (kLogPrintLeftMm + kLogPrintRightMm) * dotsPerMm,
                      paper.height() - (kLogPrintTopMm + kLogPrintBottomMm) * dotsPerMm);
    const QFont font = PrintFont(false);
    const QFont bold = PrintFont(true);
    painter.setFont(font);
    const QFontMetricsF metrics(painter.fontMetrics());
    // One line is 1.2 times the point size at least, whatever the font reports.
    const qreal step = std::max(metrics.height(), 1.2 * kLogPrintPointSize * printer.resolution() / 72.0);
    // The heading takes a line and a half with its rule; the foot one line and a half.
    const qreal textTop = area.top() + 2 * step;
    const qreal textBottom = area.bottom() - 1.5 * step;
    const int perPage = std::max(1, static_cast<int>((textBottom - textTop) / step));
    const QStringList printed = WrappedLines(metrics, lines, area.width());
    const int pages = std::max<int>(1, (printed.size() + perPage - 1) / perPage);

    QString title = heading.LogName;
    if (!heading.JobName.isEmpty()) title += QString::fromUtf8(" \u2013 Job: ") + heading.JobName;
    const QString date = QString::fromStdString("Gedruckt am " + FormatShortDate(heading.Printed) + " um " +
                                                FormatLongTime(heading.Printed));
    const auto flags = Qt::AlignTop | Qt::TextSingleLine;
    for (int page = 1; page <= pages; ++page) {
        if (page > 1 && !printer.newPage()) throw Error(kRefused);
        const QRectF headingLine(area.left(), area.top(), area.width(), step);
        painter.setFont(bold);
        painter.drawText(headingLine, flags | Qt::AlignLeft, title);
        painter.setFont(font);
        painter.drawText(headingLine, flags | Qt::AlignRight, date);
        const qreal rule = area.top() + 1.25 * step;
        painter.drawLine(QPointF(area.left(), rule), QPointF(area.right(), rule));
        const int first = (page - 1) * perPage;
        for (int i = first; i < printed.size() && i < first + perPage; ++i) {
            painter.drawText(QRectF(area.left(), textTop + (i - first) * step, area.width(), step),
                             flags | Qt::AlignLeft, printed[i]);
        }
        painter.drawText(QRectF(area.left(), area.bottom() - step, area.width(), step), flags | Qt::AlignHCenter,
                         QString("Seite %1 von %2").arg(page).arg(pages));
    }
    if (!painter.end()) throw Error(kRefused);
}

void PreviewLogLines(QPrinter& printer, const LogPrintHeading& heading, const QStringList& lines, QWidget* parent) {
    QPrintPreviewDialog preview(&printer, parent);
    preview.setObjectName("LogPrintPreview");
    preview.setWindowTitle("Seitenansicht: " + heading.LogName);
    // An error must not unwind through the dialog's event loop; it is raised after it.
    std::exception_ptr failure;
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&](QPrinter* target) {
        try {
            PrintLogLines(*target, heading, lines);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    });
    preview.exec();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace vb::gui
